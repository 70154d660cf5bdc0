// The activity log: the line of each member call that changes something,
// its escaping, two processes writing at once, and `tarnwick log`'s filters.
#include "component/activity_log.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "automation/text.h"
#include "cli/activity_reader.h"
#include "spawn.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class ActivityLog : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        auto init = tarnwick({"platform", "init", "--computer", "WEBHOST"});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
    json logLines(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"log", "--json"});
        auto result = tarnwick(options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json::parse(result.out)["lines"];
    }
    // The log files as the platform stores them (code page text).
    std::string rawLog() {
        auto dump = json::parse(tarnwick({"platform", "dump"}).out);
        std::string text;
        for (const auto& [path, file] : dump["files"]["files"].items()) {
            if (path.find("\\LogFiles\\Tarnwick\\tw") == std::string::npos) continue;
            text += file.value("ansi", file.value("text", std::string()));
        }
        return text;
    }
};

TEST_F(ActivityLog, EachMemberThatChangesSomethingWritesOneMaskedLine) {
    struct Row {
        json call;
        const char* member;
        json site;
        const char* outcome;
        std::map<std::string, std::string> arguments;  // a few of the logged ones
    };
    const std::vector<Row> rows = {
        {{"CreateSite", {"bob", "D:\\Web\\bob", "bob.com", -1, -1, "Tarn_bob", "index.htm"}},
         "CreateSite",
         2,
         "2:True",
         {{"HostPath", "D:\\Web\\bob"}, {"HostBand", "-1"}}},
        {{"ModifySite", {2, "bob2.com", -1, -1, "index.asp", "bob"}},
         "ModifySite",
         2,
         "True",
         {{"NewDomain", "bob2.com"}}},
        {{"DefaultDoc", {"2", "a b.asp"}}, "DefaultDoc", 2, "True", {{"Doc", "a b.asp"}}},
        {{"SiteStatus", {2, false}}, "SiteStatus", 2, "True", {{"DoWhat", "False"}}},
        {{"CreateNtUser", {"amy", "Pw-Amy-77", "Amy Pw-Amy-77", ""}},
         "CreateNtUser",
         nullptr,
         "True",
         {{"PassWord", "***"}, {"FullName", "Amy ***"}, {"Info", ""}}},
        {{"AddUserToGroup", {"amy", "Guests"}}, "AddUserToGroup", nullptr, "True", {}},
        // A password too short to mask inside other text is masked where it is a whole value.
        {{"CreateNtUser", {"kim", "7", "7", "Kim 7"}},
         "CreateNtUser",
         nullptr,
         "True",
         {{"PassWord", "***"}, {"FullName", "***"}, {"Info", "Kim 7"}}},
        {{"DeleteNtUser", {"amy"}}, "DeleteNtUser", nullptr, "True", {}},
        {{"ChkFolder", {"D:\\Fresh one"}},
         "ChkFolder",
         nullptr,
         "True",
         {{"sFolder", "D:\\Fresh one"}}},
        {{"ChkFolder", {"D:\\Fresh one"}}, nullptr, nullptr, nullptr, {}},  // there: no line
        {{"CreatePool", {"Pool&=%+"}}, "CreatePool", nullptr, "", {{"AppName", "Pool&=%+"}}},
        {{"DeleteSite", {2, "D:\\Web\\bob"}}, "DeleteSite", 2, "True", {}},
        {{"DeleteSite", {"x", "D:\\Web\\bob"}}, "DeleteSite", nullptr, "参数出错,请检查!", {}},
        {{"RndStr", {4}}, nullptr, nullptr, nullptr, {}},  // changes nothing: no line
    };
    json calls = json::array({{{"call", "login"}, {"args", {"admin", "Login-Pw-5", "root"}}},
                              {{"put", "System"}, {"value", "2003"}}});
    for (const auto& row : rows) calls.push_back({{"call", row.call[0]}, {"args", row.call[1]}});
    page({{"calls", calls}});

    auto lines = logLines();
    size_t index = 0;
    for (const auto& row : rows) {
        if (!row.member) continue;
        SCOPED_TRACE(row.call.dump());
        ASSERT_LT(index, lines.size());
        const auto& line = lines[index++];
        EXPECT_EQ(line["member"], row.member);
        EXPECT_EQ(line["actor"], "admin");
        EXPECT_EQ(line["site"], row.site);
        EXPECT_EQ(line["outcome"], row.outcome);
        for (const auto& [name, value] : row.arguments) EXPECT_EQ(line["arguments"][name], value);
    }
    EXPECT_EQ(index, lines.size());
    const auto raw = rawLog();
    for (const char* secret : {"Pw-Amy-77", "Login-Pw-5"}) {
        EXPECT_EQ(raw.find(secret), std::string::npos) << secret;
    }
    // A command names the operating-system user; a platform failure its error number.
    ASSERT_EQ(tarnwick({"site", "stop", "1"}).exitCode, 0);
    auto machine = json::parse(tarnwick({"platform", "dump"}).out);
    machine["faults"] = json::parse(R"([{"member": "Start", "path": "*", "hex": "80070005"}])");
    ASSERT_EQ(tarnwick({"platform", "load"}, machine.dump()).exitCode, 0);
    EXPECT_EQ(tarnwick({"site", "start", "1"}).exitCode, 1);
    lines = logLines({"--site", "1"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["actor"], getpwuid(geteuid())->pw_name);
    EXPECT_EQ(lines[1]["outcome"], "无法启动站点!");
}

TEST(ActivityLogFormat, EscapedValuesStayOneFieldAndReadBack) {
    // Keeps what code page 936 would: everything but "ä" and the emoji here.
    const component::KeepsCharacter keeps = [](std::string_view c) { return c != "ä" && c != "😀"; };
    const std::vector<std::pair<std::string, std::string>> table = {
        {"", "-"},
        {"-", "%2D"},
        {"a b", "a+b"},
        {"1+1=2 & 100%", "1%2B1%3D2+%26+100%25"},
        {"line\r\nnext\ttab", "line%0D%0Anext%09tab"},
        {"参数出错,请检查!", "参数出错,请检查!"},
        {"ä😀", "%u00E4%uD83D%uDE00"},
        {"#x", "#x"},
    };
    for (const auto& [value, escaped] : table) {
        EXPECT_EQ(component::escapeLogValue(value, keeps), escaped) << value;
        EXPECT_EQ(component::unescapeLogValue(escaped), value) << escaped;
    }
    component::ActivityEntry entry{std::chrono::sys_days{std::chrono::year{2024} / 2 / 29} + 23h,
                                   "",
                                   "CreateNtUser",
                                   std::nullopt,
                                   {{"UserName", "a b"}, {"Info", ""}, {"x&y", "1=2"}},
                                   "line\nbreak",
                                   7};
    auto line = component::activityLine(entry, keeps);
    EXPECT_EQ(line,
              "2024-02-29 23:00:00 - CreateNtUser - UserName=a+b&Info=&x%26y=1%3D2 line%0Abreak 7");
    EXPECT_EQ(component::activityFileName(entry.when), "tw240229.log");
    auto back = component::parseActivityLine(line + "\r");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->arguments, entry.arguments);
    EXPECT_EQ(back->outcome, entry.outcome);
    EXPECT_EQ(back->when, entry.when);
}

TEST(ActivityLogReader, FiltersByTimeSiteAndMember) {
    std::vector<cli::LogFile> files = {
        {"tw240302.log",
         "#Fields: x\r\n2024-03-02 08:00:00 a SiteStatus 3 - True 1\r\nbroken line\r\n"},
        {"tw240301.log",
         "2024-03-01 10:00:00 a CreateSite 2 - 2:True 5\r\n"
         "2024-03-01 23:59:59 b DeleteSite 3 - True 4\r\n"},
        {"notes.txt", "2024-03-01 10:00:00 a CreateSite 9 - 9:True 5\r\n"},
    };
    auto date = [](const char* text, bool end) { return cli::parseLogDate(text, end); };
    struct Case {
        cli::ActivityFilter filter;
        std::vector<std::string> members;
    };
    const std::vector<Case> cases = {
        {{}, {"CreateSite", "DeleteSite", "SiteStatus"}},
        {{date("2024-03-01 12:00:00", false), {}, {}, ""}, {"DeleteSite", "SiteStatus"}},
        {{{}, date("2024-03-01", true), {}, ""}, {"CreateSite", "DeleteSite"}},
        {{date("2024-03-02", false), date("2024-03-02T08:00:00", true), {}, ""}, {"SiteStatus"}},
        {{{}, {}, 3, ""}, {"DeleteSite", "SiteStatus"}},
        {{{}, {}, {}, "createsite"}, {"CreateSite"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> members;
        for (const auto& entry : cli::readActivity(files, c.filter))
            members.push_back(entry.member);
        EXPECT_EQ(members, c.members);
    }
    for (const char* wrong : {"2024-02-30", "2024-3-1", "2024-03-01 25:00:00", "yesterday"}) {
        EXPECT_FALSE(cli::parseLogDate(wrong, false)) << wrong;
    }
}

TEST_F(ActivityLog, CommandLineMistakesExitWith64) {
    for (std::vector<std::string> args : {std::vector<std::string>{"log", "--since", "2024-13-01"},
                                          {"log", "--site", "0"},
                                          {"log", "--until"}}) {
        EXPECT_EQ(tarnwick(args).exitCode, 64) << args[1];
    }
    auto empty = tarnwick({"log"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "#Fields: " + std::string(component::kActivityFields) + "\n");
}

TEST_F(ActivityLog, TwoProcessesWritingAtOnceLoseAndTearNoLine) {
    constexpr int kCalls = 40;
    json calls = json::array();
    for (int i = 0; i < kCalls; ++i) {
        calls.push_back({{"call", "SiteStatus"}, {"args", {1, i % 2 == 0}}});
    }
    const auto input = json{{"calls", calls}}.dump();
    std::vector<std::unique_ptr<Spawned>> writers;
    for (const char* name : {"-a", "-b"}) {
        writers.push_back(std::make_unique<Spawned>(
            std::vector<std::string>{TARNWICK_CLI, "--state", state.string(), "page"}, input,
            state.parent_path() / (state.filename().string() + name)));
    }
    for (auto& writer : writers) EXPECT_EQ(writer->wait(), 0) << writer->err();
    const auto raw = rawLog();
    size_t headers = 0, lines = 0;
    for (const auto& line : automation::split(raw, "\r\n")) {
        if (line.starts_with("#Software")) ++headers;
        if (line.empty() || line.starts_with("#")) continue;
        ++lines;
        EXPECT_TRUE(component::parseActivityLine(line)) << line;
    }
    EXPECT_EQ(headers, 1u);
    EXPECT_EQ(lines, 2u * kCalls);
    EXPECT_EQ(logLines({"--member", "SiteStatus"}).size(), 2u * kCalls);
}

}  // namespace
}  // namespace tarnwick::testing
