// `tarnwick site list --json` and `site show N --json`: every site's number,
// description, state, bindings, folder, anonymous user, pool, limits and
// default documents as the metabase holds them after the site commands ran.
#include <gtest/gtest.h>

#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
using Args = std::vector<std::string>;

struct ListingCase {
    const char* name;
    const char* iis;
    // Site commands run one after the other on a fresh platform; each must succeed.
    std::vector<Args> commands;
    json expected;  // site 2 as `site show 2 --json` prints it
};

class SiteListing : public CliFixture, public ::testing::WithParamInterface<ListingCase> {};

TEST_P(SiteListing, ShowsTheSiteAsTheMetabaseHoldsIt) {
    const auto& test = GetParam();
    auto init = tarnwick({"platform", "init", "--computer", "WEBHOST", "--iis", test.iis});
    ASSERT_EQ(init.exitCode, 0) << init.err;
    for (const auto& command : test.commands) {
        auto result = tarnwick(command);
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }

    auto show = tarnwick({"site", "show", "2", "--json"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(json::parse(show.out), test.expected);

    auto list = tarnwick({"site", "list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    auto sites = json::parse(list.out)["sites"];
    ASSERT_EQ(sites.size(), 2u) << list.out;
    EXPECT_EQ(sites[0]["number"], 1);
    EXPECT_EQ(sites[0]["description"], "Default Web Site");
    EXPECT_EQ(sites[1], test.expected);
}

json site(json bindings, const char* folder, const char* user, json pool, json connections,
          json bandwidth, json documents, const char* state = "started") {
    return {
        {"number", 2},
        {"description", "Z_BOB.COM"},
        {"state", state},
        {"bindings", std::move(bindings)},
        {"folder", folder},
        {"anonymous_user", user},
        {"pool", std::move(pool)},
        {"limits", {{"connections", std::move(connections)}, {"bandwidth", std::move(bandwidth)}}},
        {"default_documents", std::move(documents)}};
}

const Args kCreateBob = {"site",   "create",       "--user",   "bob",
                         "--path", "D:\\Web\\bob", "--domain", "bob.com"};

Args with(Args args, const Args& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const json kBobBindings = {":80:bob.com", ":80:www.bob.com"};
const json kDefaultDocuments = {"index.htm", "index.html", "index.asp", "default.htm",
                                "default.asp"};

INSTANTIATE_TEST_SUITE_P(
    Sites, SiteListing,
    ::testing::Values(
        ListingCase{"LimitsDocumentsAndAddress",
                    "6",
                    {with(kCreateBob, {"--connections", "100", "--bandwidth", "512", "--docs",
                                       "a.htm, b.asp", "--show-ip", "--local-addr", "10.0.0.5"})},
                    site({"10.0.0.5:80:bob.com", "10.0.0.5:80:www.bob.com"}, "D:\\Web\\bob",
                         "WEBHOST\\Tarn_bob", "Tarn_bob", 100, 512, {"a.htm", "b.asp"})},
        ListingCase{"UnlimitedIsMinusOne",
                    "6",
                    {with(kCreateBob, {"--pool", "Shared"})},
                    site(kBobBindings, "D:\\Web\\bob", "WEBHOST\\Tarn_bob", "Shared", -1, -1,
                         kDefaultDocuments)},
        ListingCase{"NoPoolOnIis5",
                    "5",
                    {with(kCreateBob, {"--cpu", "30", "--bandwidth", "0"})},
                    site(kBobBindings, "D:\\Web\\bob", "WEBHOST\\Tarn_bob", nullptr, -1, 0,
                         kDefaultDocuments)},
        ListingCase{"StoppedSite",
                    "6",
                    {kCreateBob, {"site", "stop", "2"}},
                    site(kBobBindings, "D:\\Web\\bob", "WEBHOST\\Tarn_bob", "Tarn_bob", -1, -1,
                         kDefaultDocuments, "stopped")},
        ListingCase{"ChangedSite",
                    "6",
                    {kCreateBob,
                     {"site", "modify", "2", "--domain", "bob.net", "--user", "bob",
                      "--connections", "7", "--bandwidth", "1024"},
                     {"site", "docs", "2", "home.asp,,index.htm"}},
                    [] {
                        auto changed = site({":80:bob.net", ":80:www.bob.net"}, "D:\\Web\\bob",
                                            "WEBHOST\\Tarn_bob", "Tarn_bob", 7, 1024,
                                            {"home.asp", "index.htm"});
                        changed["description"] = "BOB.NET";
                        return changed;
                    }()}),
    [](const auto& param) { return std::string(param.param.name); });

class SiteListingForms : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        auto init = tarnwick({"platform", "init", "--computer", "WEBHOST"});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
};

// The anonymous user is the web service's own, which every site inherits.
TEST_F(SiteListingForms, ASiteWithoutRootOrLimitsHasNulls) {
    auto dump = json::parse(tarnwick({"platform", "dump"}).out);
    auto metabase = dump["metabase"];
    metabase["keys"].push_back({{"path", "/LM/W3SVC/7"},
                                {"class", "IIsWebServer"},
                                {"state", 4},
                                {"properties", {{"ServerBindings", {":81:"}}}}});
    auto load = tarnwick({"platform", "load"}, json{{"metabase", metabase}}.dump());
    ASSERT_EQ(load.exitCode, 0) << load.err;

    auto show = tarnwick({"site", "show", "7", "--json"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(json::parse(show.out),
              (json{{"number", 7},
                    {"description", nullptr},
                    {"state", "stopped"},
                    {"bindings", {":81:"}},
                    {"folder", nullptr},
                    {"anonymous_user", "IUSR_WEBHOST"},
                    {"pool", nullptr},
                    {"limits", {{"connections", nullptr}, {"bandwidth", nullptr}}},
                    {"default_documents", json::array()}}));
}

TEST_F(SiteListingForms, TextFormsStayAndAnUnknownSiteFails) {
    auto list = tarnwick({"site", "list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_TRUE(list.out.starts_with("SITE  DESCRIPTION       STATE    BINDINGS  FOLDER"))
        << list.out;
    auto show = tarnwick({"site", "show", "1"});
    EXPECT_TRUE(show.out.starts_with("Site:           1\nDescription:    Default Web Site\n"))
        << show.out;

    for (const Args& args : {Args{"site", "show", "9", "--json"}, Args{"site", "show", "9"}}) {
        auto missing = tarnwick(args);
        EXPECT_EQ(missing.exitCode, 1);
        EXPECT_EQ(missing.out, "");
        EXPECT_EQ(missing.err, "tarnwick: there is no site 9\n");
    }
}

}  // namespace
}  // namespace tarnwick::testing
