// The site operations end to end through the tarnwick program: a page that
// creates, changes and deletes a site, and the `tarnwick site` commands on a
// state folder prepared with `tarnwick platform load`.
#include <gtest/gtest.h>

#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class SitesCommand : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        auto init = tarnwick({"platform", "init", "--computer", "WEBHOST"});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
    json dump() {
        auto result = tarnwick({"platform", "dump"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json::parse(result.out);
    }
    json key(const json& document, const std::string& path) {
        for (const auto& entry : document["metabase"]["keys"]) {
            if (entry["path"] == path) return entry;
        }
        return nullptr;
    }
    // Adds sites with the given numbers and host names through a platform load.
    void addSites(const std::vector<std::pair<int, std::string>>& sites) {
        auto metabase = dump()["metabase"];
        for (const auto& [number, host] : sites) {
            metabase["keys"].push_back(
                {{"path", "/LM/W3SVC/" + std::to_string(number)},
                 {"class", "IIsWebServer"},
                 {"state", 2},
                 {"properties",
                  {{"ServerBindings", {":80:" + host}},
                   {"AnonymousUserName", "WEBHOST\\Tarn_site" + std::to_string(number)}}}});
        }
        auto load = tarnwick({"platform", "load"}, json{{"metabase", metabase}}.dump());
        ASSERT_EQ(load.exitCode, 0) << load.err;
    }
};

TEST_F(SitesCommand, APageCreatesChangesAndDeletesASite) {
    auto created = page(
        {{"server_variables", {{"LOCAL_ADDR", "192.168.1.10"}}},
         {"calls",
          {{{"put", "System"}, {"value", "2003"}},
           {{"put", "ShowIP"}, {"value", true}},
           {{"call", "CreateSite"},
            {"args",
             {"bob", "D:\\Web\\bob", "bob.com", 100, 512, "Tarn_bob", "index.asp,index.htm"}}}}}});
    EXPECT_EQ(created["results"][2], (json{{"type", "String"}, {"value", "2:True"}}));
    EXPECT_EQ(created["response"]["body"], "");

    auto platformState = dump();
    auto site = key(platformState, "/LM/W3SVC/2");
    EXPECT_EQ(site["state"], 2);
    EXPECT_EQ(site["properties"]["ServerBindings"]["value"],
              (json{"192.168.1.10:80:bob.com", "192.168.1.10:80:www.bob.com"}));
    EXPECT_EQ(site["properties"]["MaxBandwidth"]["value"], 524288);
    EXPECT_EQ(key(platformState, "/LM/W3SVC/2/ROOT")["properties"]["AppPoolId"]["value"],
              "Tarn_bob");
    EXPECT_TRUE(platformState["files"]["files"].contains("D:\\Web\\bob\\index.asp"));

    auto changed =
        page({{"server_variables", {{"LOCAL_ADDR", "192.168.1.10"}}},
              {"calls",
               {{{"put", "ShowIP"}, {"value", true}},
                {{"call", "ModifySite"}, {"args", {2, "bob.net", -1, 0, "a.htm", "bob"}}},
                {{"call", "DeleteSite"}, {"args", {2, "D:\\Web\\bob"}}}}}});
    EXPECT_EQ(changed["results"][1], (json{{"type", "Boolean"}, {"value", true}}));
    EXPECT_EQ(changed["results"][2], (json{{"type", "Boolean"}, {"value", true}}));
    platformState = dump();
    EXPECT_TRUE(key(platformState, "/LM/W3SVC/2").is_null());
    EXPECT_FALSE(platformState["files"]["files"].contains("D:\\Web\\bob\\index.asp"));
}

TEST_F(SitesCommand, AFolderThatCannotBeMadeLeavesThePageRunning) {
    auto result = page(
        {{"calls",
          {{{"call", "CreateSite"}, {"args", {"bob", "Q:\\bob", "bob.com", -1, -1, 10, "a.htm"}}},
           {{"call", "Computer"}}}}});
    EXPECT_EQ(result["results"][0], (json{{"type", "Empty"}, {"value", nullptr}}));
    EXPECT_EQ(result["results"][1], (json{{"type", "String"}, {"value", "WEBHOST"}}));
    EXPECT_EQ(result["response"]["ended"], false);
}

TEST_F(SitesCommand, SiteCommandsWorkOnALoadedState) {
    addSites({{2, "two.com"}, {4, "four.com"}});
    auto create = tarnwick({"site", "create", "--user", "bob", "--path", "D:\\Web\\bob", "--domain",
                            "bob.com", "--bandwidth", "1024"});
    EXPECT_EQ(create.exitCode, 0) << create.err;
    EXPECT_EQ(create.out, "Created site 3 for bob.com, started\n");

    auto taken = tarnwick({"site", "modify", "3", "--domain", "two.com", "--user", "bob"});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_EQ(taken.err, "tarnwick: 你所要绑定的域名已存在,请改换其他域名!\n");

    auto modify = tarnwick({"site", "modify", "3", "--domain", "bob.net", "--user", "bob"});
    EXPECT_EQ(modify.exitCode, 0) << modify.err;
    auto show = tarnwick({"site", "show", "3"});
    EXPECT_NE(show.out.find(":80:bob.net :80:www.bob.net"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("BOB.NET"), std::string::npos) << show.out;

    auto refused = tarnwick({"site", "delete", "3", "--path", "C:\\WINDOWS"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "tarnwick: 参数出错,请检查!\n");

    auto remove = tarnwick({"site", "delete", "3", "--path", "D:\\Web\\bob"});
    EXPECT_EQ(remove.exitCode, 0) << remove.err;
    auto again = tarnwick({"site", "delete", "3", "--path", "D:\\Web\\bob"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "tarnwick: 站点不存在哦!\n");

    auto platformState = dump();
    EXPECT_TRUE(platformState["files"]["folders"].dump().find("C:\\\\WINDOWS") !=
                std::string::npos);
    for (const auto& user : platformState["accounts"]["users"]) EXPECT_NE(user["name"], "Tarn_bob");
}

}  // namespace
}  // namespace tarnwick::testing
