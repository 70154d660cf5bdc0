// The metabase schema: the properties the system reads and writes, with their
// types and inheritance, and the key classes with the classes each may contain.
//
// Property names are found ignoring case ("Maxbandwidth" is MaxBandwidth) and
// stored under the spelling given here. Every class may carry every property:
// the metabase does not restrict properties by class.
//
// An inheritable property (the IIS 6.0 metabase property reference gives it
// the INHERIT attribute) that a key does not set reads as the value of the
// nearest key above it that sets it.
//
// Some properties are not stored under their own name:
//   KeyType      the key's class; a key without one is an IIsObject
//   ServerState  a site's run state (started 2, stopped 4), changed by Start
//                and Stop only
//   flags        Booleans that are one bit of a DWORD (AccessRead is bit 1 of
//                AccessFlags, EnableDirBrowsing bit 0x80000000 of
//                DirBrowseFlags): reading one reads the bit of the DWORD the
//                key has (its own or inherited), writing one stores the whole
//                DWORD with that bit changed on the key.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "platform/embedded/metabase/property_value.h"

namespace tarnwick::platform::metabase {

enum class PropertySource { Stored, KeyClass, ServerState, Flag };

struct PropertyDefinition {
    std::string_view name;
    PropertyType type;
    bool inheritable = false;
    PropertySource source = PropertySource::Stored;
    std::string_view flags = {};  // a flag's DWORD
    uint32_t mask = 0;            // a flag's bit in it
};

// nullptr for a name the metabase does not know.
const PropertyDefinition* findProperty(std::string_view name);
// Every property the metabase knows, in the schema's order.
std::span<const PropertyDefinition> allProperties();
// True for a property the metabase keeps encrypted with the machine's key
// (the reference gives it the SECURE attribute): a password.
bool isSecure(std::string_view name);

// The DWORD that holds flags (AccessFlags, DirBrowseFlags) and its flags, or
// an empty span for any other property.
std::span<const PropertyDefinition* const> flagsIn(std::string_view dword);

// A key's own value of a flag DWORD, given the key's own stored properties
// (`own` answers nullptr for a property the key does not set). Stores and
// documents written before the flags were kept in their DWORD hold them as
// separate Booleans: a key without its own DWORD but with such Booleans has
// the DWORD made of them (the bits they do not name clear).
std::optional<uint32_t> ownFlags(std::string_view dword,
                                 const std::function<const PropertyValue*(std::string_view)>& own);

struct KeyClass {
    std::string_view name;
    std::span<const std::string_view> children;  // classes that Create may make below it
    bool iis6Only = false;                       // application pools exist on IIS 6 only
};

// nullptr for an unknown class.
const KeyClass* findClass(std::string_view name);
// True when a key of class `container` may hold one of class `child`. A key
// without a KeyType (IIsObject) may hold and be held by any key.
bool mayContain(const KeyClass& container, const KeyClass& child);

// The classes of the fixed keys and of those the system creates.
namespace classes {
inline constexpr std::string_view kComputer = "IIsComputer";
inline constexpr std::string_view kWebService = "IIsWebService";
inline constexpr std::string_view kWebInfo = "IIsWebInfo";
inline constexpr std::string_view kFilters = "IIsFilters";
inline constexpr std::string_view kFilter = "IIsFilter";
inline constexpr std::string_view kWebServer = "IIsWebServer";
inline constexpr std::string_view kWebVirtualDir = "IIsWebVirtualDir";
inline constexpr std::string_view kWebDirectory = "IIsWebDirectory";
inline constexpr std::string_view kApplicationPools = "IIsApplicationPools";
inline constexpr std::string_view kApplicationPool = "IIsApplicationPool";
// The generic class of a key that has no KeyType.
inline constexpr std::string_view kObject = "IIsObject";
}  // namespace classes

// Site run states (ServerState).
inline constexpr uint32_t kServerStarted = 2;
inline constexpr uint32_t kServerStopped = 4;

}  // namespace tarnwick::platform::metabase
