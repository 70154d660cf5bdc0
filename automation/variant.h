// The automation value (VARIANT) with the conversion rules that the
// component's algorithms rely on.
//
// Text is UTF-8 inside the system; the COM server converts at its boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarnwick::automation {

class Dispatch;
using ObjectRef = std::shared_ptr<Dispatch>;

enum class VarType { Empty, Null, Boolean, Integer, Long, Single, Double, String, Object, Array };

// The type's name as automation spells it ("Empty", "Integer", ...).
std::string_view typeName(VarType type);
std::optional<VarType> typeFromName(std::string_view name);

class Variant {
public:
    using Array = std::vector<Variant>;

    Variant() = default;  // Empty
    static Variant null();
    static Variant integer(int16_t value);
    static Variant single(float value);

    Variant(bool value) : value_(value) {}
    Variant(int32_t value) : value_(value) {}
    Variant(double value) : value_(value) {}
    Variant(std::string value) : value_(std::move(value)) {}
    Variant(std::string_view value) : value_(std::string(value)) {}
    Variant(const char* value) : value_(std::string(value)) {}
    Variant(ObjectRef value) : value_(std::move(value)) {}
    Variant(Array value) : value_(std::move(value)) {}

    VarType type() const;
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isNumeric() const;

    // Direct access to the stored value; the caller has checked the type.
    bool boolean() const { return std::get<bool>(value_); }
    int16_t integerValue() const { return std::get<int16_t>(value_); }
    int32_t longValue() const { return std::get<int32_t>(value_); }
    float singleValue() const { return std::get<float>(value_); }
    double doubleValue() const { return std::get<double>(value_); }
    const std::string& string() const { return std::get<std::string>(value_); }
    const ObjectRef& object() const { return std::get<ObjectRef>(value_); }
    const Array& array() const { return std::get<Array>(value_); }
    Array& array() { return std::get<Array>(value_); }

    // Same type and same value (objects: the same object). Not the script's
    // "=" operator, which converts; see the free functions below.
    bool operator==(const Variant& other) const;

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    std::variant<std::monostate, NullTag, bool, int16_t, int32_t, float, double, std::string,
                 ObjectRef, Array>
        value_;
};

// Conversions as automation performs them. Each raises AutomationError:
// 94 "Invalid use of Null" for Null, 13 "Type mismatch" for a value that has
// no such form, 6 "Overflow" for a number out of range. An object converts as
// the value of its default member (defaultValue), an array never.

// The value automation converts in an object's place: the value of the
// object's default member (the member named "", DISPID_VALUE), read once; any
// other value as it is. Raises 438 "Object doesn't support this property or
// method" for an object without a default member, and 13 for Nothing and for
// a default value that is itself an object: a conversion goes through one
// default member, not a chain of them.
Variant defaultValue(const Variant& value);

// CStr: 5 gives "5", True gives "True", Empty gives "".
std::string toText(const Variant& value);
// The text that string concatenation uses: like toText, but Null gives "".
std::string concatText(const Variant& value);
// CBool: "True"/"False" (any case) and numbers (text included); nonzero is
// True. Empty is False. Other text is a type mismatch.
bool toBoolean(const Variant& value);
// CDbl: numbers, Booleans (-1/0), Empty (0) and numeric text.
double toNumber(const Variant& value);
// CLng: toNumber rounded half to even, within the 32-bit range.
int32_t toLong(const Variant& value);

// The test `value = ""`, made on the text: Empty and "" are equal to the
// empty string, the number 0 is not, Null is not (the comparison yields Null).
bool equalsEmptyString(const Variant& value);
// The test `value = text`, made on the text: the number 2003 equals "2003".
// Null equals nothing.
bool textEquals(const Variant& value, std::string_view text);

// Parses numeric text as automation does (blanks around, sign, decimals,
// exponent, &H hex and &O octal); nullopt for anything else.
std::optional<double> parseNumber(std::string_view text);

// Formats a double the way automation converts it to text (15 significant
// digits; a float takes 7).
std::string formatNumber(double value, int significantDigits = 15);

}  // namespace tarnwick::automation
