#include "platform/embedded/metabase/schema.h"

#include <array>

#include "automation/text.h"

namespace tarnwick::platform::metabase {

namespace {
using enum PropertyType;

constexpr PropertyDefinition kProperties[] = {
    // Sites
    {"ServerBindings", List},
    {"SecureBindings", List},
    {"ServerComment", String},
    {"ServerSize", Number},
    {"ServerAutoStart", Boolean},
    {"ServerState", Number, PropertySource::ServerState},
    {"KeyType", String, PropertySource::KeyClass},
    {"AnonymousUserName", String},
    {"AnonymousUserPass", String},
    {"AnonymousPasswordSync", Boolean},
    {"FrontPageWeb", Boolean},
    {"MaxBandwidth", Number},
    {"MaxBandwidthBlocked", Number},
    {"MaxConnections", Number},
    {"ConnectionTimeout", Number},
    {"CpuLimitsEnabled", Boolean},
    {"CpuLimitLogEvent", Number},
    {"CpuLimitPause", Number},
    {"CpuLimitPriority", Number},
    {"CpuLimitProcStop", Number},
    {"CpuResetInterval", Number},
    {"LogType", Number},
    {"LogFileDirectory", String},
    {"LogFilePeriod", Number},
    // Virtual directories and applications
    {"Path", String},
    {"AppRoot", String},
    {"AppIsolated", Number},
    {"AppFriendlyName", String},
    {"AppPoolId", String},
    {"EnableDefaultDoc", Boolean},
    {"DefaultDoc", String},
    {"AccessRead", Boolean},
    {"AccessWrite", Boolean},
    {"AccessSource", Boolean},
    {"AccessScript", Boolean},
    {"AccessExecute", Boolean},
    {"ContentIndexed", Boolean},
    {"DontLog", Boolean},
    {"EnableDirBrowsing", Boolean},
    {"AuthAnonymous", Boolean},
    {"AuthBasic", Boolean},
    {"AuthNTLM", Boolean},
    {"HttpErrors", List},
    {"HttpCustomHeaders", List},
    {"ScriptMaps", List},
    {"UNCUserName", String},
    {"UNCPassword", String},
    {"AspScriptErrorSentToBrowser", Boolean},
    {"AspScriptErrorMessage", String},
    {"AspEnableParentPaths", Boolean},
    {"AspBufferingOn", Boolean},
    {"AspSessionTimeout", Number},
    // Application pools
    {"AppPoolIdentityType", Number},
    {"WAMUserName", String},
    {"WAMUserPass", String},
    {"IdleTimeout", Number},
    {"PeriodicRestartTime", Number},
};

constexpr std::array<std::string_view, 1> kComputerChildren = {classes::kWebService};
constexpr std::array<std::string_view, 2> kWebServiceChildren = {classes::kWebServer,
                                                                 classes::kApplicationPools};
constexpr std::array<std::string_view, 1> kWebServerChildren = {classes::kWebVirtualDir};
constexpr std::array<std::string_view, 2> kDirectoryChildren = {classes::kWebVirtualDir,
                                                                classes::kWebDirectory};
constexpr std::array<std::string_view, 1> kPoolsChildren = {classes::kApplicationPool};

constexpr KeyClass kClasses[] = {
    {classes::kComputer, kComputerChildren},
    {classes::kWebService, kWebServiceChildren},
    {classes::kWebServer, kWebServerChildren},
    {classes::kWebVirtualDir, kDirectoryChildren},
    {classes::kWebDirectory, kDirectoryChildren},
    {classes::kApplicationPools, kPoolsChildren, true},
    {classes::kApplicationPool, {}, true},
};
}  // namespace

const PropertyDefinition* findProperty(std::string_view name) {
    for (const auto& property : kProperties) {
        if (automation::equalsIgnoreCase(property.name, name)) return &property;
    }
    return nullptr;
}

const KeyClass* findClass(std::string_view name) {
    for (const auto& keyClass : kClasses) {
        if (automation::equalsIgnoreCase(keyClass.name, name)) return &keyClass;
    }
    return nullptr;
}

bool mayContain(const KeyClass& container, const KeyClass& child) {
    for (auto name : container.children) {
        if (name == child.name) return true;
    }
    return false;
}

}  // namespace tarnwick::platform::metabase
