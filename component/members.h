// The automation identity and interface of class Control, recorded once.
//
// The native dispatcher and the page runner find members here; the COM
// server's IDL carries the same identities, slots and DISPIDs, and a test
// checks the two against each other.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "automation/variant.h"

namespace tarnwick::component {

inline constexpr std::string_view kTypeLibraryName = "Tarnwick";
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 0;
inline constexpr std::string_view kLibId = "{1B3CB9D5-DCCE-4C20-869E-F49011668C18}";
inline constexpr std::string_view kClsidControl = "{29FC1B48-12F0-4CFE-B77A-668BD75A084E}";
inline constexpr std::string_view kIidControl = "{A3968187-6344-4FED-8EC6-0B3C0B652FE2}";
inline constexpr std::string_view kProgId = "Tarnwick.Control";
inline constexpr std::string_view kThreadingModel = "Apartment";

enum class MemberKind { PropertyGet, PropertyPut, Method };
enum class ValueType { Variant, Boolean, ScriptingContext };
enum class ResultType { None, Variant, Boolean };

struct Parameter {
    std::string_view name;
    ValueType type;
    bool byReference;
};

struct Member {
    int slot;  // position after the seven IDispatch slots, from 1
    std::string_view name;
    int32_t dispid;
    MemberKind kind;
    std::span<const Parameter> parameters;
    ResultType result;
};

// All 27 entries of the _Control interface, in slot order.
std::span<const Member> controlMembers();

// The member a script reaches with `name` (ignoring case) for a call of this
// kind: a method call or property read finds methods and property gets, a
// property write finds property puts. nullptr when there is none.
const Member* findMember(std::string_view name, MemberKind kind);

// What a method receives for a VARIANT argument: an object (a form field of
// the request, a field of a record) is replaced by the value of its default
// member, read once, so that the method converts and stores that value and
// never the object; an object without one raises 438. Nothing and every other
// value arrive as they are. The properties keep whatever the page assigns.
automation::Variant argumentValue(const automation::Variant& value);

}  // namespace tarnwick::component
