// A page of the master control site on a fresh in-memory platform, with the
// helpers the toolkit members' tests share: the state of folders, accounts
// and metabase keys as the platform's state document shows them, and sites
// prepared through a load of the metabase.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "automation/text.h"
#include "support/platform_fixture.h"

namespace tarnwick::testing {

using nlohmann::json;

class ToolkitFixture : public PlatformFixture {
protected:
    // The security of a folder or file as the dump shows it ("dacl" in SDDL,
    // "dacl_hex" byte for byte); null when there is no such entry.
    json securityOf(const std::string& path) {
        auto files = platform->dump()["files"];
        for (const auto& folder : files["folders"]) {
            if (folder["path"] == path) return folder;
        }
        if (files["files"].contains(path)) return files["files"][path];
        return nullptr;
    }
    std::string daclOf(const std::string& path) {
        auto security = securityOf(path);
        return security.is_null() || !security.contains("dacl") ? "" : security["dacl"];
    }
    std::string daclHexOf(const std::string& path) {
        auto security = securityOf(path);
        return security.is_null() || !security.contains("dacl_hex") ? "" : security["dacl_hex"];
    }
    std::vector<std::string> folderPaths() {
        std::vector<std::string> paths;
        auto files = platform->dump()["files"];
        for (const auto& folder : files["folders"]) paths.push_back(folder["path"]);
        return paths;
    }

    // A local user or group from the accounts state; null when there is none.
    json accountNamed(const std::string& name) {
        auto accounts = platform->dump()["accounts"];
        for (const char* kind : {"users", "groups"}) {
            for (const auto& account : accounts[kind]) {
                if (account["name"] == name) return account;
            }
        }
        return nullptr;
    }
    // Makes a local user through the accounts state and returns its SID text.
    std::string addUser(const std::string& name) {
        auto accounts = platform->dump()["accounts"];
        accounts["users"].push_back({{"name", name}, {"password", "Secret#1"}});
        platform->load({{"accounts", accounts}});
        return accountNamed(name)["sid"];
    }

    // A metabase key by its path ("/LM/W3SVC/1/ROOT"); null when there is none.
    json keyAt(const std::string& path) {
        auto metabase = platform->dump()["metabase"];
        for (const auto& key : metabase["keys"]) {
            if (automation::equalsIgnoreCase(key["path"].get<std::string>(), path)) return key;
        }
        return nullptr;
    }
    // Adds a site with a root directory; the keys already there stay.
    void addSite(int number, std::vector<std::string> bindings, bool started) {
        auto metabase = platform->dump()["metabase"];
        std::string key = "/LM/W3SVC/" + std::to_string(number);
        metabase["keys"].push_back({{"path", key},
                                    {"class", "IIsWebServer"},
                                    {"state", started ? 2 : 4},
                                    {"properties", {{"ServerBindings", bindings}}}});
        metabase["keys"].push_back({{"path", key + "/ROOT"},
                                    {"class", "IIsWebVirtualDir"},
                                    {"properties", {{"DefaultDoc", "index.htm"}}}});
        platform->load({{"metabase", metabase}});
    }
    int siteState(int number) {
        auto key = keyAt("/LM/W3SVC/" + std::to_string(number));
        return key.is_null() ? 0 : key["state"].get<int>();
    }
};

}  // namespace tarnwick::testing
