// Site creation by several `tarnwick page` processes on one state folder:
// pages that run at the same moment get distinct site numbers, and a page
// killed at any moment leaves a store that opens, checks intact, dumps and
// takes further sites.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "spawn.h"
#include "support/cli.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class ConcurrentPages : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        auto init = tarnwick({"platform", "init", "--computer", "WEBHOST"});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }

    // A page that creates one site per user name.
    static std::string createPage(const std::vector<std::string>& users) {
        json calls = json::array({{{"put", "System"}, {"value", "2003"}}});
        for (const auto& user : users) {
            calls.push_back(
                {{"call", "CreateSite"},
                 {"args",
                  {user, "D:\\Web\\" + user, user + ".com", -1, -1, "Tarn_" + user, "index.htm"}}});
        }
        return json{{"calls", calls}}.dump();
    }
    std::unique_ptr<Spawned> spawnPage(const std::string& input) {
        return std::make_unique<Spawned>(
            std::vector<std::string>{TARNWICK_CLI, "--state", state.string(), "page"}, input,
            state.parent_path() / (state.filename().string() + "-io"));
    }
    void TearDown() override {
        std::filesystem::remove_all(state.parent_path() / (state.filename().string() + "-io"));
        CliFixture::TearDown();
    }

    // PRAGMA integrity_check on the store, through its own connection.
    std::string integrity() {
        sqlite3* db = nullptr;
        std::string verdict;
        if (sqlite3_open_v2((state / "platform.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK) {
            sqlite3_busy_timeout(db, 10000);
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) ==
                SQLITE_OK) {
                while (sqlite3_step(statement) == SQLITE_ROW) {
                    verdict += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
                }
            }
            sqlite3_finalize(statement);
        } else {
            verdict = sqlite3_errmsg(db);
        }
        sqlite3_close(db);
        return verdict;
    }

    json dump() {
        auto result = tarnwick({"platform", "dump"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json::parse(result.out);
    }
    // The site numbers in the metabase, and those with a root directory.
    static std::set<int> sites(const json& document, bool withRoot = false) {
        std::set<int> numbers, roots;
        for (const auto& key : document["metabase"]["keys"]) {
            std::string path = key["path"];
            if (key["class"] == "IIsWebServer") numbers.insert(std::stoi(path.substr(10)));
            if (key["class"] == "IIsWebVirtualDir" && path.ends_with("/ROOT")) {
                roots.insert(std::stoi(path.substr(10)));
            }
        }
        return withRoot ? roots : numbers;
    }
    // The numbers of the sites a page's result document reports as created.
    static std::vector<int> createdNumbers(const json& result) {
        std::vector<int> numbers;
        for (const auto& value : result["results"]) {
            if (value["type"] == "String") {
                std::string text = value["value"];
                EXPECT_TRUE(text.ends_with(":True")) << text;
                numbers.push_back(std::stoi(text.substr(0, text.find(':'))));
            }
        }
        return numbers;
    }
};

TEST_F(ConcurrentPages, PagesCreatingSitesAtOnceGetDistinctNumbers) {
    auto first = spawnPage(createPage({"amy", "ann", "ava"}));
    auto second = spawnPage(createPage({"bob", "ben", "bud"}));
    ASSERT_EQ(first->wait(), 0) << first->err();
    ASSERT_EQ(second->wait(), 0) << second->err();

    auto a = createdNumbers(json::parse(first->out()));
    auto b = createdNumbers(json::parse(second->out()));
    ASSERT_EQ(a.size(), 3u) << first->out() << first->err();
    ASSERT_EQ(b.size(), 3u) << second->out() << second->err();
    std::set<int> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    EXPECT_EQ(all, (std::set<int>{2, 3, 4, 5, 6, 7}));

    EXPECT_EQ(integrity(), "ok");
    auto platformState = dump();
    EXPECT_EQ(sites(platformState), (std::set<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(sites(platformState, true), (std::set<int>{1, 2, 3, 4, 5, 6, 7}));
    int accounts = 0;
    for (const auto& user : platformState["accounts"]["users"]) {
        if (std::string(user["name"]).starts_with("Tarn_")) ++accounts;
    }
    EXPECT_EQ(accounts, 6);
}

TEST_F(ConcurrentPages, APageKilledAtAnyMomentLeavesAUsableStore) {
    std::mt19937 random(std::random_device{}());
    // A page of 40 sites runs for seconds on a state folder (every change is
    // a synchronous transaction): the kills fall at the start, inside the
    // first sites, and anywhere in the page.
    const std::pair<int, int> windows[] = {
        {0, 20}, {20, 300}, {300, 1500}, {1500, 3000}, {0, 3000}};
    int round = 0;
    for (const auto& [earliest, latest] : windows) {
        ++round;
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::string> users;
        for (int i = 0; i < 40; ++i) {
            users.push_back("r" + std::to_string(round) + "u" + std::to_string(i));
        }
        auto victim = spawnPage(createPage(users));
        std::uniform_int_distribution<int> delay(earliest, latest);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        victim->kill();
        victim->wait();

        ASSERT_EQ(integrity(), "ok");
        auto before = sites(dump());
        auto result = tarnwick({"page"}, createPage({"after" + std::to_string(round)}));
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto created = createdNumbers(json::parse(result.out));
        ASSERT_EQ(created.size(), 1u) << result.out;
        // The lowest free number: a number the killed page held is free again.
        int lowest = 2;
        while (before.count(lowest)) ++lowest;
        EXPECT_EQ(created[0], lowest);
        EXPECT_EQ(integrity(), "ok");
    }
}

}  // namespace
}  // namespace tarnwick::testing
