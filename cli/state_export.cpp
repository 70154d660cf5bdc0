#include "cli/state_export.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/files/security_descriptor.h"
#include "platform/embedded/files/security_document.h"
#include "platform/embedded/metabase/schema.h"

namespace tarnwick::cli {

namespace {

namespace metabase = platform::metabase;
namespace files = platform::embedded::files;
using automation::AutomationError;
using automation::Dispatch;
using automation::Variant;
using nlohmann::json;

// Get of a property no key sets, or one this key's class does not carry.
constexpr uint32_t kPropertyNotFound = 0x8000500Du;
constexpr uint32_t kPropertyNotSupported = 0x80005006u;
constexpr uint32_t kOwnerGroupDacl = 1 | 2 | 4;
// The built-in groups the platform holds: Administrators, Users, Guests, Power Users.
constexpr std::array<uint32_t, 4> kBuiltinGroups = {544, 545, 546, 547};

std::vector<Variant> itemsOf(const Variant& list) {
    if (list.type() == automation::VarType::Array) return list.array();
    return automation::objectOf(list).get("Children").array();
}

bool isNotSet(const AutomationError& error) {
    auto hr = static_cast<uint32_t>(automation::hresultOf(error.number()));
    return hr == kPropertyNotFound || hr == kPropertyNotSupported;
}

// A value as the property's type holds it in the document; nullopt when it
// is none of that type.
std::optional<json> typedValue(metabase::PropertyType type, const Variant& value) {
    using enum metabase::PropertyType;
    switch (type) {
        case Number: {
            if (!value.isNumeric()) return std::nullopt;
            // DWORDs come back as signed Longs: 4294967295 reads as -1.
            double number = automation::toNumber(value);
            if (number < 0) number += 4294967296.0;
            if (number < 0 || number > 4294967295.0 || number != std::floor(number)) {
                return std::nullopt;
            }
            return json(static_cast<uint32_t>(number));
        }
        case Boolean:
            if (value.type() != automation::VarType::Boolean) return std::nullopt;
            return json(automation::toBoolean(value));
        case String:
            if (value.type() != automation::VarType::String) return std::nullopt;
            return json(automation::toText(value));
        case List: {
            json list = json::array();
            if (value.type() == automation::VarType::String) {
                list.push_back(automation::toText(value));
            } else if (value.type() == automation::VarType::Array) {
                for (const auto& item : value.array()) {
                    if (item.type() != automation::VarType::String) return std::nullopt;
                    list.push_back(automation::toText(item));
                }
            } else if (!value.isEmpty()) {
                return std::nullopt;
            }
            return list;
        }
        case Secret:
            // Written as a secret by the caller, never as its text.
            return std::nullopt;
    }
    return std::nullopt;
}

// "D:\Web\bob" as the drive letter and the folder names; nullopt for a path
// that is no absolute path on a drive (a share, a relative path).
struct FolderPath {
    char drive;
    std::vector<std::string> names;

    std::string text(size_t depth) const {
        std::string path = std::string(1, drive) + ":\\";
        for (size_t i = 0; i < depth; ++i) path += (i ? "\\" : "") + names[i];
        return path;
    }
};

std::optional<FolderPath> folderPath(const std::string& text) {
    if (text.size() < 3 || !std::isalpha(static_cast<unsigned char>(text[0])) || text[1] != ':' ||
        (text[2] != '\\' && text[2] != '/')) {
        return std::nullopt;
    }
    FolderPath path{static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))), {}};
    for (auto& name : automation::split(automation::replaceAll(text.substr(3), "/", "\\"), "\\")) {
        if (name == "..") return std::nullopt;
        if (!name.empty() && name != ".") path.names.push_back(name);
    }
    return path;
}

class Exporter {
public:
    explicit Exporter(const ExportSource& source) : source_(source) {}

    ExportedState run() {
        json document;
        document["metabase"] = {{"keys", json::array()}};
        auto service = source_.directory.bind("IIS://localhost/W3SVC");
        walk(*service, "/LM/W3SVC", *metabase::findClass(metabase::classes::kComputer),
             document["metabase"]["keys"]);
        document["accounts"] = accounts();
        document["files"] = {{"folders", folders()}};
        document["settings"] = settings();
        return {std::move(document), std::move(leftOut_)};
    }

private:
    struct Site {
        uint64_t number;
        std::string key;
        std::string folder;
    };

    void leaveOut(std::string what) { leftOut_.push_back(std::move(what)); }

    // ---- the metabase ----

    void walk(Dispatch& key, const std::string& path, const metabase::KeyClass& parent,
              json& keys) {
        auto className = automation::toText(key.get("Class"));
        const auto* keyClass = metabase::findClass(className);
        if (!keyClass || keyClass->name == metabase::classes::kComputer) {
            leaveOut("key " + path + ": class " + className +
                     " is not one the panel manages (with the keys below it)");
            return;
        }
        if (!metabase::mayContain(parent, *keyClass)) {
            leaveOut("key " + path + ": a " + std::string(parent.name) + " cannot hold a " +
                     className + " (with the keys below it)");
            return;
        }
        json entry = {{"path", path}, {"class", keyClass->name}};
        json properties = json::object();
        bool site = keyClass->name == metabase::classes::kWebServer;
        for (const auto& property : metabase::allProperties()) {
            // The class is the key's "class"; flags travel in their DWORD.
            if (property.source == metabase::PropertySource::KeyClass ||
                property.source == metabase::PropertySource::Flag) {
                continue;
            }
            if (property.source == metabase::PropertySource::ServerState) {
                if (site) entry["state"] = serverState(key);
                continue;
            }
            if (auto value = ownValue(key, path, property)) properties[property.name] = *value;
        }
        entry["properties"] = std::move(properties);
        keys.push_back(std::move(entry));

        if (site) sites_.push_back({siteNumber(path), path, ""});
        if (keyClass->name == metabase::classes::kWebVirtualDir && !sites_.empty() &&
            automation::equalsIgnoreCase(path, sites_.back().key + "/ROOT")) {
            sites_.back().folder = rootFolder(key);
        }
        for (const auto& child : itemsOf(key.get("Children"))) {
            auto& object = automation::objectOf(child);
            walk(object, path + "/" + automation::toText(object.get("Name")), *keyClass, keys);
        }
    }

    static uint64_t siteNumber(const std::string& path) {
        auto name = path.substr(path.rfind('/') + 1);
        bool number = !name.empty() && name.size() < 10 &&
                      std::all_of(name.begin(), name.end(), [](char c) { return std::isdigit(c); });
        return number ? std::stoull(name) : UINT64_MAX;
    }

    static uint32_t serverState(Dispatch& key) {
        try {
            auto state = key.call("Get", {Variant("ServerState")});
            if (state.isNumeric() && automation::toNumber(state) == metabase::kServerStarted) {
                return metabase::kServerStarted;
            }
        } catch (const AutomationError& error) {
            if (!isNotSet(error)) throw;
        }
        return metabase::kServerStopped;
    }

    static std::string rootFolder(Dispatch& root) {
        try {
            return automation::toText(root.call("Get", {Variant("Path")}));
        } catch (const AutomationError& error) {
            if (!isNotSet(error)) throw;
            return "";
        }
    }

    // The key's own value of `property` as the document types it; nullopt
    // when the key does not set it.
    std::optional<json> ownValue(Dispatch& key, const std::string& path,
                                 const metabase::PropertyDefinition& property) {
        const Variant name{std::string(property.name)};
        Variant value;
        try {
            value = key.call("Get", {name});
        } catch (const AutomationError& error) {
            if (isNotSet(error)) return std::nullopt;
            throw;
        }
        const auto held = key.call("GetPropertyAttribObj", {name});
        auto& attributes = automation::objectOf(held);
        if (automation::toBoolean(attributes.get("IsInherit"))) return std::nullopt;
        if (property.type == metabase::PropertyType::Secret || metabase::isSecure(property.name) ||
            automation::toBoolean(attributes.get("Secure"))) {
            value = Variant();
            return json{{"type", "secret"}};
        }
        auto typed = typedValue(property.type, value);
        if (!typed) {
            leaveOut("property " + std::string(property.name) + " of key " + path + ": not a " +
                     std::string(metabase::typeName(property.type)));
            return std::nullopt;
        }
        return json{{"type", metabase::typeName(property.type)}, {"value", *typed}};
    }

    // ---- the accounts ----

    std::optional<files::Bytes> sidOf(const std::string& name) {
        auto ansiName = source_.ansi.fromUtf8(name);
        uint32_t sidSize = 0, domainSize = 0, use = 0;
        source_.advapi32.LookupAccountNameA(nullptr, ansiName.c_str(), nullptr, &sidSize, nullptr,
                                            &domainSize, &use);
        if (sidSize == 0) return std::nullopt;
        files::Bytes sid(sidSize);
        std::string domain(static_cast<size_t>(domainSize) + 1, '\0');
        if (!source_.advapi32.LookupAccountNameA(nullptr, ansiName.c_str(), sid.data(), &sidSize,
                                                 domain.data(), &domainSize, &use)) {
            return std::nullopt;
        }
        return sid;
    }

    // The account's SID when the platform can hold it: a machine account's
    // in one machine domain, or a built-in group the platform has.
    std::optional<std::string> accountSid(const std::string& name, bool group) {
        auto sid = sidOf(name);
        if (!sid) {
            leaveOut("the SID of " + name +
                     ": it cannot be looked up (the platform gives a new one)");
            return std::nullopt;
        }
        auto text = files::sidToString(*sid);
        auto parts = automation::split(text, "-");
        if (group && parts.size() == 5 && parts[2] == "5" && parts[3] == "32") {
            for (auto rid : kBuiltinGroups) {
                if (parts[4] == std::to_string(rid)) return text;
            }
            return std::nullopt;
        }
        if (parts.size() == 8 && parts[2] == "5" && parts[3] == "21") {
            auto domain = text.substr(0, text.rfind('-'));
            if (machineSid_.empty()) machineSid_ = domain;
            if (domain == machineSid_) return text;
        }
        leaveOut("the SID of " + name + ": " + text +
                 " is in no machine domain (the platform gives a new one)");
        return std::nullopt;
    }

    static std::optional<json> readField(Dispatch& account, std::string_view field, bool number) {
        try {
            auto value = account.get(field);
            if (number) return json(static_cast<uint32_t>(automation::toLong(value)));
            return json(automation::toText(value));
        } catch (const AutomationError&) {
            return std::nullopt;
        }
    }

    // The members of a group that are local users. Windows gives members as
    // objects (For Each over Members), the embedded provider as names.
    json localMembers(Dispatch& group, const std::string& groupName,
                      const std::set<std::string>& users) {
        json members = json::array();
        std::vector<std::string> others;
        for (const auto& item : itemsOf(group.call("Members"))) {
            std::string name, domain = source_.computer;
            if (item.type() == automation::VarType::String) {
                name = automation::toText(item);
            } else {
                auto& member = automation::objectOf(item);
                name = automation::toText(member.get("Name"));
                // "WinNT://WORKGROUP/COMPUTER/name" or "WinNT://DOMAIN/name".
                auto parts = automation::split(automation::toText(member.get("ADsPath")), "/");
                domain = parts.size() >= 2 ? parts[parts.size() - 2] : "";
            }
            bool local = automation::equalsIgnoreCase(domain, source_.computer) &&
                         users.contains(automation::toLowerAscii(name));
            if (local) {
                members.push_back(name);
            } else {
                others.push_back(domain.empty() ? name : domain + "\\" + name);
            }
        }
        if (!others.empty()) {
            std::string names;
            for (const auto& other : others) names += (names.empty() ? "" : ", ") + other;
            leaveOut("members of " + groupName + " that are no local users: " + names);
        }
        return members;
    }

    json accounts() {
        auto computer = source_.directory.bind("WinNT://" + source_.computer);
        json users = json::array();
        std::vector<std::pair<std::string, automation::ObjectRef>> groups;
        std::set<std::string> userNames;  // lower case
        for (const auto& item : itemsOf(computer->get("Children"))) {
            auto object = item.object();
            auto className = automation::toText(object->get("Class"));
            auto name = automation::toText(object->get("Name"));
            if (automation::equalsIgnoreCase(className, "Group")) {
                groups.emplace_back(name, object);
                continue;
            }
            if (!automation::equalsIgnoreCase(className, "User")) continue;
            json user = {{"name", name}};
            if (auto sid = accountSid(name, false)) user["sid"] = *sid;
            if (auto flags = readField(*object, "UserFlags", true)) user["flags"] = *flags;
            if (auto full = readField(*object, "FullName", false)) user["fullName"] = *full;
            if (auto text = readField(*object, "Description", false)) user["description"] = *text;
            users.push_back(std::move(user));
            userNames.insert(automation::toLowerAscii(name));
        }
        json groupList = json::array();
        for (auto& [name, object] : groups) {
            json group = {{"name", name}};
            auto sid = accountSid(name, true);
            if (!sid && isBuiltinGroup(name)) {
                leaveOut("group " + name + ": a built-in group the platform does not have");
                continue;
            }
            if (sid) group["sid"] = *sid;
            if (auto text = readField(*object, "Description", false)) group["description"] = *text;
            group["members"] = localMembers(*object, name, userNames);
            groupList.push_back(std::move(group));
        }
        json document = {{"users", users}, {"groups", groupList}};
        if (!machineSid_.empty()) document["machineSid"] = machineSid_;
        // The computer's Parent is "WinNT://WORKGROUP".
        auto parent = automation::toText(computer->get("Parent"));
        auto workgroup = parent.substr(std::min(parent.size(), std::string("WinNT://").size()));
        if (!workgroup.empty() && workgroup.find('/') == std::string::npos) {
            document["workgroup"] = workgroup;
        }
        return document;
    }

    bool isBuiltinGroup(const std::string& name) {
        auto sid = sidOf(name);
        return sid && files::sidToString(*sid).rfind("S-1-5-32-", 0) == 0;
    }

    // ---- the folders ----

    // The folder's owner, group and DACL; nullopt when there is no such folder.
    std::optional<json> folderEntry(const std::string& path) {
        auto fileName = source_.ansi.fromUtf8(path);
        auto attributes = source_.advapi32.GetFileAttributesA(fileName.c_str());
        if (attributes == platform::win32::kInvalidFileAttributes ||
            !(attributes & platform::win32::kFileAttributeDirectory)) {
            return std::nullopt;
        }
        uint32_t needed = 0;
        source_.advapi32.GetFileSecurityA(fileName.c_str(), kOwnerGroupDacl, nullptr, 0, &needed);
        files::Bytes descriptor(needed);
        if (needed == 0 || !source_.advapi32.GetFileSecurityA(fileName.c_str(), kOwnerGroupDacl,
                                                              descriptor.data(), needed, &needed)) {
            leaveOut("the access of " + path + ": it cannot be read (error " +
                     std::to_string(source_.advapi32.GetLastError()) +
                     "); the folder takes the platform's default access");
            return json{{"path", path}};
        }
        auto entry = files::securityDocument(descriptor);
        entry["path"] = path;
        return entry;
    }

    // Adds the folder and those above it; false when it does not exist.
    bool addFolder(const FolderPath& folder, json& list) {
        for (size_t depth = 0; depth <= folder.names.size(); ++depth) {
            auto path = folder.text(depth);
            auto key = automation::toUpperAscii(path);
            if (auto known = listed_.find(key); known != listed_.end()) {
                if (!known->second) return false;
                continue;
            }
            auto entry = folderEntry(path);
            listed_[key] = entry.has_value();
            if (!entry) return false;
            drives_.insert(folder.drive);
            list.push_back(std::move(*entry));
        }
        return true;
    }

    json folders() {
        json list = json::array();
        std::sort(sites_.begin(), sites_.end(),
                  [](const Site& a, const Site& b) { return a.number < b.number; });
        for (const auto& site : sites_) {
            if (site.folder.empty()) continue;
            auto folder = folderPath(site.folder);
            if (!folder) {
                leaveOut("the root folder of " + site.key + ": " + site.folder +
                         " is no folder on a drive of this computer");
                continue;
            }
            if (!addFolder(*folder, list)) {
                leaveOut("the root folder of " + site.key + ": " + site.folder + " does not exist");
                continue;
            }
            if (!masterSite_.empty()) continue;
            auto withTemplate = *folder;
            withTemplate.names.push_back("Template");
            // Only the master control site's folder holds Template; looking
            // adds nothing for the others.
            if (folderEntry(withTemplate.text(withTemplate.names.size()))) {
                addFolder(withTemplate, list);
                masterSite_ = folder->text(folder->names.size());
            }
        }
        return list;
    }

    // ---- the settings ----

    json settings() {
        int iis = 5;
        try {
            source_.directory.bind("IIS://localhost/W3SVC/AppPools");
            iis = 6;
        } catch (const AutomationError&) {
        }
        drives_.insert('C');
        json settings = {{"computer", source_.computer},
                         {"iis", iis},
                         {"code_page", source_.ansi.codePage()},
                         {"drives", std::string(drives_.begin(), drives_.end())}};
        if (!masterSite_.empty()) settings["master_site_root"] = masterSite_;
        return settings;
    }

    const ExportSource& source_;
    std::vector<std::string> leftOut_;
    std::vector<Site> sites_;
    std::string machineSid_;
    std::map<std::string, bool> listed_;  // upper-case path: whether it exists
    std::set<char> drives_;
    std::string masterSite_;
};

}  // namespace

ExportedState exportState(const ExportSource& source) { return Exporter(source).run(); }

}  // namespace tarnwick::cli
