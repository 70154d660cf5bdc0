#include "automation/variant_json.h"

#include <cmath>
#include <limits>

namespace tarnwick::automation {

using nlohmann::json;

namespace {

Variant plainNumber(const json& value) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            auto n = value.get<uint64_t>();
            if (n <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
                return static_cast<int32_t>(n);
            }
            return static_cast<double>(n);
        }
        auto n = value.get<int64_t>();
        if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max()) {
            return static_cast<int32_t>(n);
        }
        return static_cast<double>(n);
    }
    return value.get<double>();
}

double numberIn(const json& value, VarType type) {
    if (!value.is_number()) {
        throw ValueFormatError("a " + std::string(typeName(type)) + " needs a number as its value");
    }
    return value.get<double>();
}

// A Single keeps only numbers within float's range; a larger one would become infinity, which no
// automation value holds and no JSON document can carry back.
float singleIn(const json& value) {
    double number = numberIn(value, VarType::Single);
    if (std::fabs(number) > std::numeric_limits<float>::max()) {
        throw ValueFormatError("the value does not fit a Single");
    }
    return static_cast<float>(number);
}

template <class Int>
Int wholeNumberIn(const json& value, VarType type) {
    double number = numberIn(value, type);
    if (number != std::floor(number) || number < std::numeric_limits<Int>::min() ||
        number > std::numeric_limits<Int>::max()) {
        throw ValueFormatError("the value does not fit an " + std::string(typeName(type)));
    }
    return static_cast<Int>(number);
}

Variant typedValue(const json& document, const ObjectResolver& objects) {
    auto name = document.at("type");
    if (!name.is_string()) throw ValueFormatError("\"type\" must be a string");
    auto type = typeFromName(name.get<std::string>());
    if (!type)
        throw ValueFormatError("unknown automation type \"" + name.get<std::string>() + "\"");
    static const json kNone;
    const json& value = document.contains("value") ? document.at("value") : kNone;
    switch (*type) {
        case VarType::Empty: return {};
        case VarType::Null: return Variant::null();
        case VarType::Boolean:
            if (!value.is_boolean()) throw ValueFormatError("a Boolean needs true or false");
            return value.get<bool>();
        case VarType::Integer: return Variant::integer(wholeNumberIn<int16_t>(value, *type));
        case VarType::Long: return wholeNumberIn<int32_t>(value, *type);
        case VarType::Single: return Variant::single(singleIn(value));
        case VarType::Double: return numberIn(value, *type);
        case VarType::String:
            if (!value.is_string()) throw ValueFormatError("a String needs a string");
            return value.get<std::string>();
        case VarType::Array: {
            if (!value.is_array()) throw ValueFormatError("an Array needs a list");
            Variant::Array items;
            for (const auto& item : value) items.push_back(variantFromJson(item, objects));
            return items;
        }
        case VarType::Object:
            if (!objects) throw ValueFormatError("objects cannot be given here");
            return objects(value);
    }
    throw ValueFormatError("unknown automation type");
}

}  // namespace

Variant variantFromJson(const json& document, const ObjectResolver& objects) {
    switch (document.type()) {
        case json::value_t::null: return {};
        case json::value_t::boolean: return document.get<bool>();
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
        case json::value_t::number_float: return plainNumber(document);
        case json::value_t::string: return document.get<std::string>();
        case json::value_t::array: {
            Variant::Array items;
            for (const auto& item : document) items.push_back(variantFromJson(item, objects));
            return items;
        }
        case json::value_t::object:
            if (!document.contains("type")) {
                throw ValueFormatError("an object value needs \"type\" (and \"value\")");
            }
            return typedValue(document, objects);
        default: throw ValueFormatError("not an automation value");
    }
}

json variantToJson(const Variant& value) {
    json result = {{"type", typeName(value.type())}};
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Null: result["value"] = nullptr; break;
        case VarType::Boolean: result["value"] = value.boolean(); break;
        case VarType::Integer: result["value"] = value.integerValue(); break;
        case VarType::Long: result["value"] = value.longValue(); break;
        case VarType::Single: result["value"] = value.singleValue(); break;
        case VarType::Double: result["value"] = value.doubleValue(); break;
        case VarType::String: result["value"] = value.string(); break;
        case VarType::Object: result["value"] = nullptr; break;
        case VarType::Array: {
            json items = json::array();
            for (const auto& item : value.array()) items.push_back(variantToJson(item));
            result["value"] = std::move(items);
            break;
        }
    }
    return result;
}

}  // namespace tarnwick::automation
