#include "automation/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "automation/dispatch.h"
#include "automation/error.h"
#include "automation/text.h"

namespace tarnwick::automation {

namespace {
constexpr std::string_view kTypeNames[] = {"Empty",  "Null",   "Boolean", "Integer", "Long",
                                           "Single", "Double", "String",  "Object",  "Array"};
}

std::string_view typeName(VarType type) { return kTypeNames[static_cast<int>(type)]; }

std::optional<VarType> typeFromName(std::string_view name) {
    for (int i = 0; i < static_cast<int>(std::size(kTypeNames)); ++i) {
        if (equalsIgnoreCase(kTypeNames[i], name)) return static_cast<VarType>(i);
    }
    return std::nullopt;
}

Variant Variant::null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

Variant Variant::integer(int16_t value) {
    Variant v;
    v.value_ = value;
    return v;
}

Variant Variant::single(float value) {
    Variant v;
    v.value_ = value;
    return v;
}

VarType Variant::type() const { return static_cast<VarType>(value_.index()); }

bool Variant::isNumeric() const {
    switch (type()) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double: return true;
        default: return false;
    }
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

Dispatch& objectOf(const Variant& value) {
    if (value.type() != VarType::Object || !value.object()) raise(errors::kObjectRequired);
    return *value.object();
}

std::optional<double> parseNumber(std::string_view text) {
    auto trimmed = trimBlanks(text);
    if (trimmed.empty()) return std::nullopt;
    if (trimmed.size() > 2 && trimmed[0] == '&') {
        int base = 0;
        char kind = static_cast<char>(trimmed[1] | 0x20);
        if (kind == 'h') base = 16;
        if (kind == 'o') base = 8;
        if (base == 0) return std::nullopt;
        std::string digits(trimmed.substr(2));
        char* end = nullptr;
        unsigned long long parsed = std::strtoull(digits.c_str(), &end, base);
        if (*end != '\0' || digits.empty() || digits[0] == '-' || digits[0] == '+' ||
            parsed > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        // Hex literals of up to 16 bits are Integers, up to 32 bits Longs: both signed.
        if (digits.size() <= 4 && parsed <= 0xFFFF) return static_cast<int16_t>(parsed);
        return static_cast<int32_t>(static_cast<uint32_t>(parsed));
    }
    // Only digits, one point, one exponent and signs in their places.
    size_t i = 0;
    auto digitsAt = [&](size_t& pos) {
        size_t start = pos;
        while (pos < trimmed.size() && trimmed[pos] >= '0' && trimmed[pos] <= '9') ++pos;
        return pos - start;
    };
    if (trimmed[i] == '+' || trimmed[i] == '-') ++i;
    size_t mantissa = digitsAt(i);
    if (i < trimmed.size() && trimmed[i] == '.') {
        ++i;
        mantissa += digitsAt(i);
    }
    if (mantissa == 0) return std::nullopt;
    if (i < trimmed.size() && (trimmed[i] == 'e' || trimmed[i] == 'E')) {
        ++i;
        if (i < trimmed.size() && (trimmed[i] == '+' || trimmed[i] == '-')) ++i;
        if (digitsAt(i) == 0) return std::nullopt;
    }
    if (i != trimmed.size()) return std::nullopt;
    std::string copy(trimmed);
    double value = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::string formatNumber(double value, int significantDigits) {
    if (value == 0) return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", significantDigits, value);
    std::string result(text);
    // Automation writes exponents with at least two digits: 1E+15, 1E-05.
    auto e = result.find('E');
    if (e != std::string::npos) {
        std::string mantissa = result.substr(0, e);
        char sign = result[e + 1];
        std::string exponent = result.substr(e + 2);
        while (exponent.size() > 2 && exponent[0] == '0') exponent.erase(0, 1);
        result = mantissa + "E" + sign + (exponent.size() < 2 ? "0" : "") + exponent;
    }
    return result;
}

Variant defaultValue(const Variant& value) {
    if (value.type() != VarType::Object) return value;
    if (!value.object()) raise(errors::kTypeMismatch);
    Variant inner = value.object()->get("");
    if (inner.type() == VarType::Object) raise(errors::kTypeMismatch);
    return inner;
}

std::string toText(const Variant& value) {
    switch (value.type()) {
        case VarType::Empty: return {};
        case VarType::Null: raise(errors::kInvalidUseOfNull);
        case VarType::Boolean: return value.boolean() ? "True" : "False";
        case VarType::Integer: return std::to_string(value.integerValue());
        case VarType::Long: return std::to_string(value.longValue());
        case VarType::Single: return formatNumber(value.singleValue(), 7);
        case VarType::Double: return formatNumber(value.doubleValue(), 15);
        case VarType::String: return value.string();
        case VarType::Object: return toText(defaultValue(value));
        case VarType::Array: raise(errors::kTypeMismatch);
    }
    raise(errors::kTypeMismatch);
}

std::string concatText(const Variant& value) {
    if (value.type() == VarType::Object) return concatText(defaultValue(value));
    if (value.isNull()) return {};
    return toText(value);
}

namespace {
std::optional<bool> booleanWord(std::string_view text) {
    auto trimmed = trimBlanks(text);
    if (equalsIgnoreCase(trimmed, "True")) return true;
    if (equalsIgnoreCase(trimmed, "False")) return false;
    return std::nullopt;
}
}  // namespace

double toNumber(const Variant& value) {
    switch (value.type()) {
        case VarType::Empty: return 0;
        case VarType::Null: raise(errors::kInvalidUseOfNull);
        case VarType::Boolean: return value.boolean() ? -1 : 0;
        case VarType::Integer: return value.integerValue();
        case VarType::Long: return value.longValue();
        case VarType::Single: return value.singleValue();
        case VarType::Double: return value.doubleValue();
        case VarType::String: {
            if (auto number = parseNumber(value.string())) return *number;
            if (auto word = booleanWord(value.string())) return *word ? -1 : 0;
            raise(errors::kTypeMismatch);
        }
        case VarType::Object: return toNumber(defaultValue(value));
        case VarType::Array: raise(errors::kTypeMismatch);
    }
    raise(errors::kTypeMismatch);
}

bool toBoolean(const Variant& value) {
    if (value.type() == VarType::Object) return toBoolean(defaultValue(value));
    if (value.type() == VarType::Boolean) return value.boolean();
    return toNumber(value) != 0;
}

int32_t toLong(const Variant& value) {
    double number = std::nearbyint(toNumber(value));  // the default rounding is half to even
    if (number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max()) {
        raise(errors::kOverflow);
    }
    return static_cast<int32_t>(number);
}

bool equalsEmptyString(const Variant& value) { return textEquals(value, ""); }

bool textEquals(const Variant& value, std::string_view text) {
    if (value.type() == VarType::Object) return textEquals(defaultValue(value), text);
    if (value.isNull()) return false;
    return toText(value) == text;
}

}  // namespace tarnwick::automation
