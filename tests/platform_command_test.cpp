#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "platform/embedded/database.h"
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

// What a failing command prints: one line, "tarnwick: " and the message.
void expectOneLine(const ProcessResult& result, const std::string& says) {
    EXPECT_TRUE(result.err.starts_with("tarnwick: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.err.ends_with("\n")) << result.err;
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
}

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every command that opens the state, with the standard input it reads.
struct Command {
    std::vector<std::string> args;
    std::string input;
};
const std::vector<Command>& everyCommand() {
    static const std::vector<Command> commands = {
        {{"page"}, R"({"calls": [{"call": "Computer"}]})"},
        {{"platform", "dump"}, ""},
        {{"platform", "load"}, R"({"faults": []})"},
        {{"site", "list"}, ""},
        {{"site", "show", "1"}, ""},
        {{"site", "create", "--user", "bob", "--path", "D:\\Web\\bob", "--domain", "bob.com"}, ""},
        {{"site", "modify", "1", "--domain", "one.com", "--user", "bob"}, ""},
        {{"site", "start", "1"}, ""},
        {{"site", "stop", "1"}, ""},
        {{"site", "docs", "1", "index.htm"}, ""},
        {{"site", "delete", "2", "--path", "D:\\Web\\bob"}, ""},
        {{"setup"}, ""},
    };
    return commands;
}

// A state folder that cannot be used, made from a freshly initialised one.
struct Unusable {
    const char* name;
    std::function<void(const std::filesystem::path& state)> spoil;
    std::string says;
    bool folderIsAFile = false;
};

void withStore(const std::filesystem::path& state, const std::string& sql) {
    platform::embedded::Database db((state / "platform.db").string());
    db.execute(sql);
}

void replaceStore(const std::filesystem::path& state, const std::string& content) {
    for (const char* side : {"", "-wal", "-shm"}) {
        std::filesystem::remove(state.string() + "/platform.db" + side);
    }
    std::ofstream(state / "platform.db", std::ios::binary) << content;
}

const Unusable kUnusable[] = {
    {"EmptyFile", [](const auto& state) { replaceStore(state, ""); }, "platform.db is empty"},
    {"TextFile", [](const auto& state) { replaceStore(state, "name,value\ncomputer,HOSTA\n"); },
     "platform.db is not an SQLite database"},
    {"TruncatedDatabase",
     [](const auto& state) {
         replaceStore(state, contentOf(state / "platform.db").substr(0, 4096));
     },
     "platform.db "},
    {"AnotherProgramsDatabase",
     [](const auto& state) {
         replaceStore(state, "");
         std::filesystem::remove(state / "platform.db");
         withStore(state, "CREATE TABLE notes (text TEXT)");
     },
     "platform.db holds no platform store (it has no settings table)"},
    {"SettingsWithoutSchemaVersion",
     [](const auto& state) {
         withStore(state, "DELETE FROM settings WHERE name = 'schema_version'");
     },
     "platform.db holds no platform store (its settings have no schema_version)"},
    {"AnotherSchemaVersion",
     [](const auto& state) {
         withStore(state, "UPDATE settings SET value = '2' WHERE name = 'schema_version'");
     },
     "platform.db has schema version \"2\", not 1"},
    {"DroppedTable", [](const auto& state) { withStore(state, "DROP TABLE account_members"); },
     "platform.db is damaged: table account_members is missing"},
    {"TableWithOtherColumns",
     [](const auto& state) {
         withStore(state,
                   "DROP TABLE faults; CREATE TABLE faults (id INTEGER PRIMARY KEY, note TEXT)");
     },
     "platform.db is damaged: table faults has the columns (id, note)"},
    {"GarbageNumberSetting",
     [](const auto& state) {
         withStore(state, "UPDATE settings SET value = 'six' WHERE name = 'iis_version'");
     },
     "platform.db is damaged: settings.iis_version is \"six\", not a whole number"},
    {"ComputerNameNoPathCanHold",
     [](const auto& state) {
         withStore(state, "UPDATE settings SET value = 'A/B' WHERE name = 'computer_name'");
     },
     "platform.db is damaged: settings.computer:"},
    {"StateFolderIsAFile",
     [](const auto& state) {
         std::filesystem::remove_all(state);
         std::ofstream(state) << "a file, not a folder\n";
     },
     " is not a folder", true},
};

class UnusableState : public CliFixture, public ::testing::WithParamInterface<Unusable> {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA"}).exitCode, 0);
        GetParam().spoil(state);
    }
    std::filesystem::path guarded() const {
        return GetParam().folderIsAFile ? state : state / "platform.db";
    }
};

TEST_P(UnusableState, EveryCommandRefusesItInOneLineAndLeavesItAsItWas) {
    auto before = contentOf(guarded());
    for (const auto& [args, input] : everyCommand()) {
        SCOPED_TRACE(args[0] + " " + args[1 % args.size()]);
        auto result = tarnwick(args, input);
        EXPECT_EQ(result.exitCode, 2);
        expectOneLine(result, GetParam().says);
        EXPECT_NE(result.err.find(state.string()), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(contentOf(guarded()), before) << "the store was changed";
    }
    auto init = tarnwick({"platform", "init", "--computer", "HOSTB"});
    EXPECT_EQ(init.exitCode, 2);
    EXPECT_EQ(contentOf(guarded()), before) << "platform init replaced it without --force";
}

TEST_P(UnusableState, OnlyInitWithForceReplacesIt) {
    auto init = tarnwick({"platform", "init", "--computer", "HOSTB", "--force"});
    if (GetParam().folderIsAFile) {
        EXPECT_EQ(init.exitCode, 2);
        expectOneLine(init, GetParam().says);
        return;
    }
    ASSERT_EQ(init.exitCode, 0) << init.err;
    auto dump = tarnwick({"platform", "dump"});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(json::parse(dump.out)["settings"]["computer"], "HOSTB");
}

TEST_F(PlatformCommand, DamagedValuesAreNamedWhereTheyAre) {
    struct Case {
        const char* damage;
        Command command;
        std::string says;
    };
    const std::string noCalls = R"({"calls": []})";
    const Case cases[] = {
        {"UPDATE settings SET value = '' WHERE name = 'code_page'",
         {{"site", "list"}, ""},
         R"(settings.code_page is "", not a whole number)"},
        {"UPDATE settings SET value = '6x' WHERE name = 'iis_version'",
         {{"page"}, noCalls},
         R"(settings.iis_version is "6x", not a whole number)"},
        {"UPDATE settings SET value = '12345' WHERE name = 'code_page'",
         {{"platform", "dump"}, ""},
         "settings.code_page: code page 12345"},
        {"INSERT INTO sessions(id) VALUES ('123');"
         "INSERT INTO session_values VALUES ('123', 'login', 'not json')",
         {{"page"}, R"({"session": "123", "calls": [{"call": "IsAdmin"}]})"},
         R"(session_values: the value of "login" in session "123" is "not json", not an automation value)"},
        {"INSERT INTO sessions(id) VALUES ('123');"
         R"(INSERT INTO session_values VALUES ('123', 'login', '{"type": "Currency", "value": 1}'))",
         {{"platform", "dump"}, ""},
         R"(in session "123" is "{\"type\": \"Currency\", \"value\": 1}", not an automation value)"},
        {"UPDATE metabase_properties SET type = 'Float' WHERE name = 'ServerBindings'",
         {{"site", "list"}, ""},
         R"(metabase_properties: property "ServerBindings" has the unknown type "Float")"},
        {"UPDATE metabase_properties SET value = '[1' WHERE name = 'ServerBindings'",
         {{"site", "show", "1"}, ""},
         R"(metabase_properties: property "ServerBindings" is not a JSON list of strings)"},
        // Plain number columns: text where a number belongs reads as no number.
        {"UPDATE metabase_keys SET state = 'started' WHERE path = '/LM/W3SVC/1'",
         {{"site", "list"}, ""},
         R"(metabase_keys.state is "started", not a whole number)"},
        {"UPDATE accounts SET flags = '0x10000' WHERE name = 'Administrator'",
         {{"platform", "dump"}, ""},
         R"(accounts.flags is "0x10000", not a whole number)"},
        {"UPDATE accounts SET flags = 1.5 WHERE name = 'Guest'",
         {{"page"}, R"({"calls": [{"call": "DeleteNtUser", "args": ["Guest"]}]})"},
         R"(accounts.flags is "1.5", not a whole number)"},
        {"INSERT INTO odbc_data_sources VALUES ('panel', 'Access', 'DBQ=panel.mdb')",
         {{"platform", "dump"}, ""},
         R"(odbc_data_sources: the attributes of "panel" are "DBQ=panel.mdb", not a JSON list)"},
    };
    for (const auto& [damage, command, says] : cases) {
        SCOPED_TRACE(damage);
        ASSERT_EQ(tarnwick({"platform", "init", "--computer", "HOSTA", "--force"}).exitCode, 0);
        withStore(state, damage);
        auto result = tarnwick(command.args, command.input);
        EXPECT_EQ(result.exitCode, 2);
        expectOneLine(result, says);
        EXPECT_NE(result.err.find("state folder " + state.string() + ": platform.db is damaged: "),
                  std::string::npos)
            << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, UnusableState, ::testing::ValuesIn(kUnusable),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(PlatformCommand, AWrongCommandLineExitsWithTheUsageCode) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--no-such-option"},
        {"weather"},
        {"site"},
        {"site", "create", "--user", "bob"},
        {"site", "show"},
        {"site", "list", "extra"},
        {"site", "start", "1", "--speed", "3"},
        {"platform"},
        {"platform", "init"},
        {"platform", "init", "--computer", "HOSTA", "--iis", "7"},
        {"page", "--input"},
        {"setup", "--help-label", "9"},
    };
    for (const auto& args : wrong) {
        auto result = tarnwick(args);
        std::string line;
        for (const auto& arg : args) line += arg + " ";
        EXPECT_EQ(result.exitCode, 64) << line << result.err;
        EXPECT_FALSE(result.err.empty()) << line;
        EXPECT_FALSE(std::filesystem::exists(state)) << line << ": ran anyway";
    }
    auto help = tarnwick({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("64 a wrong command line"), std::string::npos) << help.out;
}

// The ways a state folder comes to be, each with the mode its folder must end with.
struct Making {
    const char* name;
    std::function<void(const std::filesystem::path& folder)> make;
    std::filesystem::perms folderMode;
};

constexpr auto kOwnerOnly = std::filesystem::perms::owner_all;
constexpr auto kOwnerFile =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
constexpr auto kUserChosen = std::filesystem::perms::owner_all |
                             std::filesystem::perms::group_read |
                             std::filesystem::perms::group_exec;

class StateAccess : public CliFixture, public ::testing::WithParamInterface<Making> {};

const Making kMakings[] = {
    {"FirstPage",
     [](const auto& folder) {
         ASSERT_EQ(
             runProcess({TARNWICK_CLI, "--state", folder.string(), "page"}, R"({"calls": []})")
                 .exitCode,
             0);
     },
     kOwnerOnly},
    {"FirstSiteCommand",
     [](const auto& folder) {
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "site", "create", "--user",
                               "bob", "--path", "D:\\Web\\bob", "--domain", "bob.com"})
                       .exitCode,
                   0);
     },
     kOwnerOnly},
    {"PlatformInit",
     [](const auto& folder) {
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "platform", "init",
                               "--computer", "HOSTA"})
                       .exitCode,
                   0);
     },
     kOwnerOnly},
    {"PlatformLoad",
     [](const auto& folder) {
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "platform", "load"},
                              R"({"settings": {"computer": "HOSTC"}})")
                       .exitCode,
                   0);
     },
     kOwnerOnly},
    {"InitForceOverAWorldReadableStore",
     [](const auto& folder) {
         // A store made before the state was private; its folder was chosen by the user.
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "platform", "init",
                               "--computer", "HOSTA"})
                       .exitCode,
                   0);
         std::filesystem::permissions(folder, kUserChosen);
         for (const auto& entry : std::filesystem::directory_iterator(folder)) {
             std::filesystem::permissions(entry.path(), kOwnerFile |
                                                            std::filesystem::perms::group_read |
                                                            std::filesystem::perms::others_read);
         }
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "platform", "init",
                               "--computer", "HOSTB", "--force"})
                       .exitCode,
                   0);
     },
     kUserChosen},
    {"FolderTheUserMade",
     [](const auto& folder) {
         std::filesystem::create_directories(folder);
         std::filesystem::permissions(folder, kUserChosen);
         ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", folder.string(), "site", "list"}).exitCode,
                   0);
     },
     kUserChosen},
};

TEST_P(StateAccess, OnlyTheOwnerCanReadTheState) {
    // The state folder below folders that do not exist yet.
    auto folder = state / "below" / "tarnwick";
    GetParam().make(folder);
    EXPECT_EQ(std::filesystem::status(folder).permissions(), GetParam().folderMode);
    ASSERT_TRUE(std::filesystem::exists(folder / "platform.db"));
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.status().permissions(), kOwnerFile) << entry.path();
    }
    // Nothing is left under a temporary name; beside the store is only the
    // lock file of the site members.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name.starts_with("platform.db") || name == "machine.lock") << name;
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Makings, StateAccess, ::testing::ValuesIn(kMakings),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace tarnwick::testing
