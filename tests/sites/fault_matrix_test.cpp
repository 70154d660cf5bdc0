// Platform failures as a matrix: the platform calls of one clean CreateSite
// and one clean DeleteSite are recorded, then each call is made to fail in
// turn, once and always. Whatever fails, the outcome is honest (success only
// when everything took), nothing is left half made or removed out of order,
// and the same call made again once the fault is gone completes.
#include <gtest/gtest.h>

#include "sites_fixture.h"
#include "support/comparable_state.h"

namespace tarnwick::testing {
namespace {

using platform::embedded::PlatformCall;

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);

class FaultMatrix : public SitesFixture {
protected:
    // A fresh platform; `existingFolder` prepares bob's folder with a file.
    void reset(bool existingFolder) {
        platform = makePlatform();
        newPage();
        put("System", "2003");
        if (existingFolder) {
            makeFolders("D:\\Web\\bob");
            writeFile("D:\\Web\\bob\\keep.htm", "x");
        }
    }

    // The calls of one operation, each (member, path) once, in first order.
    template <class Operation>
    std::vector<PlatformCall> callsOf(Operation&& operation) {
        platform->faults().startRecording();
        operation();
        std::vector<PlatformCall> distinct;
        for (auto& recorded : platform->faults().stopRecording()) {
            if (std::find(distinct.begin(), distinct.end(), recorded) == distinct.end()) {
                distinct.push_back(std::move(recorded));
            }
        }
        return distinct;
    }

    nlohmann::json state() { return comparableState(platform->dump()); }

    // What differs from `expected`, as a JSON patch: empty when nothing does.
    nlohmann::json changesFrom(const nlohmann::json& expected) {
        return nlohmann::json::diff(expected, state());
    }

    static std::string describe(const PlatformCall& call, bool once) {
        return call.member + " on " + call.path + (once ? " (once)" : " (always)");
    }
};

TEST_F(FaultMatrix, CreateSiteEndsAsBeforeOrComplete) {
    for (bool existingFolder : {false, true}) {
        reset(existingFolder);
        const auto before = state();
        const auto calls = callsOf([&] { ASSERT_EQ(createSite(Order{}), Variant("2:True")); });
        const auto made = state();
        ASSERT_GT(calls.size(), 40u);
        for (const auto& failing : calls) {
            for (bool once : {true, false}) {
                SCOPED_TRACE(describe(failing, once) +
                             (existingFolder ? ", folder there" : ", new folder"));
                reset(existingFolder);
                inject(failing.member, failing.path, kAccessDenied, once);
                const Variant result = createSite(Order{});
                platform->faults().clear();
                if (once && failing.member == "Create" && failing.path == kService) {
                    // The number search moves on to the next number.
                    EXPECT_EQ(result, Variant("3:True"));
                    continue;
                }
                if (result == Variant("2:True") || result == Variant("2:False")) {
                    // Only the start may fail without undoing the order.
                    if (result == Variant("2:False")) {
                        EXPECT_TRUE(failing.member == "Start" || failing.member == "GetObject");
                    }
                    EXPECT_EQ(errorMessage(), "");
                    EXPECT_EQ(changesFrom(made), nlohmann::json::array());
                    continue;
                }
                EXPECT_TRUE(result.isEmpty()) << automation::toText(result);
                // The calls that fill the folder with the templates: the copies,
                // and what they look at inside the folder and the templates.
                const bool templateCopy = failing.member == "CopyFile" ||
                                          failing.member == "CopyFolder" ||
                                          failing.path.starts_with("D:\\Web\\bob\\") ||
                                          failing.path.find("Template") != std::string::npos;
                if (existingFolder && templateCopy) {
                    // Template files copied into a folder that was there stay
                    // with it; everything the order made is gone.
                    EXPECT_EQ(siteKeys().size(), 1u);
                    EXPECT_FALSE(userExists("Tarn_bob"));
                    EXPECT_TRUE(fileExists("D:\\Web\\bob\\keep.htm"));
                    continue;
                }
                EXPECT_EQ(changesFrom(before), nlohmann::json::array());
                // The same order goes through once the fault is gone.
                newPage();
                put("System", "2003");
                EXPECT_EQ(createSite(Order{}), Variant("2:True"));
                EXPECT_EQ(changesFrom(made), nlohmann::json::array());
            }
        }
    }
}

TEST_F(FaultMatrix, DeleteSiteRemovesInOrderAndFinishesWhenCalledAgain) {
    auto prepare = [&] {
        reset(false);
        ASSERT_EQ(createSite(Order{}), Variant("2:True"));
        newPage();
    };
    prepare();
    const auto calls = callsOf([&] {
        ASSERT_EQ(call("DeleteSite", {2, "D:\\Web\\bob"}), Variant(true));
    });
    const auto removed = state();
    ASSERT_GT(calls.size(), 10u);
    for (const auto& failing : calls) {
        for (bool once : {true, false}) {
            SCOPED_TRACE(describe(failing, once));
            prepare();
            inject(failing.member, failing.path, kAccessDenied, once);
            const Variant result = call("DeleteSite", {2, "D:\\Web\\bob"});
            platform->faults().clear();
            const bool account = userExists("Tarn_bob");
            const bool folder = folderExists("D:\\Web\\bob");
            const bool site = keyExists(sitePath(2));
            if (result == Variant(true)) {
                EXPECT_EQ(errorMessage(), "");
                EXPECT_EQ(changesFrom(removed), nlohmann::json::array());
                continue;
            }
            EXPECT_NE(errorMessage(), "");
            // Account, folder, site: nothing goes before what comes first.
            EXPECT_TRUE(site);
            if (!folder) {
                EXPECT_FALSE(account);
            }
            newPage();
            EXPECT_EQ(call("DeleteSite", {2, "D:\\Web\\bob"}), Variant(true));
            EXPECT_EQ(changesFrom(removed), nlohmann::json::array());
        }
    }
}

}  // namespace
}  // namespace tarnwick::testing
