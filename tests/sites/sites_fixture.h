// A page of the master control site on a fresh in-memory platform, with the
// helpers the site operations' tests share: preparing sites through a load
// of the metabase, reading keys back through their objects, and looking at
// accounts and folders.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "automation/text.h"
#include "support/platform_fixture.h"

namespace tarnwick::testing {

// A site to prepare: its number, bindings, anonymous user and state.
struct SiteSpec {
    SiteSpec(int number_, std::vector<std::string> bindings_, std::string anonymousUser_ = "",
             bool started_ = true)
        : number(number_),
          bindings(std::move(bindings_)),
          anonymousUser(std::move(anonymousUser_)),
          started(started_) {}

    int number;
    std::vector<std::string> bindings;
    std::string anonymousUser;  // "" for the site of "Tarn_site<number>"
    bool started;
};

class SitesFixture : public PlatformFixture {
protected:
    static constexpr const char* kComputer = "WEBHOST";
    static constexpr const char* kService = "IIS://WEBHOST/W3SVC";

    void SetUp() override {
        PlatformFixture::SetUp();
        put("System", "2003");
    }

    static std::string sitePath(int number) {
        return std::string(kService) + "/" + std::to_string(number);
    }
    static std::string rootPath(int number) { return sitePath(number) + "/ROOT"; }

    // Adds sites (with a root directory each) to the metabase by loading it
    // again with the extra keys; the keys already there stay.
    void addSites(const std::vector<SiteSpec>& sites) {
        auto metabase = platform->dump()["metabase"];
        for (const auto& site : sites) {
            std::string key = "/LM/W3SVC/" + std::to_string(site.number);
            std::string user = site.anonymousUser.empty() ? std::string(kComputer) + "\\Tarn_site" +
                                                                std::to_string(site.number)
                                                          : site.anonymousUser;
            metabase["keys"].push_back({{"path", key},
                                        {"class", "IIsWebServer"},
                                        {"state", site.started ? 2 : 4},
                                        {"properties",
                                         {{"ServerBindings", site.bindings},
                                          {"ServerComment", "SITE " + std::to_string(site.number)},
                                          {"AnonymousUserName", user}}}});
            metabase["keys"].push_back({{"path", key + "/ROOT"},
                                        {"class", "IIsWebVirtualDir"},
                                        {"properties", {{"DefaultDoc", "index.htm"}}}});
        }
        platform->load({{"metabase", metabase}});
    }
    // Removes site `number` (and its root) from the metabase.
    void removeSite(int number) {
        auto metabase = platform->dump()["metabase"];
        auto& keys = metabase["keys"];
        std::string key = "/LM/W3SVC/" + std::to_string(number);
        for (auto it = keys.begin(); it != keys.end();) {
            std::string path = (*it)["path"];
            it = (path == key || path.starts_with(key + "/")) ? keys.erase(it) : it + 1;
        }
        platform->load({{"metabase", metabase}});
    }

    // CreateSite with the usual order's values; each can be replaced.
    struct Order {
        Variant user = "bob";
        Variant path = "D:\\Web\\bob";
        Variant domain = "bob.com";
        Variant connections = -1;
        Variant bandwidth = -1;
        Variant pool = "Tarn_bob";
        Variant docs = "index.htm,index.asp";
    };
    Variant createSite(const Order& order) {
        return call("CreateSite", {order.user, order.path, order.domain, order.connections,
                                   order.bandwidth, order.pool, order.docs});
    }
    Variant createSite(const std::string& user, const std::string& domain) {
        Order order;
        order.user = user;
        order.path = "D:\\Web\\" + user;
        order.domain = domain;
        order.pool = "Tarn_" + user;
        return createSite(order);
    }
    // The number of a created site from its "n:True" result.
    static int siteNumberOf(const Variant& result) {
        auto text = automation::toText(result);
        return std::stoi(text.substr(0, text.find(':')));
    }

    bool keyExists(const std::string& path) {
        try {
            bind(path);
            return true;
        } catch (const automation::AutomationError&) {
            return false;
        }
    }
    Variant property(const std::string& path, std::string_view name) {
        return bind(path)->get(name);
    }
    // The error number reading a property raises; 0 when it is set.
    int32_t propertyError(const std::string& path, std::string_view name) {
        try {
            bind(path)->get(name);
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        return 0;
    }
    // The stored properties of a key as the state document shows them.
    nlohmann::json storedProperties(const std::string& keyPath) {
        const auto state = platform->dump();
        for (const auto& key : state["metabase"]["keys"]) {
            if (key["path"] == keyPath) return key["properties"];
        }
        return nullptr;
    }
    std::vector<std::string> siteKeys() {
        std::vector<std::string> sites;
        const auto state = platform->dump();
        for (const auto& key : state["metabase"]["keys"]) {
            if (key["class"] == "IIsWebServer") sites.push_back(key["path"]);
        }
        return sites;
    }

    bool userExists(const std::string& name) {
        return keyExists("WinNT://WEBHOST/" + name + ",user");
    }
    std::vector<std::string> groupMembers(const std::string& group) {
        std::vector<std::string> names;
        auto members = bind("WinNT://WEBHOST/" + group + ",group")->get("Members");
        for (const auto& member : members.array()) names.push_back(automation::toText(member));
        return names;
    }

    // The SID of a local account in text form; "" when there is none.
    std::string sidOf(const std::string& name) {
        const auto state = platform->dump();
        for (const auto& user : state["accounts"]["users"]) {
            if (user["name"] == name) return user["sid"];
        }
        return "";
    }

    automation::ObjectRef files() { return platform->objects()("Scripting.FileSystemObject"); }
    bool folderExists(const std::string& path) {
        return automation::toBoolean(files()->call("FolderExists", {path}));
    }
    bool fileExists(const std::string& path) {
        return automation::toBoolean(files()->call("FileExists", {path}));
    }
    // Makes the folder with every missing folder above it.
    void makeFolders(const std::string& path) {
        std::string prefix;
        for (const auto& element : automation::split(path, "\\")) {
            prefix += element + "\\";
            if (!folderExists(prefix)) files()->call("CreateFolder", {prefix});
        }
    }
    void writeFile(const std::string& path, const std::string& text, bool readOnly = false) {
        auto stream = files()->call("CreateTextFile", {path, true});
        automation::objectOf(stream).call("Write", {text});
        automation::objectOf(stream).call("Close");
        if (readOnly) automation::objectOf(files()->call("GetFile", {path})).put("Attributes", 1);
    }
    // The DACL of a folder or file in SDDL, as the state document shows it.
    std::string daclOf(const std::string& path) {
        auto files = platform->dump()["files"];
        for (const auto& folder : files["folders"]) {
            if (automation::equalsIgnoreCase(folder["path"].get<std::string>(), path)) {
                return folder["dacl"];
            }
        }
        if (files["files"].contains(path)) return files["files"][path]["dacl"];
        return "";
    }
    // True when every fault the test added has fired.
    bool faultsFired() { return platform->faults().list().empty(); }
};

// The same on a machine of the IIS version the test's parameter gives (5 or 6).
class SitesOnIisVersion : public SitesFixture, public ::testing::WithParamInterface<int> {
protected:
    std::unique_ptr<platform::embedded::EmbeddedPlatform> makePlatform() override {
        platform::embedded::PlatformSettings settings;
        settings.computerName = kComputer;
        settings.iisVersion = GetParam();
        return platform::embedded::EmbeddedPlatform::inMemory(settings);
    }
    void SetUp() override {
        platform = makePlatform();
        SitesFixture::SetUp();
    }
};

}  // namespace tarnwick::testing
