// Automation values as JSON, for the page runner and for stored state.
//
// Plain form (what a person writes): null is Empty, true/false are Booleans,
// whole numbers that fit 32 bits are Longs, other numbers Doubles, strings
// Strings, arrays Arrays of Variant. Typed form: {"type": "Integer",
// "value": 5} gives exactly that type; "Empty" and "Null" take no value.
// Output is always the typed form, so a value round-trips with its type.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "automation/variant.h"

namespace tarnwick::automation {

// A JSON document that does not describe an automation value.
class ValueFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Resolves {"type": "Object", "value": ...} to an object; without one, objects are refused.
using ObjectResolver = std::function<ObjectRef(const nlohmann::json& value)>;

Variant variantFromJson(const nlohmann::json& json, const ObjectResolver& objects = {});
nlohmann::json variantToJson(const Variant& value);

}  // namespace tarnwick::automation
