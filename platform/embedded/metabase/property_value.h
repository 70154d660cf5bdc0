// Typed metabase property values and their conversion from and to the
// automation values that scripts read and write.
//
// Writing converts the script's value to the property's type the way the
// directory provider does: a DWORD takes any number from -2147483648 to
// 4294967295 (negative numbers as their 32-bit two's complement, fractions
// rounded half to even) and numeric text, a Boolean takes anything that
// converts to a Boolean (4294967295 is True), a list takes an array or a
// single value. Null, objects and text that is not a number for a DWORD are a
// type mismatch (13); a number out of range is an overflow (6).
//
// Reading gives the provider's automation form: a DWORD as a Long (so
// 4294967295 reads back as -1), a Boolean as a Boolean, a list as an Array of
// Strings.
//
// A secret is a value the metabase keeps encrypted (a password): scripts
// write and read it as text, but a state document never shows that text,
// only a digest that tells whether two secrets are the same. A secret taken
// from a file or document that does not give its text (an encrypted value
// copied off a server) keeps the digest alone and reads as an empty string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "automation/variant.h"

namespace tarnwick::platform::metabase {

enum class PropertyType { String, Number, Boolean, List, Secret };

// "string", "number", "boolean", "list", "secret": the names that state
// documents use.
std::string_view typeName(PropertyType type);
std::optional<PropertyType> typeFromName(std::string_view name);

// A secret's text, when known, and its digest: lower-case hexadecimal SHA-256
// of the text, or of whatever stands for it (the encrypted bytes of a copied
// value); empty when nothing is known of it.
struct Secret {
    std::optional<std::string> text;
    std::string digest;

    bool operator==(const Secret&) const = default;
};

// The secret whose text is `text`.
Secret secretOf(std::string_view text);
// The digest a secret of this text has.
std::string secretDigest(std::string_view text);

class PropertyValue {
public:
    using List = std::vector<std::string>;

    static PropertyValue string(std::string value) { return PropertyValue(std::move(value)); }
    static PropertyValue number(uint32_t value) { return PropertyValue(value); }
    static PropertyValue boolean(bool value) { return PropertyValue(value); }
    static PropertyValue list(List value) { return PropertyValue(std::move(value)); }
    static PropertyValue secret(Secret value) { return PropertyValue(std::move(value)); }

    PropertyType type() const { return static_cast<PropertyType>(value_.index()); }
    // Direct access; the caller has checked the type.
    const std::string& text() const { return std::get<std::string>(value_); }
    uint32_t number() const { return std::get<uint32_t>(value_); }
    bool boolean() const { return std::get<bool>(value_); }
    const List& list() const { return std::get<List>(value_); }
    const Secret& secret() const { return std::get<Secret>(value_); }

    bool operator==(const PropertyValue& other) const = default;

private:
    using Storage = std::variant<std::string, uint32_t, bool, List, Secret>;
    explicit PropertyValue(Storage value) : value_(std::move(value)) {}
    Storage value_;
};

// The value a script writes, converted to `type`.
PropertyValue fromAutomation(PropertyType type, const automation::Variant& value);
// The value as a script reads it.
automation::Variant toAutomation(const PropertyValue& value);

}  // namespace tarnwick::platform::metabase
