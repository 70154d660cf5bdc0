#include <gtest/gtest.h>

#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class PlatformCommand : public CliFixture {
protected:
    json dump() {
        auto result = tarnwick({"platform", "dump"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json::parse(result.out);
    }
    static const json* key(const json& state, const std::string& path) {
        for (const auto& entry : state["metabase"]["keys"]) {
            if (entry["path"] == path) return &entry;
        }
        return nullptr;
    }
};

TEST_F(PlatformCommand, APreparedStateIsWhatThePageRunsOn) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
    json prepared = dump();
    // Sites 1, 2 and 4 exist: the next site is number 3.
    for (int site : {2, 4}) {
        prepared["metabase"]["keys"].push_back(
            {{"path", "/LM/W3SVC/" + std::to_string(site)},
             {"class", "IIsWebServer"},
             {"properties", {{"ServerBindings", {":80:site" + std::to_string(site) + ".com"}}}}});
    }
    auto loaded = tarnwick({"platform", "load"}, prepared.dump());
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;

    auto page = tarnwick(
        {"page"},
        json{{"calls",
              {{{"put", "System"}, {"value", "2003"}},
               {{"call", "CreateSite"},
                {"args", {"bob", "D:\\Web\\bob", "bob.com", -1, -1, "BobPool", "index.asp"}}}}}}
            .dump());
    ASSERT_EQ(page.exitCode, 0) << page.err;
    EXPECT_EQ(json::parse(page.out)["results"][1]["value"], "3:True") << page.out;

    auto after = dump();
    ASSERT_NE(key(after, "/LM/W3SVC/3/ROOT"), nullptr);
    EXPECT_NE(key(after, "/LM/W3SVC/AppPools/BobPool"), nullptr);
    bool accountMade = false;
    for (const auto& user : after["accounts"]["users"]) accountMade |= user["name"] == "Tarn_bob";
    EXPECT_TRUE(accountMade);
}

TEST_F(PlatformCommand, ALoadWithAnErrorChangesNothingAndSaysWhere) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
    json before = dump();
    json bad = before;
    bad["metabase"]["keys"].push_back({{"path", "/LM/W3SVC/7"}, {"class", "NoSuchClass"}});
    bad["settings"]["computer"] = "OTHER";
    auto result = tarnwick({"platform", "load"}, bad.dump());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("metabase.keys["), std::string::npos) << result.err;
    EXPECT_EQ(dump(), before);

    auto unknown = tarnwick({"platform", "load"}, R"({"weather": {}})");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("weather"), std::string::npos);
    EXPECT_EQ(tarnwick({"platform", "load"}, "{broken").exitCode, 1);
    EXPECT_EQ(dump(), before);
}

TEST_F(PlatformCommand, SettingsAndFaultsThePlatformCannotUseAreRefused) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
    json before = dump();
    struct Case {
        json document;
        std::string says;
    };
    const Case cases[] = {
        {{{"settings", {{"code_page", 12345}}}}, "settings.code_page: code page 12345"},
        {{{"settings", {{"computer", "A/B"}}}}, "settings.computer:"},
        {{{"settings", {{"computer", "SIXTEENCHARSLONG"}}}}, "settings.computer:"},
        {{{"settings", {{"iis", "6"}}}}, "settings.iis: must be a whole number"},
        {{{"settings", {{"drives", "cd"}}}}, "settings.drives:"},
        {{{"settings", {{"drives", "D"}}}}, "settings.drives: must include drive C"},
        {{{"settings", {{"master_site_root", "E:\\Site"}}}}, "settings.master_site_root:"},
        {{{"settings", {{"weather", 1}}}}, "settings.weather: unknown key"},
        {{{"settings", {{"drives", "CDQ"}}}, {"files", before["files"]}},
         "settings.drives: drive Q:"},
        {{{"faults", {{{"member", "SetInfo"}, {"path", 5}, {"number", 5}}}}}, "faults[0].path"},
        {{{"faults", {{{"member", "SetInfo"}, {"once", "yes"}, {"number", 5}}}}}, "faults[0].once"},
        {{{"faults", {{{"member", "SetInfo"}, {"hex", "1FFFFFFFF"}}}}}, "faults[0].hex"},
        {{{"faults", {{{"member", "SetInfo"}, {"hex", "80070005x"}}}}}, "faults[0].hex"},
    };
    for (const auto& [document, says] : cases) {
        auto result = tarnwick({"platform", "load"}, document.dump());
        EXPECT_EQ(result.exitCode, 1) << document.dump();
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    }
    EXPECT_EQ(dump(), before);

    auto badInit =
        tarnwick({"platform", "init", "--computer", "HOSTB", "--code-page", "12345", "--force"});
    EXPECT_EQ(badInit.exitCode, 1);
    EXPECT_NE(badInit.err.find("--code-page"), std::string::npos) << badInit.err;
    EXPECT_EQ(dump(), before);
}

TEST_F(PlatformCommand, DrivesOfTheSettingsAndOfTheFilesAgreeAfterALoad) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
    auto added = tarnwick({"platform", "load"}, json{{"settings", {{"drives", "CDQ"}}}}.dump());
    ASSERT_EQ(added.exitCode, 0) << added.err;
    auto loaded = dump();
    EXPECT_EQ(loaded["settings"]["drives"], "CDQ");
    EXPECT_EQ(loaded["files"]["drives"], json({"C", "D", "Q"}));

    loaded["files"]["drives"].push_back("R");
    loaded["settings"].erase("drives");
    ASSERT_EQ(tarnwick({"platform", "load"}, loaded.dump()).exitCode, 0);
    EXPECT_EQ(dump()["settings"]["drives"], "CDQR");
}

TEST_F(PlatformCommand, FaultsReachAPageRunByAnotherProcess) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
    json prepared = dump();
    prepared["faults"] = {{{"member", "GetObject"},
                           {"path", "IIS://*/W3SVC/1"},
                           {"hex", "80070005"},
                           {"once", true}}};
    ASSERT_EQ(tarnwick({"platform", "load"}, prepared.dump()).exitCode, 0);
    json page = {{"calls", {{{"call", "SiteStatus"}, {"args", {1, true}}}}}};
    auto first = json::parse(tarnwick({"page"}, page.dump()).out);
    EXPECT_NE(first["response"]["body"].get<std::string>().find("80070005"), std::string::npos);
    auto second = json::parse(tarnwick({"page"}, page.dump()).out);
    EXPECT_EQ(second["results"][0]["value"], true);  // the fault fired once
    EXPECT_TRUE(dump()["faults"].empty());
}

}  // namespace
}  // namespace tarnwick::testing
