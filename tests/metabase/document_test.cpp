// The metabase as a state document: dump, load, and the checks that keep a
// bad document from changing anything.
#include "platform/embedded/metabase/document.h"

#include <gtest/gtest.h>

#include "metabase_fixture.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

using Documents = MetabaseTest;

TEST_P(Documents, ADumpLoadsBackToTheSameState) {
    addSite("2", {":80:a.com", ":80:www.a.com"}, true);
    auto site = bind("IIS://WEBSERVER/W3SVC/2");
    site->put("MaxConnections", 4294967295.0);
    site->put("FrontPageWeb", false);
    site->put("ServerComment", "Z_A.COM");
    site->call("SetInfo");
    auto dumped = mb::dumpDocument(*storage);

    auto copy = GetParam().make();
    mb::loadDocument(*copy, dumped);
    EXPECT_EQ(mb::dumpDocument(*copy), dumped);
    EXPECT_EQ(copy->findKey("/LM/W3SVC/2")->state, mb::kServerStarted);

    json siteEntry;
    for (const auto& entry : dumped["keys"]) {
        if (entry["path"] == "/LM/W3SVC/2") siteEntry = entry;
    }
    ASSERT_FALSE(siteEntry.is_null());
    EXPECT_EQ(siteEntry["state"], 2);
    EXPECT_EQ(siteEntry["properties"]["MaxConnections"],
              (json{{"type", "number"}, {"value", 4294967295u}}));
    EXPECT_EQ(siteEntry["properties"]["ServerBindings"]["value"],
              (json{":80:a.com", ":80:www.a.com"}));
    EXPECT_FALSE(dumped["keys"][0].contains("state"));  // only sites have one
}

TEST_P(Documents, TheCompactFormTakesSchemaTypes) {
    // A key may be listed before its parent.
    mb::loadDocument(*storage, json::parse(R"({"keys": [
        {"path": "/LM/W3SVC/4/Root", "class": "IIsWebVirtualDir",
         "properties": {"Path": {"type": "string", "value": "D:\\d"}}},
        {"path": "/lm/w3svc", "class": "iiswebservice"},
        {"path": "/LM/W3SVC/4", "class": "IIsWebServer", "state": 2,
         "properties": {"ServerBindings": [":80:d.com"], "maxconnections": 4294967295,
                        "MaxBandwidthBlocked": 4294967295, "ServerComment": "D"}},
        {"path": "/LM/W3SVC/5", "class": "IIsWebServer"}
    ]})"));
    auto site = bind("IIS://WEBSERVER/W3SVC/4");
    EXPECT_EQ(site->get("Class"), Variant("IIsWebServer"));
    EXPECT_EQ(site->get("ServerState"), Variant(2));
    EXPECT_EQ(site->get("MaxConnections"), Variant(-1));
    EXPECT_EQ(site->get("MaxBandwidthBlocked"), Variant(-1));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/4/ROOT")->get("Path"), Variant("D:\\d"));
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/5")->get("ServerState"), Variant(4));
    // The whole state was replaced: the default site is gone.
    EXPECT_EQ(bindError("IIS://WEBSERVER/W3SVC/1"), mb::errors::kPathNotFound);
}

TEST_P(Documents, NumbersBuiltInCodeCountLikeParsedOnes) {
    json document = {{"keys",
                      {{{"path", "/LM/W3SVC"}, {"class", "IIsWebService"}},
                       {{"path", "/LM/W3SVC/2"},
                        {"class", "IIsWebServer"},
                        {"properties", {{"MaxConnections", 500}, {"LogType", int64_t{0}}}}}}}};
    mb::loadDocument(*storage, document);
    EXPECT_EQ(bind("IIS://WEBSERVER/W3SVC/2")->get("MaxConnections"), Variant(500));
    document["keys"][1]["properties"]["MaxConnections"] = -1;
    EXPECT_THROW(mb::loadDocument(*storage, document), platform::embedded::LoadError);
}

TEST_P(Documents, ABadDocumentNamesTheProblemAndChangesNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {R"([])", "metabase: "},
        {R"({"keys": [], "sites": []})", "metabase.sites: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebSite"}]})", "metabase.keys[0].class: "},
        {R"({"keys": [{"path": "/LM/W3SVC/2", "class": "IIsWebServer"}]})",
         "metabase.keys[0].path: "},
        {R"({"keys": [{"path": "W3SVC", "class": "IIsWebService"}]})", "metabase.keys[0].path: "},
        {R"({"keys": [{"path": "/LM//W3SVC", "class": "IIsWebService"}]})",
         "metabase.keys[0].path: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService"},
                      {"path": "/lm/w3svc", "class": "IIsWebService"}]})",
         "metabase.keys[1].path: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebServer"}]})",
         "metabase.keys[0].class: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService", "state": 2}]})",
         "metabase.keys[0].state: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService", "propertys": {}}]})",
         "metabase.keys[0].propertys: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"NoSuch": 1}}]})",
         "metabase.keys[0].properties.NoSuch: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"ServerBindings": ":80:"}}]})",
         "metabase.keys[0].properties.ServerBindings: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"ServerBindings": [":80:", 1]}}]})",
         "metabase.keys[0].properties.ServerBindings[1]: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"MaxConnections": -1}}]})",
         "metabase.keys[0].properties.MaxConnections: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"MaxConnections": {"type": "string", "value": "1"}}}]})",
         "metabase.keys[0].properties.MaxConnections.type: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"MaxBandwidth": 1, "Maxbandwidth": 2}}]})",
         "metabase.keys[0].properties."},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"KeyType": "IIsWebService"}}]})",
         "metabase.keys[0].properties.KeyType: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"ServerComment": {"type": "secret"}}}]})",
         "metabase.keys[0].properties.ServerComment.type: "},
        {R"({"keys": [{"path": "/LM/W3SVC", "class": "IIsWebService",
                       "properties": {"WAMUserPass": {"type": "secret", "sha256": "AB"}}}]})",
         "metabase.keys[0].properties.WAMUserPass.sha256: "},
    };
    auto before = mb::dumpDocument(*storage);
    for (const auto& [document, where] : cases) {
        try {
            mb::loadDocument(*storage, json::parse(document));
            ADD_FAILURE() << "loaded " << document;
        } catch (const platform::embedded::LoadError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u)
                << error.what() << " does not begin with " << where;
        }
        EXPECT_EQ(mb::dumpDocument(*storage), before) << document;
    }
}

// Secrets load from their text, their digest or nothing, read as their text
// (empty when unknown) and dump as their digest; a property the schema does
// not know keeps the type it was given.
TEST_P(Documents, SecretsAndUnknownPropertiesKeepTheirForms) {
    auto digest = mb::secretDigest("Pw-1");
    struct Case {
        json given, dumped;
        std::string read;  // "" for a property scripts cannot read
    };
    const Case cases[] = {
        {"Pw-1", {{"type", "secret"}, {"sha256", digest}}, "Pw-1"},
        {{{"type", "string"}, {"value", "Pw-1"}}, {{"type", "secret"}, {"sha256", digest}}, "Pw-1"},
        {{{"type", "secret"}, {"sha256", digest}}, {{"type", "secret"}, {"sha256", digest}}, ""},
        {{{"type", "secret"}}, {{"type", "secret"}}, ""},
    };
    for (const auto& c : cases) {
        mb::loadDocument(*storage, json{{"keys",
                                         {{{"path", "/LM/W3SVC"},
                                           {"class", "IIsWebService"},
                                           {"properties",
                                            {{"AnonymousUserPass", c.given},
                                             {"Limit", {{"type", "number"}, {"value", 7}}}}}}}}});
        auto dumped = mb::dumpDocument(*storage)["keys"][0]["properties"];
        EXPECT_EQ(dumped["AnonymousUserPass"], c.dumped) << c.given;
        EXPECT_EQ(dumped["Limit"], (json{{"type", "number"}, {"value", 7}}));
        auto service = bind("IIS://WEBSERVER/W3SVC");
        EXPECT_EQ(automation::toText(service->get("AnonymousUserPass")), c.read) << c.given;
    }
    auto service = bind("IIS://WEBSERVER/W3SVC");
    service->put("AnonymousUserPass", "Pw-1");
    service->call("SetInfo");
    EXPECT_EQ(mb::dumpDocument(*storage)["keys"][0]["properties"]["AnonymousUserPass"],
              (json{{"type", "secret"}, {"sha256", digest}}));
}

INSTANTIATE_TEST_SUITE_P(Storage, Documents, ::testing::ValuesIn(kStorageKinds), storageName);

}  // namespace
}  // namespace tarnwick::testing
