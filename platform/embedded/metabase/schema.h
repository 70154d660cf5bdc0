// The metabase schema: the properties the system reads and writes, with their
// types, and the key classes with the classes each may contain.
//
// Property names are found ignoring case ("Maxbandwidth" is MaxBandwidth) and
// stored under the spelling given here. Every class may carry every property:
// the metabase does not restrict properties by class. Two properties are not
// stored but stand for parts of the key itself: KeyType is the key's class,
// ServerState a site's run state (started 2, stopped 4), which only Start and
// Stop change.
#pragma once

#include <span>
#include <string_view>

#include "platform/embedded/metabase/property_value.h"

namespace tarnwick::platform::metabase {

enum class PropertySource { Stored, KeyClass, ServerState };

struct PropertyDefinition {
    std::string_view name;
    PropertyType type;
    PropertySource source = PropertySource::Stored;
};

// nullptr for a name the metabase does not know.
const PropertyDefinition* findProperty(std::string_view name);

struct KeyClass {
    std::string_view name;
    std::span<const std::string_view> children;  // classes that Create may make below it
    bool iis6Only = false;                       // application pools exist on IIS 6 only
};

// nullptr for an unknown class.
const KeyClass* findClass(std::string_view name);
bool mayContain(const KeyClass& container, const KeyClass& child);

// The classes of the fixed keys and of those the system creates.
namespace classes {
inline constexpr std::string_view kComputer = "IIsComputer";
inline constexpr std::string_view kWebService = "IIsWebService";
inline constexpr std::string_view kWebServer = "IIsWebServer";
inline constexpr std::string_view kWebVirtualDir = "IIsWebVirtualDir";
inline constexpr std::string_view kWebDirectory = "IIsWebDirectory";
inline constexpr std::string_view kApplicationPools = "IIsApplicationPools";
inline constexpr std::string_view kApplicationPool = "IIsApplicationPool";
}  // namespace classes

// Site run states (ServerState).
inline constexpr uint32_t kServerStarted = 2;
inline constexpr uint32_t kServerStopped = 4;

}  // namespace tarnwick::platform::metabase
