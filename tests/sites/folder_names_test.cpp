// A site's folder judged by the folder a path names, whatever name it goes
// by: 8.3 aliases, the profiles folder, the volume's own folders and device
// names, on IIS 5 and IIS 6; DeleteSite removes only the site's own folder.
#include <gtest/gtest.h>

#include "sites_fixture.h"
#include "support/activity_log_state.h"

namespace tarnwick::testing {
namespace {

class FolderNames : public SitesOnIisVersion {
protected:
    // Site 2 (bob) in D:\Web\bob and site 3 (alice) in D:\Customer Sites\alice,
    // whose alias is D:\CUSTOM~1\alice; D:\Backups holds a file of no site.
    void SetUp() override {
        SitesOnIisVersion::SetUp();
        ASSERT_EQ(create("bob", "D:\\Web\\bob"), Variant("2:True"));
        ASSERT_EQ(create("alice", "D:\\Customer Sites\\alice"), Variant("3:True"));
        makeFolders("D:\\Customer Sites\\alice\\sub");
        makeFolders("D:\\Backups");
        writeFile("D:\\Backups\\all.zip", "x");
        freshPage();
    }
    void freshPage() {
        newPage();
        put("System", GetParam() == 6 ? "2003" : "2000");
    }
    Variant create(const std::string& user, const Variant& folder) {
        freshPage();
        Order order;
        order.user = user;
        order.path = folder;
        order.domain = user + ".com";
        order.pool = GetParam() == 6 ? Variant("Tarn_" + user) : Variant(20);
        return createSite(order);
    }
    nlohmann::json state() {
        auto document = withoutActivityLog(platform->dump());
        document.erase("sessions");
        return document;
    }
};

// Every other name of a folder no site may own.
const char* const kOtherNames[] = {
    "C:\\Documents and Settings",
    "C:\\DOCUME~1",
    "C:\\System Volume Information",
    "C:\\SYSTEM~1",
    "C:\\RECYCLER",
    "C:\\PROGRA~1",
    "D:\\CUSTOM~1",
    "D:\\CUSTOM~1\\alice",
    "d:\\custom~1\\ALICE\\sub\\",
    "D:\\Web\\CON",
    "D:\\Web\\nul.txt",
    "D:\\Web\\x\\..\\bob",
};

TEST_P(FolderNames, CreateSiteAndDeleteSiteRefuseEveryOtherNameOfAProtectedFolder) {
    const auto before = state();
    for (const char* path : kOtherNames) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(create("eve", path).isEmpty());
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
        freshPage();
        EXPECT_EQ(call("DeleteSite", {2, path}), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_EQ(state(), before);
    // Words of a protected folder's name in a name of its own are no such folder.
    EXPECT_EQ(create("amy", "D:\\Web\\Documents and Settings of amy"), Variant("4:True"));
}

TEST_P(FolderNames, DeleteSiteTakesTheSitesRootFolderInEveryFormAndNoOtherFolder) {
    const auto before = state();
    for (const char* path : {"D:\\Backups", "D:\\Customer Sites\\alice\\sub",
                             "D:\\CUSTOM~1\\alice\\sub", "D:\\Customer Sites\\nobody",
                             "D:\\Customer Sites", "D:\\Web\\bob", "E:\\Customer Sites\\alice"}) {
        freshPage();
        EXPECT_EQ(call("DeleteSite", {3, path}), Variant(false)) << path;
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_EQ(state(), before);
    for (const char* path :
         {"D:\\Customer Sites\\alice", "d:/customer sites/ALICE/", "D:\\Customer Sites\\alice.",
          "D:\\Customer Sites\\alice . ", "D:\\CUSTOM~1\\alice", "d:\\custom~1\\Alice\\"}) {
        SetUp();
        EXPECT_EQ(call("DeleteSite", {3, path}), Variant(true)) << path;
        EXPECT_FALSE(folderExists("D:\\Customer Sites\\alice"));
        EXPECT_TRUE(fileExists("D:\\Backups\\all.zip"));
    }
}

// A site whose root names no folder has no folder of its own on record: the
// page's folder goes, when a site may own it.
TEST_P(FolderNames, ASiteWithoutARootFolderTakesTheGivenFolderWithinTheRule) {
    for (bool rootKey : {false, true}) {
        SCOPED_TRACE(rootKey ? "a root without Path" : "no root");
        SetUp();
        auto metabase = platform->dump()["metabase"];
        auto kept = nlohmann::json::array();
        for (auto& key : metabase["keys"]) {
            if (key["path"] == "/LM/W3SVC/3/ROOT") {
                if (!rootKey) continue;
                key["properties"].erase("Path");
            }
            kept.push_back(key);
        }
        metabase["keys"] = kept;
        platform->load({{"metabase", metabase}});
        const auto before = state();
        for (const char* path : {"C:\\DOCUME~1", "D:\\Web\\bob", "C:\\PROGRA~1"}) {
            freshPage();
            EXPECT_EQ(call("DeleteSite", {3, path}), Variant(false)) << path;
        }
        EXPECT_EQ(state(), before);
        freshPage();
        EXPECT_EQ(call("DeleteSite", {3, "D:\\Backups"}), Variant(true));
        EXPECT_FALSE(folderExists("D:\\Backups"));
        EXPECT_FALSE(keyExists(sitePath(3)));
    }
}

std::string versionName(const ::testing::TestParamInfo<int>& version) {
    return "Iis" + std::to_string(version.param);
}
INSTANTIATE_TEST_SUITE_P(Iis, FolderNames, ::testing::Values(5, 6), versionName);

}  // namespace
}  // namespace tarnwick::testing
