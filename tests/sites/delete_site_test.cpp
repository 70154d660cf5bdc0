// DeleteSite on the embedded platform: account, folder and web site go in
// that order; only the web site decides the result; folders that no site
// may own are refused before anything is removed.
#include <gtest/gtest.h>

#include "sites_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);

class DeleteSite : public SitesFixture {
protected:
    // Site 2 made by CreateSite for bob in D:\Web\bob, on a fresh page.
    void SetUp() override {
        SitesFixture::SetUp();
        ASSERT_EQ(createSite(Order{}), Variant("2:True"));
        newPage();
    }
    Variant remove(Variant site, Variant folder = "D:\\Web\\bob") {
        return call("DeleteSite", {site, folder});
    }
    // Gives site 2 another anonymous user.
    void setAnonymousUser(const std::string& user) {
        auto site = bind(sitePath(2));
        site->put("AnonymousUserName", user);
        site->call("SetInfo");
    }
};

TEST_F(DeleteSite, RemovesTheAccountTheFolderAndTheSiteOnly) {
    makeFolders("D:\\Web\\other");
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_FALSE(keyExists(sitePath(2)));
    EXPECT_FALSE(keyExists(rootPath(2)));
    // The pool, the group, the default site and other folders stay.
    EXPECT_TRUE(keyExists("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob"));
    EXPECT_TRUE(keyExists(sitePath(1)));
    EXPECT_TRUE(userExists("IUSR_WEBHOST"));
    EXPECT_TRUE(folderExists("D:\\Web\\other"));
    auto members = groupMembers("Guests");
    EXPECT_EQ(std::count(members.begin(), members.end(), "Tarn_bob"), 0);
}

TEST_F(DeleteSite, RemovesAFolderHoldingReadOnlyFiles) {
    makeFolders("D:\\Web\\bob\\data\\deep");
    writeFile("D:\\Web\\bob\\locked.htm", "x", /*readOnly=*/true);
    writeFile("D:\\Web\\bob\\data\\deep\\locked.mdb", "x", /*readOnly=*/true);
    EXPECT_EQ(remove(2, "d:/web/BOB/"), Variant(true));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(folderExists("D:\\Web"));
}

TEST_F(DeleteSite, TriesTheFolderASecondTimeWhenItSurvives) {
    inject("DeleteFolder", "D:\\Web\\bob", kAccessDenied);
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_TRUE(faultsFired());
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
}

TEST_F(DeleteSite, AFolderThatSurvivesBothAttemptsIsReportedAndTheSiteStaysForAnotherTry) {
    inject("DeleteFolder", "D:\\Web\\bob", kAccessDenied);
    inject("Delete", "D:\\Web\\bob", kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "无法完成指定操作.\n\n错误码: 80070005");
    EXPECT_TRUE(faultsFired());
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));
    // The same call finishes the removal.
    newPage();
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_FALSE(keyExists(sitePath(2)));
}

TEST_F(DeleteSite, ASiteWhoseFolderIsGoneIsStillDeleted) {
    files()->call("DeleteFolder", {"D:\\Web\\bob", true});
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(keyExists(sitePath(2)));
}

TEST_F(DeleteSite, DeletingTwiceFindsNoSiteTheSecondTime) {
    ASSERT_EQ(remove(2), Variant(true));
    makeFolders("D:\\Web\\bob");
    newPage();
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "站点不存在哦!");
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
}

TEST_F(DeleteSite, AnAccountWithoutTheComputerPrefixIsDeletedByItsName) {
    setAnonymousUser("Tarn_bob");
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(userExists("Tarn_bob"));
}

TEST_F(DeleteSite, APrefixInAnotherLetterCaseIsTheComputersToo) {
    setAnonymousUser("webhost\\Tarn_bob");
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(keyExists(sitePath(2)));
}

TEST_F(DeleteSite, EveryOccurrenceOfThePrefixIsRemoved) {
    setAnonymousUser("WEBHOST\\WEBHOST\\Tarn_bob");
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(userExists("Tarn_bob"));
}

TEST_F(DeleteSite, AnAccountThatCannotBeDeletedStopsBeforeTheFolderAndTheSite) {
    inject("GetObject", "WinNT://WEBHOST/Tarn_bob*", kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "无法完成指定操作.\n\n错误码: 80070005");
    EXPECT_TRUE(userExists("Tarn_bob"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));
    newPage();
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(userExists("Tarn_bob"));
}

// --- Refused arguments --------------------------------------------------------------

TEST_F(DeleteSite, AnEmptyArgumentIsRefusedBeforeAnythingIsLookedUp) {
    inject("GetObject", "*", kAccessDenied, /*once=*/false);
    for (const auto& [site, folder] : std::vector<std::pair<Variant, Variant>>{
             {Variant(), "D:\\Web\\bob"}, {"", "D:\\Web\\bob"}, {2, Variant()}, {2, ""}}) {
        newPage();
        EXPECT_EQ(remove(site, folder), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    platform->faults().clear();
    EXPECT_TRUE(keyExists(sitePath(2)));
    EXPECT_TRUE(userExists("Tarn_bob"));
}

// Paths whose removal would take more than a site's folder: drive roots,
// the Windows folder and anything in it, relative paths, wildcards, names
// that the file system resolves to one of these.
TEST_F(DeleteSite, AFolderNoSiteMayOwnIsRefusedBeforeAnythingIsRemoved) {
    makeFolders("D:\\Web\\bob\\sub");
    writeFile("D:\\keep.txt", "x");
    for (const char* path : {"D:\\",
                             "D:",
                             "d:/",
                             "C:\\WINDOWS",
                             "c:\\windows\\system32",
                             "C:/Windows/Temp/",
                             "D:\\WINNT\\x",
                             "C:\\WINDOWS.",
                             "C:\\WINDOWS \\system32",
                             "D:\\...",
                             "D:\\. .",
                             "D:\\Web\\bob\\..\\..",
                             "Web\\bob",
                             "\\Web\\bob",
                             "\\\\server\\share\\bob",
                             "D:\\*",
                             "C:\\WIN*",
                             "D:\\Web\\b?b",
                             "C:\\WINDOWS::$INDEX_ALLOCATION",
                             "D:\\Web\\\\bob"}) {
        SCOPED_TRACE(path);
        newPage();
        EXPECT_EQ(remove(2, path), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_TRUE(userExists("Tarn_bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));
    EXPECT_TRUE(folderExists("C:\\WINDOWS\\system32"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob\\sub"));
    EXPECT_TRUE(fileExists("D:\\keep.txt"));
}

// --- Reported failures --------------------------------------------------------------

TEST_F(DeleteSite, ASiteNumberThatNamesNoSiteIsReported) {
    EXPECT_EQ(remove(9), Variant(false));
    EXPECT_EQ(errorMessage(), "站点不存在哦!");
    newPage();
    inject("GetObject", sitePath(2), kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "站点不存在哦!");
    EXPECT_TRUE(userExists("Tarn_bob"));
}

TEST_F(DeleteSite, ASiteWithoutAnonymousUserIsReported) {
    inject("Get", sitePath(2), kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "获取站点信息失败!");

    newPage();
    setAnonymousUser("");
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "获取站点信息失败!");

    EXPECT_TRUE(userExists("Tarn_bob"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));
}

TEST_F(DeleteSite, ASiteThatCannotBeRemovedIsReportedAndTheSameCallFinishes) {
    inject("DELETE", kService, kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "站点删除失败");
    EXPECT_TRUE(faultsFired());
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));

    newPage();
    EXPECT_EQ(remove(2), Variant(true));
    EXPECT_FALSE(keyExists(sitePath(2)));
}

TEST_F(DeleteSite, AWebServiceThatCannotBeBoundStopsBeforeAnythingIsRemoved) {
    inject("GetObject", "IIS://WEBHOST/w3svc", kAccessDenied);
    EXPECT_EQ(remove(2), Variant(false));
    EXPECT_EQ(errorMessage(), "站点删除失败");
    EXPECT_TRUE(faultsFired());
    EXPECT_TRUE(userExists("Tarn_bob"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(2)));
}

}  // namespace
}  // namespace tarnwick::testing
