#include "platform/embedded/metabase/property_value.h"

#include <cmath>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/accounts/sha256.h"

namespace tarnwick::platform::metabase {

using automation::Variant;
using automation::VarType;
namespace automationErrors = automation::errors;

namespace {
constexpr std::string_view kTypeNames[] = {"string", "number", "boolean", "list", "secret"};

// Null and objects have no form in any property type.
void requireScalar(const Variant& value) {
    if (value.isNull() || value.type() == VarType::Object || value.type() == VarType::Array) {
        automation::raise(automationErrors::kTypeMismatch);
    }
}

uint32_t toDword(const Variant& value) {
    requireScalar(value);
    double number = std::nearbyint(automation::toNumber(value));  // half to even
    if (number < -2147483648.0 || number > 4294967295.0) {
        automation::raise(automationErrors::kOverflow);
    }
    if (number < 0) return static_cast<uint32_t>(static_cast<int32_t>(number));
    return static_cast<uint32_t>(number);
}

PropertyValue::List toList(const Variant& value) {
    if (value.type() != VarType::Array) {
        requireScalar(value);
        if (value.isEmpty()) return {};
        return {automation::toText(value)};
    }
    PropertyValue::List list;
    for (const auto& element : value.array()) {
        requireScalar(element);
        list.push_back(automation::toText(element));
    }
    return list;
}
}  // namespace

std::string secretDigest(std::string_view text) {
    return embedded::toHex(embedded::Sha256::of(text));
}

Secret secretOf(std::string_view text) { return {std::string(text), secretDigest(text)}; }

std::string_view typeName(PropertyType type) { return kTypeNames[static_cast<int>(type)]; }

std::optional<PropertyType> typeFromName(std::string_view name) {
    for (size_t i = 0; i < std::size(kTypeNames); ++i) {
        if (automation::equalsIgnoreCase(kTypeNames[i], name)) return static_cast<PropertyType>(i);
    }
    return std::nullopt;
}

PropertyValue fromAutomation(PropertyType type, const Variant& value) {
    switch (type) {
        case PropertyType::String:
            requireScalar(value);
            return PropertyValue::string(automation::toText(value));
        case PropertyType::Number: return PropertyValue::number(toDword(value));
        case PropertyType::Boolean:
            requireScalar(value);
            return PropertyValue::boolean(automation::toBoolean(value));
        case PropertyType::List: return PropertyValue::list(toList(value));
        case PropertyType::Secret:
            requireScalar(value);
            return PropertyValue::secret(secretOf(automation::toText(value)));
    }
    automation::raise(automationErrors::kTypeMismatch);
}

Variant toAutomation(const PropertyValue& value) {
    switch (value.type()) {
        case PropertyType::String: return Variant(value.text());
        case PropertyType::Number: return Variant(static_cast<int32_t>(value.number()));
        case PropertyType::Boolean: return Variant(value.boolean());
        case PropertyType::List: {
            Variant::Array items;
            for (const auto& item : value.list()) items.emplace_back(item);
            return Variant(std::move(items));
        }
        case PropertyType::Secret: return Variant(value.secret().text.value_or(""));
    }
    return {};
}

}  // namespace tarnwick::platform::metabase
