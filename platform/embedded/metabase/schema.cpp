#include "platform/embedded/metabase/schema.h"

#include <algorithm>
#include <array>
#include <vector>

#include "automation/text.h"

namespace tarnwick::platform::metabase {

namespace {
using enum PropertyType;

// A property that a key that does not set it does not inherit
// (NO_ATTRIBUTES), and one it inherits from the nearest key above (INHERIT).
constexpr PropertyDefinition own(std::string_view name, PropertyType type) {
    return {name, type, false};
}
constexpr PropertyDefinition inherited(std::string_view name, PropertyType type) {
    return {name, type, true};
}
// A property whose attributes this schema does not take from the reference
// yet: it keeps to the key that sets it, as it always did.
constexpr PropertyDefinition unchecked(std::string_view name, PropertyType type) {
    return own(name, type);
}
// A Boolean that is the bit `mask` of the DWORD `dword`; it inherits with it.
constexpr PropertyDefinition flag(std::string_view name, std::string_view dword, uint32_t mask) {
    return {name, Boolean, true, PropertySource::Flag, dword, mask};
}

constexpr std::string_view kAccessFlags = "AccessFlags";
constexpr std::string_view kDirBrowseFlags = "DirBrowseFlags";

// The attributes are those of the IIS 6.0 metabase property reference; the
// properties it marks SECURE (kept encrypted) are secrets.
constexpr PropertyDefinition kProperties[] = {
    // Sites
    own("ServerBindings", List),
    own("SecureBindings", List),
    inherited("ServerComment", String),
    inherited("ServerSize", Number),
    own("ServerAutoStart", Boolean),
    {"ServerState", Number, false, PropertySource::ServerState},
    {"KeyType", String, false, PropertySource::KeyClass},
    inherited("AnonymousUserName", String),
    inherited("AnonymousUserPass", Secret),
    inherited("AnonymousPasswordSync", Boolean),
    unchecked("FrontPageWeb", Boolean),
    inherited("MaxBandwidth", Number),
    own("MaxBandwidthBlocked", Number),
    inherited("MaxConnections", Number),
    inherited("ConnectionTimeout", Number),
    inherited("CpuLimitsEnabled", Boolean),
    unchecked("CpuLimitLogEvent", Number),
    unchecked("CpuLimitPause", Number),
    unchecked("CpuLimitPriority", Number),
    unchecked("CpuLimitProcStop", Number),
    unchecked("CpuResetInterval", Number),
    inherited("LogType", Number),
    inherited("LogFileDirectory", String),
    inherited("LogFilePeriod", Number),
    unchecked("LogOdbcPassword", Secret),
    // Virtual directories and applications
    inherited("Path", String),
    inherited("AppRoot", String),
    inherited("AppIsolated", Number),
    inherited("AppFriendlyName", String),
    inherited("AppPoolId", String),
    inherited(kDirBrowseFlags, Number),
    flag("DirBrowseShowDate", kDirBrowseFlags, 0x00000002),
    flag("DirBrowseShowTime", kDirBrowseFlags, 0x00000004),
    flag("DirBrowseShowSize", kDirBrowseFlags, 0x00000008),
    flag("DirBrowseShowExtension", kDirBrowseFlags, 0x00000010),
    flag("DirBrowseShowLongDate", kDirBrowseFlags, 0x00000020),
    flag("EnableDefaultDoc", kDirBrowseFlags, 0x40000000),
    flag("EnableDirBrowsing", kDirBrowseFlags, 0x80000000),
    inherited("DefaultDoc", String),
    inherited(kAccessFlags, Number),
    flag("AccessRead", kAccessFlags, 0x00000001),
    flag("AccessWrite", kAccessFlags, 0x00000002),
    flag("AccessExecute", kAccessFlags, 0x00000004),
    flag("AccessSource", kAccessFlags, 0x00000010),
    flag("AccessScript", kAccessFlags, 0x00000200),
    flag("AccessNoRemoteWrite", kAccessFlags, 0x00000400),
    flag("AccessNoRemoteRead", kAccessFlags, 0x00001000),
    flag("AccessNoRemoteExecute", kAccessFlags, 0x00002000),
    flag("AccessNoRemoteScript", kAccessFlags, 0x00004000),
    inherited("ContentIndexed", Boolean),
    inherited("DontLog", Boolean),
    // Bits of AuthFlags on Windows; kept as separate Booleans here.
    unchecked("AuthAnonymous", Boolean),
    unchecked("AuthBasic", Boolean),
    unchecked("AuthNTLM", Boolean),
    inherited("HttpErrors", List),
    unchecked("HttpCustomHeaders", List),
    unchecked("ScriptMaps", List),
    inherited("UNCUserName", String),
    unchecked("UNCPassword", Secret),
    inherited("AspScriptErrorSentToBrowser", Boolean),
    inherited("AspScriptErrorMessage", String),
    inherited("AspEnableParentPaths", Boolean),
    inherited("AspBufferingOn", Boolean),
    unchecked("AspSessionTimeout", Number),
    // Application pools
    inherited("AppPoolIdentityType", Number),
    unchecked("WAMUserName", String),
    unchecked("WAMUserPass", Secret),
    unchecked("IdleTimeout", Number),
    unchecked("PeriodicRestartTime", Number),
};

// What each class may contain, as the IIS ADSI provider's object pages list
// it ("Can Contain").
constexpr std::array<std::string_view, 1> kComputerChildren = {classes::kWebService};
constexpr std::array<std::string_view, 4> kWebServiceChildren = {
    classes::kWebServer, classes::kFilters, classes::kWebInfo, classes::kApplicationPools};
constexpr std::array<std::string_view, 2> kWebServerChildren = {classes::kWebVirtualDir,
                                                                classes::kFilters};
constexpr std::array<std::string_view, 2> kDirectoryChildren = {classes::kWebVirtualDir,
                                                                classes::kWebDirectory};
constexpr std::array<std::string_view, 1> kFiltersChildren = {classes::kFilter};
constexpr std::array<std::string_view, 1> kPoolsChildren = {classes::kApplicationPool};

constexpr KeyClass kClasses[] = {
    {classes::kComputer, kComputerChildren},
    {classes::kWebService, kWebServiceChildren},
    {classes::kWebInfo, {}},
    {classes::kFilters, kFiltersChildren},
    {classes::kFilter, {}},
    {classes::kWebServer, kWebServerChildren},
    {classes::kWebVirtualDir, kDirectoryChildren},
    {classes::kWebDirectory, kDirectoryChildren},
    {classes::kApplicationPools, kPoolsChildren, true},
    {classes::kApplicationPool, {}, true},
    {classes::kObject, {}},
};

struct FlagSet {
    std::string_view dword;
    std::vector<const PropertyDefinition*> flags;
};

const std::vector<FlagSet>& flagSets() {
    static const std::vector<FlagSet> sets = [] {
        std::vector<FlagSet> made;
        for (const auto& property : kProperties) {
            if (property.source != PropertySource::Flag) continue;
            auto set = std::find_if(made.begin(), made.end(),
                                    [&](const FlagSet& s) { return s.dword == property.flags; });
            if (set == made.end()) set = made.insert(made.end(), FlagSet{property.flags, {}});
            set->flags.push_back(&property);
        }
        return made;
    }();
    return sets;
}
}  // namespace

const PropertyDefinition* findProperty(std::string_view name) {
    for (const auto& property : kProperties) {
        if (automation::equalsIgnoreCase(property.name, name)) return &property;
    }
    return nullptr;
}

std::span<const PropertyDefinition> allProperties() { return kProperties; }

bool isSecure(std::string_view name) {
    for (std::string_view secure : {"AnonymousUserPass", "UNCPassword", "WAMUserPass"}) {
        if (automation::equalsIgnoreCase(secure, name)) return true;
    }
    return false;
}

const KeyClass* findClass(std::string_view name) {
    for (const auto& keyClass : kClasses) {
        if (automation::equalsIgnoreCase(keyClass.name, name)) return &keyClass;
    }
    return nullptr;
}

bool mayContain(const KeyClass& container, const KeyClass& child) {
    if (container.name == classes::kObject || child.name == classes::kObject) return true;
    for (auto name : container.children) {
        if (name == child.name) return true;
    }
    return false;
}

std::span<const PropertyDefinition* const> flagsIn(std::string_view dword) {
    for (const auto& set : flagSets()) {
        if (automation::equalsIgnoreCase(set.dword, dword)) return set.flags;
    }
    return {};
}

std::optional<uint32_t> ownFlags(std::string_view dword,
                                 const std::function<const PropertyValue*(std::string_view)>& own) {
    if (const auto* value = own(dword); value && value->type() == PropertyType::Number) {
        return value->number();
    }
    std::optional<uint32_t> folded;
    for (const auto* flag : flagsIn(dword)) {
        const auto* value = own(flag->name);
        if (!value || value->type() != PropertyType::Boolean) continue;
        folded = (folded.value_or(0) & ~flag->mask) | (value->boolean() ? flag->mask : 0);
    }
    return folded;
}

}  // namespace tarnwick::platform::metabase
