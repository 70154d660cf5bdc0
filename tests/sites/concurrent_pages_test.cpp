// Site creation by several `tarnwick page` processes on one state folder:
// pages that run at the same moment get distinct site numbers and never bind
// one host name twice, a page killed
// at any moment leaves a store that opens, checks intact, dumps and takes
// further sites, and a dump taken while other processes write is a state the
// platform was in.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "automation/error.h"
#include "component/error_page.h"
#include "platform/embedded/embedded_platform.h"
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

    // A page that creates one site per user name, for the user's own host
    // name or for `domain`.
    static std::string createPage(const std::vector<std::string>& users,
                                  const std::string& domain = "") {
        json calls = json::array({{{"put", "System"}, {"value", "2003"}}});
        for (const auto& user : users) {
            calls.push_back({{"call", "CreateSite"},
                             {"args",
                              {user, "D:\\Web\\" + user, domain.empty() ? user + ".com" : domain,
                               -1, -1, "Tarn_" + user, "index.htm"}}});
        }
        return json{{"calls", calls}}.dump();
    }
    // A page that moves site `number`, bob's, to `domain`.
    static std::string modifyPage(int number, const std::string& domain) {
        return json{
            {"calls",
             {{{"call", "ModifySite"}, {"args", {number, domain, -1, -1, "index.htm", "bob"}}}}}}
            .dump();
    }
    std::filesystem::path beside(const std::string& suffix) const {
        return state.parent_path() / (state.filename().string() + suffix);
    }
    std::unique_ptr<Spawned> spawnPage(const std::string& input) {
        return std::make_unique<Spawned>(
            std::vector<std::string>{TARNWICK_CLI, "--state", state.string(), "page"}, input,
            beside("-io"));
    }
    // A process that creates a site and deletes it again, `rounds` times,
    // one `tarnwick site` command at a time, as a panel's pages do; the
    // users are named `prefix` and the round's number.
    std::unique_ptr<Spawned> spawnSiteWriter(const std::string& prefix, int rounds) {
        constexpr const char* kScript = R"(
for i in $(seq 1 "$3"); do
  user="$2$i"
  created=$("$0" --state "$1" site create --user "$user" --path "D:\\Web\\$user" --domain "$user.com") || exit 1
  number=${created#Created site }
  "$0" --state "$1" site delete "${number%% *}" --path "D:\\Web\\$user" > /dev/null || exit 1
done
)";
        return std::make_unique<Spawned>(
            std::vector<std::string>{"/bin/sh", "-c", kScript, TARNWICK_CLI, state.string(), prefix,
                                     std::to_string(rounds)},
            "", beside("-io"));
    }
    void TearDown() override {
        std::filesystem::remove_all(beside("-io"));
        std::filesystem::remove_all(beside("-copy"));
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

// Host names bound by more than one site.
std::vector<std::string> hostsBoundTwice(const json& document) {
    std::map<std::string, std::set<std::string>> sitesOfHost;
    for (const auto& key : document["metabase"]["keys"]) {
        if (key["class"] != "IIsWebServer" || !key["properties"].contains("ServerBindings"))
            continue;
        for (const auto& entry : key["properties"]["ServerBindings"]["value"]) {
            std::string host =
                entry.get<std::string>().substr(entry.get<std::string>().rfind(':') + 1);
            std::transform(host.begin(), host.end(), host.begin(), ::tolower);
            if (!host.empty()) sitesOfHost[host].insert(key["path"].get<std::string>());
        }
    }
    std::vector<std::string> twice;
    for (const auto& [host, keys] : sitesOfHost) {
        if (keys.size() > 1) twice.push_back(host);
    }
    return twice;
}

const std::string kDomainTakenPage = component::errorPage("你所要绑定的域名已存在,请改换其他域名!");

// Several pages ask for one host name at the same moment, 20 rounds of each
// kind: one page makes its site, every other one is refused by the duplicate
// check with its message and leaves no account, folder or pool behind.
TEST_F(ConcurrentPages, PagesAskingForOneHostNameAtOnceMakeOneSite) {
    struct Race {
        int pages;
        bool sameOrder;  // the same form sent several times
    };
    const Race races[] = {{2, false}, {4, false}, {8, false}, {2, true}};
    constexpr int kRounds = 20;
    int made = 0;
    for (const auto& race : races) {
        for (int round = 0; round < kRounds; ++round) {
            const std::string tag = std::to_string(race.pages) + (race.sameOrder ? "s" : "d") +
                                    "r" + std::to_string(round);
            SCOPED_TRACE(tag);
            std::vector<std::unique_ptr<Spawned>> pages;
            for (int page = 0; page < race.pages; ++page) {
                const std::string user =
                    "u" + tag + (race.sameOrder ? "" : "p" + std::to_string(page));
                pages.push_back(spawnPage(createPage({user}, tag + ".example")));
            }
            int winners = 0;
            for (auto& page : pages) {
                ASSERT_EQ(page->wait(), 0) << page->err();
                auto result = json::parse(page->out());
                if (createdNumbers(result).size() == 1) {
                    ++winners;
                } else {
                    EXPECT_EQ(result["response"]["body"], kDomainTakenPage);
                }
            }
            EXPECT_EQ(winners, 1);
            made += winners;
        }
    }
    auto document = dump();
    EXPECT_EQ(hostsBoundTwice(document), std::vector<std::string>{});
    EXPECT_EQ(sites(document).size(), static_cast<size_t>(made) + 1);
    int accounts = 0;
    for (const auto& user : document["accounts"]["users"]) {
        if (std::string(user["name"]).starts_with("Tarn_")) ++accounts;
    }
    EXPECT_EQ(accounts, made);
    auto pools =
        std::count_if(document["metabase"]["keys"].begin(), document["metabase"]["keys"].end(),
                      [](const json& key) { return key["class"] == "IIsApplicationPool"; });
    EXPECT_EQ(pools, made + 1);  // and DefaultAppPool
}

// A ModifySite that moves bob's site to a host name while a CreateSite asks
// for it: whichever comes second is refused, and the name is bound once.
TEST_F(ConcurrentPages, ModifySiteAndCreateSiteRacingForAHostNameBindItOnce) {
    auto first = tarnwick({"page"}, createPage({"bob"}, "start.example"));
    ASSERT_EQ(createdNumbers(json::parse(first.out)), std::vector<int>{2});
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const std::string domain = "m" + std::to_string(round) + ".example";
        auto modifying = spawnPage(modifyPage(2, domain));
        auto creating = spawnPage(createPage({"c" + std::to_string(round)}, domain));
        ASSERT_EQ(modifying->wait(), 0) << modifying->err();
        ASSERT_EQ(creating->wait(), 0) << creating->err();
        auto modified = json::parse(modifying->out());
        auto created = json::parse(creating->out());
        const bool moved = modified["results"][0]["value"] == true;
        EXPECT_NE(moved, createdNumbers(created).size() == 1);
        EXPECT_EQ((moved ? created : modified)["response"]["body"], kDomainTakenPage);
    }
    auto document = dump();
    EXPECT_EQ(hostsBoundTwice(document), std::vector<std::string>{});
}

// A process that dies holding the site lock leaves it to the next page,
// which neither waits for the dead holder nor fails.
TEST_F(ConcurrentPages, AHolderOfTheSiteLockThatDiesLeavesItToTheNextPage) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        auto platform = platform::embedded::EmbeddedPlatform::open(state);
        auto held = platform->services().machineLock->acquire(std::chrono::seconds(5));
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    ::close(ready[0]);

    // While the holder lives, a wait runs out with ERROR_TIMEOUT.
    auto platform = platform::embedded::EmbeddedPlatform::open(state);
    try {
        platform->services().machineLock->acquire(std::chrono::milliseconds(50));
        ADD_FAILURE() << "the lock was taken while held";
    } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.number(), platform::MachineLock::kTimeout);
    }

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    auto result = tarnwick({"page"}, createPage({"bob"}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(createdNumbers(json::parse(result.out)), std::vector<int>{2});
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
        // What the killed page left beside the database (its WAL, the shared
        // memory index) is as private as the database.
        for (const auto& entry : std::filesystem::directory_iterator(state)) {
            EXPECT_EQ(entry.status().permissions(),
                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
                << entry.path();
        }
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

TEST_F(ConcurrentPages, EveryDumpTakenWhileOthersWriteLoadsBack) {
    std::vector<std::unique_ptr<Spawned>> writers;
    for (const char* prefix : {"a", "b", "c", "d"}) writers.push_back(spawnSiteWriter(prefix, 4));
    auto writing = [&] {
        return std::any_of(writers.begin(), writers.end(),
                           [](auto& writer) { return !writer->ended(); });
    };
    // Dumps one after another while the writers run, at most 60 and for at
    // most a minute; each different one is kept.
    std::vector<std::string> dumps;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (writing() && dumps.size() < 60 && std::chrono::steady_clock::now() < deadline) {
        auto taken = tarnwick({"platform", "dump"});
        ASSERT_EQ(taken.exitCode, 0) << taken.err;
        if (dumps.empty() || dumps.back() != taken.out) dumps.push_back(taken.out);
    }
    for (auto& writer : writers) ASSERT_EQ(writer->wait(), 0) << writer->err();
    // States between the writers' commands were seen, not only the first and the last.
    EXPECT_GE(dumps.size(), 3u);

    auto copy = beside("-copy");
    ASSERT_EQ(runProcess({TARNWICK_CLI, "--state", copy.string(), "platform", "init", "--computer",
                          "WEBHOST"})
                  .exitCode,
              0);
    for (size_t i = 0; i < dumps.size(); ++i) {
        SCOPED_TRACE("dump " + std::to_string(i));
        auto document = json::parse(dumps[i]);
        for (const auto& group : document["accounts"]["groups"]) {
            for (const auto& member : group["members"]) {
                EXPECT_NE(member, "") << group["name"];
            }
        }
        auto loaded =
            runProcess({TARNWICK_CLI, "--state", copy.string(), "platform", "load"}, dumps[i]);
        EXPECT_EQ(loaded.exitCode, 0) << loaded.err;
    }
}

// The same within one process, where dumps and changes come far more often:
// one connection makes and removes accounts with their group memberships as
// fast as it can while another dumps the state, and every dump loads.
TEST_F(ConcurrentPages, ADumpIsOneStateWhileAnotherConnectionWrites) {
    using platform::embedded::EmbeddedPlatform;
    auto writer = EmbeddedPlatform::open(state);
    auto reader = EmbeddedPlatform::open(state);
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::string writerFailure;
    std::thread writing([&] {
        try {
            auto directory = writer->services().directory;
            auto computer = directory->bind("WinNT://WEBHOST");
            auto guests = directory->bind("WinNT://WEBHOST/Guests,group");
            for (int i = 0; !done; ++i, ++changes) {
                auto name = "Tarn_w" + std::to_string(i % 3);
                auto created = computer->call("Create", {"User", name});
                auto& user = automation::objectOf(created);
                user.call("SetInfo");
                guests->call("Add", {user.get("ADsPath")});
                if (i % 3 == 2) {
                    for (int j = 0; j < 3; ++j) {
                        computer->call("Delete", {"User", "Tarn_w" + std::to_string(j)});
                    }
                }
            }
        } catch (const std::exception& error) {
            writerFailure = error.what();
        }
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int dumps = 0;
    for (; dumps < 100 && std::chrono::steady_clock::now() < deadline; ++dumps) {
        auto document = reader->dump();
        bool named = true;
        for (const auto& group : document["accounts"]["groups"]) {
            for (const auto& member : group["members"]) named = named && member != "";
        }
        EXPECT_TRUE(named) << document["accounts"]["groups"].dump();
        EXPECT_NO_THROW(EmbeddedPlatform::inMemory()->load(document));
        if (!named || ::testing::Test::HasFailure()) break;
    }
    done = true;
    writing.join();
    EXPECT_EQ(writerFailure, "");
    EXPECT_GT(changes.load(), dumps) << "the writer hardly ran";
}

}  // namespace
}  // namespace tarnwick::testing
