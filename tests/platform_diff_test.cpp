// `tarnwick platform diff`: the differences between two state documents, the
// documents it refuses, its exit codes, and a rehearsal of a bulk creation.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "cli/state_diff.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

json property(const char* type, json value) { return {{"type", type}, {"value", value}}; }

json baseState() {
    json site = {{"path", "/LM/W3SVC/1"}, {"class", "IIsWebServer"}, {"state", 2}};
    site["properties"] = {{"ServerComment", property("String", "Default Web Site")},
                          {"AnonymousUserPass", property("String", "Pw-old-123")}};
    return {{"settings", {{"computer", "WEBSERVER"}, {"iis", 6}}},
            {"metabase", {{"keys", {{{"path", "/LM/W3SVC"}, {"class", "IIsWebService"}}, site}}}},
            {"accounts",
             {{"users",
               {{{"name", "amy"},
                 {"flags", 513},
                 {"description", ""},
                 {"passwordSet", true},
                 {"password", {{"salt", "s1"}, {"sha256", "HASHOLD"}}}}}},
              {"groups", {{{"name", "Guests"}, {"members", {"Guest"}}}}}}},
            {"files",
             {{"folders", {{{"path", "C:\\Inetpub"}, {"dacl", "D:(A;;FA;;;SY)"}}}},
              {"files", {{"C:\\Inetpub\\a.htm", {{"dacl", "D:(A;;FA;;;SY)"}, {"text", "hi"}}}}}}}};
}

struct Case {
    const char* name;
    std::function<void(json&)> change;
    std::vector<std::string> lines;
};

TEST(StateDiff, EachDifferenceIsOneLineAndSecretsShowNoText) {
    auto keys = [](json& s) -> json& { return s["metabase"]["keys"]; };
    auto props = [](json& s) -> json& { return s["metabase"]["keys"][1]["properties"]; };
    const char* root = "C:\\Inetpub";
    std::vector<Case> cases = {
        {"only letter case differs", [&](json& s) { keys(s)[1]["path"] = "/lm/w3svc/1"; }, {}},
        {"keys in number order",
         [&](json& s) {
             keys(s)[1]["class"] = "IIsWebVirtualDir";
             keys(s)[1]["state"] = 4;
             props(s)["ServerComment"] = property("String", "Z_BOB.COM");
             props(s)["AnonymousUserPass"]["value"] = "Pw-new-456";
             props(s)["ServerBindings"] = property("List", {":80:bob.com"});
             keys(s).erase(0);
             for (const char* n : {"10", "2"}) {
                 keys(s).push_back({{"path", std::string("/LM/W3SVC/") + n},
                                    {"class", "IIsWebServer"},
                                    {"properties", {{"WAMUserPass", {{"type", "secret"}}}}}});
             }
         },
         {"- key /LM/W3SVC", "~ key /LM/W3SVC/1 class: \"IIsWebServer\" -> \"IIsWebVirtualDir\"",
          "~ key /LM/W3SVC/1 ServerState: 2 -> 4", "~ key /LM/W3SVC/1 AnonymousUserPass changed",
          "+ key /LM/W3SVC/1 ServerBindings = [\":80:bob.com\"]",
          "~ key /LM/W3SVC/1 ServerComment: \"Default Web Site\" -> \"Z_BOB.COM\"",
          "+ key /LM/W3SVC/2", "+ key /LM/W3SVC/2 class = \"IIsWebServer\"",
          "+ key /LM/W3SVC/2 WAMUserPass = (secret)", "+ key /LM/W3SVC/10",
          "+ key /LM/W3SVC/10 class = \"IIsWebServer\"",
          "+ key /LM/W3SVC/10 WAMUserPass = (secret)"}},
        {"a secret no longer readable, a setting",
         [&](json& s) {
             props(s)["AnonymousUserPass"] = {{"type", "secret"}};
             props(s).erase("ServerComment");
             s["settings"]["computer"] = "HOSTB";
         },
         {"~ computer: \"WEBSERVER\" -> \"HOSTB\"", "~ key /LM/W3SVC/1 AnonymousUserPass changed",
          "- key /LM/W3SVC/1 ServerComment = \"Default Web Site\""}},
        {"accounts",
         [](json& s) {
             auto& amy = s["accounts"]["users"][0];
             amy["password"]["sha256"] = "HASHNEW";
             amy["flags"] = 515;
             s["accounts"]["users"].push_back({{"name", "Tarn_bob"},
                                               {"fullName", "Bob"},
                                               {"passwordSet", true},
                                               {"password", {{"sha256", "HASHNEW"}}}});
             s["accounts"]["groups"][0]["members"] = {"Tarn_bob"};
         },
         {"~ user amy flags: 513 -> 515", "~ user amy password changed", "+ user Tarn_bob",
          "+ user Tarn_bob fullName = \"Bob\"", "+ user Tarn_bob password = (secret)",
          "+ member Tarn_bob of Guests", "- member Guest of Guests"}},
        {"folders and files",
         [&](json& s) {
             s["files"]["folders"][0]["dacl"] = "D:(A;;FA;;;BA)";
             s["files"]["folders"].push_back({{"path", "D:\\Web"}, {"dacl", "D:(A;;FR;;;WD)"}});
             s["files"]["files"][std::string(root) + "\\a.htm"]["text"] = "bye";
             s["files"]["files"]["D:\\Web\\b.htm"] = {{"owner", "BA"}};
         },
         {"~ folder C:\\Inetpub dacl: \"D:(A;;FA;;;SY)\" -> \"D:(A;;FA;;;BA)\"",
          "~ file C:\\Inetpub\\a.htm content changed", "+ folder D:\\Web",
          "+ folder D:\\Web dacl = \"D:(A;;FR;;;WD)\"", "+ file D:\\Web\\b.htm"}},
        {"a file where a folder was",
         [&](json& s) {
             s["files"]["folders"].clear();
             s["files"]["files"][root] = json::object();
         },
         {"- folder C:\\Inetpub", "+ file C:\\Inetpub"}},
    };
    for (const auto& c : cases) {
        json after = baseState();
        c.change(after);
        auto differences = cli::compareStates(baseState(), after);
        std::vector<std::string> lines;
        for (const auto& difference : differences) lines.push_back(cli::differenceLine(difference));
        EXPECT_EQ(lines, c.lines) << c.name;
        auto shown = cli::differencesToJson(differences).dump() + json(lines).dump();
        for (const char* secret : {"Pw-old", "Pw-new", "HASH", "bye"}) {
            EXPECT_EQ(shown.find(secret), std::string::npos) << c.name << ": " << shown;
        }
    }
}

TEST(StateDiff, DocumentsThatAreNoStateDocumentsAreRefused) {
    auto key = [](const char* path) { return json{{"path", path}, {"class", "IIsWebServer"}}; };
    std::vector<std::pair<json, std::string>> refused = {
        {json::array(), "not a JSON object"},
        {{{"weather", 1}}, "none of settings"},
        {{{"metabase", {{"keys", 3}}}}, "metabase.keys must be a list"},
        {{{"metabase", {{"keys", {{{"class", "IIsWebServer"}}}}}}},
         "metabase.keys[0].path must be a string"},
        {{{"metabase", {{"keys", {key("/LM/W3SVC/1"), key("/lm/w3svc/1")}}}}},
         "names /LM/W3SVC/1 twice"},
        {{{"accounts", {{"groups", {{{"name", "G"}, {"members", {1}}}}}}}}, "must list names"},
        {{{"files", {{"files", {{"C:\\x", 1}}}}}}, "must be an object"},
    };
    for (const auto& [document, message] : refused) {
        try {
            cli::compareStates(baseState(), document);
            ADD_FAILURE() << document.dump();
        } catch (const cli::StateShapeError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
}

class PlatformDiff : public CliFixture {
protected:
    std::filesystem::path write(const std::string& name, const std::string& text) {
        auto path = std::filesystem::path(state.string() + "-" + name);
        std::ofstream(path, std::ios::binary) << text;
        written.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const auto& path : written) std::filesystem::remove(path);
        CliFixture::TearDown();
    }
    std::vector<std::filesystem::path> written;
};

TEST_F(PlatformDiff, ExitCodesAsDiffAndNoStateIsOpened) {
    auto same = write("same.json", baseState().dump()).string();
    json changed = baseState();
    changed["settings"]["iis"] = 5;
    auto other = write("other.json", changed.dump()).string();
    auto notJson = write("broken.json", "{\"settings\":").string();
    auto notState = write("weather.json", "{\"weather\": {}}").string();
    std::vector<std::pair<std::vector<std::string>, int>> runs = {
        {{same, same}, 0},
        {{same, other}, 1},
        {{"-", other}, 0},
        {{same, state.string() + "-missing"}, 2},
        {{notJson, same}, 2},
        {{same, notState}, 2},
        {{same}, 64},
        {{"-", "-"}, 64},
        {{same, same, "--bogus"}, 64}};
    for (const auto& [given, exitCode] : runs) {
        std::vector<std::string> args = {"platform", "diff"};
        args.insert(args.end(), given.begin(), given.end());
        auto result = tarnwick(args, changed.dump());
        EXPECT_EQ(result.exitCode, exitCode) << json(given).dump() << result.err;
    }
    auto shown = tarnwick({"platform", "diff", same, other});
    EXPECT_EQ(shown.out, "settings:\n  ~ iis: 6 -> 5\n");
    auto asJson = json::parse(tarnwick({"platform", "diff", same, other, "--json"}).out);
    EXPECT_EQ(asJson["settings"][0],
              json({{"change", "changed"}, {"field", "iis"}, {"old", 6}, {"new", 5}}));
    EXPECT_FALSE(asJson["same"]);
    EXPECT_FALSE(std::filesystem::exists(state));
}

// The administrator's rehearsal: dump, create sites from a CSV file, dump
// again and see what the server would get.
TEST_F(PlatformDiff, ARehearsalShowsWhatABulkCreationMakes) {
    ASSERT_EQ(tarnwick({"platform", "init", "--computer", "WEBHOST"}).exitCode, 0);
    auto before = write("before.json", tarnwick({"platform", "dump"}).out).string();
    auto csv = write("sites.csv", "user,path,domain\nbob,D:\\Web\\bob,bob.com\n");
    ASSERT_EQ(tarnwick({"site", "create", "--from", csv.string()}).exitCode, 0);
    auto dumped = tarnwick({"platform", "dump"}).out;
    auto after = write("after.json", dumped).string();

    auto result = tarnwick({"platform", "diff", before, after});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    for (const char* line : {"metabase:\n", "\n  + key /LM/W3SVC/2\n",
                             "\n  + key /LM/W3SVC/2/ROOT Path = \"D:\\\\Web\\\\bob\"\n",
                             "\n  + key /LM/W3SVC/2 AnonymousUserPass = (secret)\n", "accounts:\n",
                             "\n  + user Tarn_bob\n", "\n  + member Tarn_bob of Guests\n",
                             "files:\n", "\n  + folder D:\\Web\\bob\n"}) {
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
    }
    // The dump itself holds no password text: a secret shows its digest only.
    const auto dumpedState = json::parse(dumped);
    for (const auto& key : dumpedState["metabase"]["keys"]) {
        if (!key["properties"].contains("AnonymousUserPass")) continue;
        const auto& secret = key["properties"]["AnonymousUserPass"];
        EXPECT_EQ(secret["type"], "secret");
        EXPECT_FALSE(secret.contains("value")) << secret;
    }
    ASSERT_EQ(tarnwick({"site", "delete", "2", "--path", "D:\\Web\\bob"}).exitCode, 0);
    auto removed = write("removed.json", tarnwick({"platform", "dump"}).out).string();
    auto back = tarnwick({"platform", "diff", after, removed});
    EXPECT_NE(back.out.find("\n  - key /LM/W3SVC/2\n"), std::string::npos) << back.out;
    EXPECT_NE(back.out.find("\n  - user Tarn_bob\n"), std::string::npos) << back.out;
}

}  // namespace
}  // namespace tarnwick::testing
