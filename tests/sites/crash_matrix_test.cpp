// A page process that dies in the middle of an operation, as a matrix: the
// platform calls of one clean CreateSite and one clean DeleteSite are
// recorded, then a `tarnwick page` process is killed at each in turn (a
// fault with "exit", which raises SIGKILL there). `check` finds what it
// left, `check --repair` clears it, a second `check` finds nothing, and the
// platform is as before the call, or as after the whole call.
#include <gtest/gtest.h>

#include <regex>

#include "cli/page_runner.h"
#include "platform/embedded/embedded_platform.h"
#include "support/cli.h"
#include "support/comparable_state.h"

namespace tarnwick::testing {
namespace {

namespace embedded = platform::embedded;
using embedded::PlatformCall;
using nlohmann::json;

const json kCreate = {
    {"calls",
     {{{"put", "System"}, {"value", "2003"}},
      {{"call", "CreateSite"},
       {"args", {"bob", "D:\\Web\\bob", "bob.com", -1, -1, "bobpool", "index.htm"}}}}}};
const json kDelete = {{"calls", {{{"call", "DeleteSite"}, {"args", {2, "D:\\Web\\bob"}}}}}};
constexpr int kKilled = 128 + 9;

class CrashMatrix : public CliFixture {
protected:
    // A fresh platform, with bob's site when `withSite`: made once, then
    // copied in place of whatever the last round left.
    void reset(bool withSite) {
        namespace fs = std::filesystem;
        const fs::path pristine = state.string() + (withSite ? ".site" : ".fresh");
        if (!fs::exists(pristine)) {
            embedded::PlatformSettings settings;
            settings.computerName = "WEBHOST";
            settings.iisVersion = 6;
            auto platform = embedded::EmbeddedPlatform::initialize(pristine, settings, true);
            if (withSite) cli::runPage(*platform, kCreate);
        }
        fs::remove_all(state);
        fs::copy(pristine, state, fs::copy_options::recursive);
    }
    void TearDown() override {
        std::filesystem::remove_all(state.string() + ".site");
        std::filesystem::remove_all(state.string() + ".fresh");
        CliFixture::TearDown();
    }
    // The calls `page` makes, each (member, path) once, in first order.
    std::vector<PlatformCall> callsOf(const json& page) {
        auto platform = embedded::EmbeddedPlatform::open(state);
        platform->faults().startRecording();
        cli::runPage(*platform, page);
        // A record's and a day's log file are named anew each run.
        static const std::regex record(R"(op-[^\\]*\.rec$)"), day(R"(tw[0-9]+\.log$)");
        std::vector<PlatformCall> distinct;
        for (auto& call : platform->faults().stopRecording()) {
            call.path = std::regex_replace(call.path, record, "op-*.rec");
            call.path = std::regex_replace(call.path, day, "tw*.log");
            if (std::find(distinct.begin(), distinct.end(), call) == distinct.end())
                distinct.push_back(std::move(call));
        }
        return distinct;
    }
    json now() { return comparableState(embedded::EmbeddedPlatform::open(state)->dump()); }

    // Kills a page of `page` at `call`; then check, repair, check again.
    // Whether the first check found something.
    bool crashAndRepair(const json& page, const PlatformCall& call) {
        embedded::EmbeddedPlatform::open(state)->faults().add(
            {call.member, call.path, static_cast<int32_t>(0x80004005u), true, true});
        EXPECT_EQ(tarnwick({"page"}, page.dump()).exitCode, kKilled);
        auto found = tarnwick({"check", "--json"});
        EXPECT_TRUE(found.exitCode == 0 || found.exitCode == 1) << found.err;
        auto repair = tarnwick({"check", "--repair"});
        EXPECT_EQ(repair.exitCode, 0) << repair.out << repair.err;
        auto again = tarnwick({"check"});
        EXPECT_EQ(again.exitCode, 0) << again.out;
        return found.exitCode == 1;
    }
};

TEST_F(CrashMatrix, AKilledCreateSiteIsUndoneByTheRepairAndCanBeMadeAgain) {
    reset(false);
    const auto before = now();
    const auto calls = callsOf(kCreate);
    const auto made = now();
    ASSERT_GT(calls.size(), 40u);
    int found = 0;
    for (const auto& call : calls) {
        SCOPED_TRACE(call.member + " on " + call.path);
        reset(false);
        if (crashAndRepair(kCreate, call)) {
            ++found;
            EXPECT_EQ(json::diff(before, now()), json::array());
        } else {
            // Killed before its record was written, or after it was removed.
            const auto after = now();
            EXPECT_TRUE(after == before || after == made) << json::diff(before, after).dump();
            if (after == made) continue;
        }
        EXPECT_EQ(page(kCreate)["results"][1]["value"], "2:True");
        EXPECT_EQ(json::diff(made, now()), json::array());
    }
    // Every change is made after the record exists.
    EXPECT_GT(found, 30);
}

TEST_F(CrashMatrix, AKilledDeleteSiteIsFinishedOrLeavesTheSiteWhole) {
    reset(true);
    const auto before = now();
    const auto calls = callsOf(kDelete);
    const auto removed = now();
    ASSERT_GT(calls.size(), 10u);
    for (const auto& call : calls) {
        SCOPED_TRACE(call.member + " on " + call.path);
        reset(true);
        crashAndRepair(kDelete, call);
        const auto after = now();
        EXPECT_TRUE(after == before || after == removed) << json::diff(before, after).dump() << "\n"
                                                         << json::diff(removed, after).dump();
    }
}

}  // namespace
}  // namespace tarnwick::testing
