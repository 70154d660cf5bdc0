#include "cli/state_export.h"

#include <gtest/gtest.h>

#include "cli/site_listing.h"
#include "platform/embedded/embedded_platform.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
using platform::embedded::EmbeddedPlatform;

// A server with the default web site (the master control site) and two
// hosted sites: site 2 started, with its own anonymous
// account, password and access flags, its root folder with an access list
// of its own and a virtual directory; site 3 stopped, its folder missing.
const json kServer = json::parse(R"doc({
  "metabase": {"keys": [
    {"path": "/LM/W3SVC", "class": "IIsWebService",
     "properties": {"AnonymousUserName": "IUSR_WEBSERVER", "AnonymousUserPass": "service-pass"}},
    {"path": "/LM/W3SVC/AppPools", "class": "IIsApplicationPools"},
    {"path": "/LM/W3SVC/1", "class": "IIsWebServer", "state": 2,
     "properties": {"ServerBindings": [":80:"], "ServerComment": "Default Web Site"}},
    {"path": "/LM/W3SVC/1/ROOT", "class": "IIsWebVirtualDir",
     "properties": {"Path": "C:\\Inetpub\\wwwroot"}},
    {"path": "/LM/W3SVC/2", "class": "IIsWebServer", "state": 2,
     "properties": {"ServerBindings": [":80:bob.com", ":80:www.bob.com"],
                    "ServerComment": "Z_BOB.COM", "MaxConnections": 4294967295,
                    "AnonymousUserName": "WEBSERVER\\Tarn_bob",
                    "AnonymousUserPass": "bob-pass", "ServerAutoStart": true}},
    {"path": "/LM/W3SVC/2/ROOT", "class": "IIsWebVirtualDir",
     "properties": {"Path": "D:\\Web\\bob", "AccessFlags": 513, "DefaultDoc": "index.asp"}},
    {"path": "/LM/W3SVC/2/ROOT/img", "class": "IIsWebVirtualDir",
     "properties": {"Path": "D:\\Web\\img", "UNCPassword": "unc-pass"}},
    {"path": "/LM/W3SVC/3", "class": "IIsWebServer", "state": 4,
     "properties": {"ServerBindings": [":80:gone.com"]}},
    {"path": "/LM/W3SVC/3/ROOT", "class": "IIsWebVirtualDir",
     "properties": {"Path": "D:\\Web\\gone"}}]},
  "accounts": {"users": [{"name": "Tarn_bob", "password": "bob-pass", "groups": ["Guests"],
                          "fullName": "Bob", "description": "site 2"}]},
  "files": {"folders": ["D:\\Web", {"path": "D:\\Web\\bob", "dacl": "D:P(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)"},
                        "D:\\Web\\img", "C:\\Inetpub\\wwwroot\\Template"]}
})doc");

platform::embedded::PlatformSettings settings() {
    platform::embedded::PlatformSettings made;
    made.computerName = "WEBSERVER";
    return made;
}

cli::ExportedState exportOf(EmbeddedPlatform& server) {
    auto services = server.services();
    return cli::exportState({*services.directory, *services.advapi32, *services.ansi, "WEBSERVER"});
}

const json& keyOf(const json& document, const std::string& path) {
    for (const auto& key : document["metabase"]["keys"]) {
        if (key["path"] == path) return key;
    }
    static const json none;
    return none;
}

// The platform's load does not take secrets yet: the loaded platform gives
// those keys no password.
json withoutSecrets(json document) {
    for (auto& key : document["metabase"]["keys"]) {
        for (auto it = key["properties"].begin(); it != key["properties"].end();) {
            it = it.value().value("type", "") == "secret" ? key["properties"].erase(it) : ++it;
        }
    }
    return document;
}

class StateExport : public ::testing::Test {
protected:
    void SetUp() override {
        server = EmbeddedPlatform::inMemory(settings());
        server->load(kServer);
        exported = exportOf(*server);
    }
    std::unique_ptr<EmbeddedPlatform> server;
    cli::ExportedState exported;
};

TEST_F(StateExport, EveryKeyHasItsOwnPropertiesAndPasswordsOnlyAsSecrets) {
    auto dump = server->dump();
    ASSERT_EQ(exported.document["metabase"]["keys"].size(), dump["metabase"]["keys"].size());
    for (const auto& stored : dump["metabase"]["keys"]) {
        const auto& key = keyOf(exported.document, stored["path"]);
        EXPECT_EQ(key["class"], stored["class"]) << stored["path"];
        EXPECT_EQ(key.value("state", json()), stored.value("state", json())) << stored["path"];
        auto expected = stored["properties"];
        for (auto name : {"AnonymousUserPass", "UNCPassword"}) {
            if (expected.contains(name)) expected[name] = {{"type", "secret"}};
        }
        EXPECT_EQ(key["properties"], expected) << stored["path"];
    }
    auto text = exported.document.dump();
    for (auto password : {"service-pass", "bob-pass", "unc-pass", "sha256"}) {
        EXPECT_EQ(text.find(password), std::string::npos) << password;
    }
}

TEST_F(StateExport, LoadsOnAnotherMachineWithTheSameSitesAccountsAndAccess) {
    auto copy = EmbeddedPlatform::inMemory();
    copy->load(withoutSecrets(exported.document));
    auto sitesOf = [](EmbeddedPlatform& platform) {
        json sites = json::array();
        for (const auto& row :
             cli::readSites(*platform.services().directory, "IIS://localhost/W3SVC")) {
            sites.push_back(cli::siteJson(row).dump());
        }
        return sites;
    };
    EXPECT_EQ(sitesOf(*copy), sitesOf(*server));

    auto before = server->dump();
    auto after = copy->dump();
    EXPECT_EQ(after["settings"]["computer"], "WEBSERVER");
    EXPECT_EQ(after["accounts"]["machineSid"], before["accounts"]["machineSid"]);
    auto accounts = [](const json& document) {
        json found;
        for (const auto& user : document["accounts"]["users"]) found[user["name"]] = user["sid"];
        for (const auto& group : document["accounts"]["groups"]) {
            found[group["name"]] = {group["sid"], group["members"]};
        }
        return found;
    };
    EXPECT_EQ(accounts(after), accounts(before));
    auto access = [](const json& document, const std::string& path) {
        for (const auto& folder : document["files"]["folders"]) {
            if (folder["path"] == path) return folder;
        }
        return json();
    };
    for (auto path : {"D:\\", "D:\\Web", "D:\\Web\\bob", "C:\\Inetpub\\wwwroot",
                      "C:\\Inetpub\\wwwroot\\Template"}) {
        EXPECT_EQ(access(after, path), access(before, path)) << path;
    }
}

TEST_F(StateExport, SaysWhatItLeavesOut) {
    EXPECT_EQ(exported.document["settings"]["master_site_root"], "C:\\Inetpub\\wwwroot");
    EXPECT_EQ(exported.document["settings"]["drives"], "CD");
    EXPECT_EQ(exported.document["settings"]["iis"], 6);
    bool missingFolder = false;
    for (const auto& line : exported.leftOut) {
        missingFolder |= line == "the root folder of /LM/W3SVC/3: D:\\Web\\gone does not exist";
    }
    EXPECT_TRUE(missingFolder) << json(exported.leftOut).dump();
    for (const auto& folder : exported.document["files"]["folders"]) {
        EXPECT_NE(folder["path"], "D:\\Web\\gone");
    }
}

}  // namespace
}  // namespace tarnwick::testing
