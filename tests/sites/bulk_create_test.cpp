// `tarnwick site create --from FILE`: one site per line of a CSV file, the
// run going on past the lines that fail, each failing line leaving nothing
// behind, a summary and the exit code; files that cannot be used at all.
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class BulkCreate : public CliFixture {
protected:
    std::filesystem::path file;

    void SetUp() override {
        CliFixture::SetUp();
        file = state.string() + ".csv";
        auto init = tarnwick({"platform", "init", "--computer", "WEBHOST"});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
    void TearDown() override {
        std::filesystem::remove(file);
        CliFixture::TearDown();
    }
    ProcessResult createFrom(const std::string& content, std::vector<std::string> more = {}) {
        std::ofstream(file, std::ios::binary) << content;
        std::vector<std::string> args = {"site", "create", "--from", file.string()};
        args.insert(args.end(), more.begin(), more.end());
        return tarnwick(args);
    }
    json dump() { return json::parse(tarnwick({"platform", "dump"}).out); }
    std::vector<int> siteNumbers() {
        std::vector<int> numbers;
        auto listing = json::parse(tarnwick({"site", "list", "--json"}).out);
        for (const auto& site : listing["sites"]) {
            numbers.push_back(site["number"]);
        }
        return numbers;
    }
    // Nothing of the user's site is left: no account, no folder, no pool.
    void expectNothingOf(const json& platformState, const std::string& user) {
        for (const auto& account : platformState["accounts"]["users"]) {
            EXPECT_NE(account["name"], "Tarn_" + user);
        }
        auto folders = platformState["files"]["folders"].dump();
        EXPECT_EQ(folders.find("D:\\\\Web\\\\" + user), std::string::npos) << user;
        for (const auto& key : platformState["metabase"]["keys"]) {
            EXPECT_NE(key["path"], "/LM/W3SVC/AppPools/Tarn_" + user);
        }
    }
};

TEST_F(BulkCreate, GoesOnPastFailingLinesAndSumsUp) {
    auto taken = tarnwick(
        {"site", "create", "--user", "old", "--path", "D:\\Web\\old", "--domain", "taken.com"});
    ASSERT_EQ(taken.exitCode, 0) << taken.err;

    // Header names in any letter case and order, with blanks around them.
    auto result = createFrom(
        "User, PATH ,Domain,Connections,Bandwidth,Docs,Show-IP,pool\r\n"
        "amy,D:\\Web\\amy,amy.com,100,512,\"index.asp,index.htm\",no,\r\n"
        "eve,D:\\Web\\eve,,,,,,\r\n"
        "joe,D:\\Web\\joe,joe.com,many,,,,\r\n"
        "kim,D:\\Web\\kim,kim.com,,2048,,,\r\n"
        "lee,D:\\Web\\lee,lee.com,1.5,,,,\r\n"
        "max,D:\\Web\\max,max.com,,,,maybe,\r\n"
        "dup,D:\\Web\\dup,taken.com,,,,,\r\n"
        "win,C:\\WINDOWS,win.com,,,,,\r\n"
        "ann,D:\\Web\\ann\r\n"
        "\r\n"
        "\"zed\",\"D:\\Web\\zed\",\"zed.com\",-1,-1,\"a.htm, b.htm\",YES,\"Shared\"\r\n",
        {"--local-addr", "10.0.0.7"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out,
              "line 2: Created site 3 for amy.com, started\n"
              "line 3: the domain is missing\n"
              "line 4: connections \"many\" is not a whole number from -1\n"
              "line 5: bandwidth \"2048\" is not -1 or a whole number from 0 to 1024\n"
              "line 6: connections \"1.5\" is not a whole number from -1\n"
              "line 7: show-ip \"maybe\" is not true, false, yes, no, 1 or 0\n"
              "line 8: 你所要绑定的域名已存在,请改换其他域名!\n"
              "line 9: 参数出错,请检查!\n"
              "line 10: 2 fields where the header names 8\n"
              "line 12: Created site 4 for zed.com, started\n"
              "2 created, 8 failed\n");

    EXPECT_EQ(siteNumbers(), (std::vector<int>{1, 2, 3, 4}));
    auto platformState = dump();
    for (const char* user : {"eve", "joe", "kim", "lee", "max", "dup", "win", "ann"}) {
        expectNothingOf(platformState, user);
    }
    auto amy = json::parse(tarnwick({"site", "show", "3", "--json"}).out);
    EXPECT_EQ(amy["limits"], (json{{"connections", 100}, {"bandwidth", 512}}));
    EXPECT_EQ(amy["default_documents"], (json{"index.asp", "index.htm"}));
    EXPECT_EQ(amy["bindings"], (json{":80:amy.com", ":80:www.amy.com"}));
    EXPECT_EQ(amy["pool"], "Tarn_amy");
    auto zed = json::parse(tarnwick({"site", "show", "4", "--json"}).out);
    EXPECT_EQ(zed["bindings"], (json{"10.0.0.7:80:zed.com", "10.0.0.7:80:www.zed.com"}));
    EXPECT_EQ(zed["default_documents"], (json{"a.htm", "b.htm"}));
    EXPECT_EQ(zed["pool"], "Shared");
}

TEST_F(BulkCreate, ALineThatFailsHalfwayLeavesNothingAndTheNextLineRuns) {
    auto prepared = dump();
    prepared["faults"] = {{{"member", "SetInfo"},
                           {"path", "IIS://*/W3SVC/*/ROOT"},
                           {"hex", "80070005"},
                           {"once", true}}};
    ASSERT_EQ(tarnwick({"platform", "load"}, prepared.dump()).exitCode, 0);

    auto result =
        createFrom("user,path,domain\nbob,D:\\Web\\bob,bob.com\namy,D:\\Web\\amy,amy.com\n");
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(result.out.starts_with("line 2: ")) << result.out;
    EXPECT_EQ(result.out.find("line 2: Created"), std::string::npos) << result.out;
    EXPECT_NE(
        result.out.find("\nline 3: Created site 2 for amy.com, started\n1 created, 1 failed\n"),
        std::string::npos)
        << result.out;
    EXPECT_EQ(siteNumbers(), (std::vector<int>{1, 2}));
    expectNothingOf(dump(), "bob");
}

TEST_F(BulkCreate, AFileOfGoodLinesExitsWithZero) {
    auto result =
        createFrom("domain,user,path\nbob.com,bob,D:\\Web\\bob\namy.com,amy,D:\\Web\\amy");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "line 2: Created site 2 for bob.com, started\n"
              "line 3: Created site 3 for amy.com, started\n"
              "2 created, 0 failed\n");
}

struct UnusableFile {
    const char* name;
    std::string content;
    std::string message;  // after "tarnwick: FILE: "
};

class BulkCreateRefusing : public BulkCreate, public ::testing::WithParamInterface<UnusableFile> {};

TEST_P(BulkCreateRefusing, CreatesNothing) {
    const auto& test = GetParam();
    auto result = createFrom(test.content);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tarnwick: " + file.string() + ": " + test.message + "\n");
    EXPECT_EQ(siteNumbers(), (std::vector<int>{1}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BulkCreateRefusing,
    ::testing::Values(
        UnusableFile{"Empty", "", "there is no header line"},
        UnusableFile{"UnknownColumn", "user,path,domain,quota\nbob,D:\\Web\\bob,bob.com,5\n",
                     "the header names an unknown column \"quota\" (the columns are user, path, "
                     "domain, connections, bandwidth, pool, cpu, docs, show-ip)"},
        UnusableFile{"RequiredColumnMissing", "user,path\nbob,D:\\Web\\bob\n",
                     "the header has no column domain"},
        UnusableFile{"RepeatedColumn", "user,path,domain,USER\nbob,D:\\Web\\bob,bob.com,bob\n",
                     "the header names the column user twice"},
        UnusableFile{"QuoteNotClosed", "user,path,domain\nbob,D:\\Web\\bob,\"bob.com\n",
                     "line 2: a quoted field is not closed"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(BulkCreate, CommandLinesThatCannotRun) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    auto missing = (state.parent_path() / "no-such-file.csv").string();
    for (const auto& test : std::vector<Case>{
             {{"site", "create", "--from", missing}, 1, "tarnwick: cannot read " + missing + "\n"},
             {{"site", "create", "--from", "x.csv", "--user", "bob"}, 64, ""},
             {{"site", "create", "--from", "x.csv", "--docs", "a.htm"}, 64, ""},
             {{"site", "create", "--user", "bob", "--path", "D:\\Web\\bob"}, 64, ""},
         }) {
        auto result = tarnwick(test.args);
        EXPECT_EQ(result.exitCode, test.exitCode) << test.args.back();
        if (!test.err.empty()) {
            EXPECT_EQ(result.err, test.err);
        }
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(siteNumbers(), (std::vector<int>{1}));
}

}  // namespace
}  // namespace tarnwick::testing
