// What the site members may touch: a site number names a web site, a site's
// folder belongs to that site alone, and accounts that no hosted site owns
// are never deleted for one.
#include <gtest/gtest.h>

#include "sites_fixture.h"
#include "support/activity_log_state.h"

namespace tarnwick::testing {
namespace {

class Containment : public SitesFixture {
protected:
    // Sites 2 (bob) and 3 (alice) made by CreateSite, on a fresh page.
    void SetUp() override {
        SitesFixture::SetUp();
        ASSERT_EQ(createSite("bob", "bob.com"), Variant("2:True"));
        ASSERT_EQ(createSite("alice", "alice.com"), Variant("3:True"));
        newPage();
        put("System", "2003");
    }
    // Everything but sessions, to show that a refused call changed nothing.
    nlohmann::json state() {
        auto document = withoutActivityLog(platform->dump());
        document.erase("sessions");
        return document;
    }
};

// --- Site numbers -------------------------------------------------------------------

// Forms of a site number that name no web site: each member refuses them
// before anything is bound, read or changed.
const std::vector<Variant> kNotASiteNumber = {Variant::null(),
                                              "1/ROOT",
                                              "AppPools",
                                              "AppPools/DefaultAppPool",
                                              "2 ",
                                              " 2",
                                              "+2",
                                              "-2",
                                              "0",
                                              "2.0",
                                              "0x2",
                                              "2/..",
                                              2.5,
                                              0,
                                              -1,
                                              true,
                                              "99999999999"};

TEST_F(Containment, OnlyANumberThatCanNameASiteReachesTheMetabase) {
    const auto before = state();
    for (const auto& number : kNotASiteNumber) {
        SCOPED_TRACE(automation::typeName(number.type()));
        for (const char* member : {"DeleteSite", "ModifySite", "SiteStatus"}) {
            SCOPED_TRACE(member);
            newPage();
            inject("GetObject", "IIS://*", 5, /*once=*/false);  // nothing may be bound
            Variant result = std::string(member) == "DeleteSite"
                                 ? call(member, {number, "D:\\Web\\bob"})
                             : std::string(member) == "ModifySite"
                                 ? call(member, {number, "evil.com", 0, 0, "x.htm", ""})
                                 : call(member, {number, true});
            platform->faults().clear();
            EXPECT_EQ(result, Variant(false));
            EXPECT_EQ(errorMessage(), "参数出错,请检查!");
        }
        newPage();
        Variant site = number;
        Variant docs = "x.htm";
        EXPECT_EQ(object->control().DefaultDoc(site, docs), false);
        EXPECT_EQ(errorMessage(), "");
    }
    EXPECT_EQ(state(), before);
}

TEST_F(Containment, ANumberIsGivenAsANumberOrAsDigits) {
    for (const auto& number : {Variant(3), Variant("3"), Variant("03"), Variant(3.0)}) {
        newPage();
        EXPECT_EQ(call("SiteStatus", {number, false}), Variant(true));
        newPage();
        EXPECT_EQ(call("SiteStatus", {number, true}), Variant(true));
    }
}

TEST_F(Containment, AnEmptySiteNumberKeepsEachMembersMessage) {
    EXPECT_EQ(call("ModifySite", {"", "evil.com", 0, 0, "x.htm", ""}), Variant(false));
    EXPECT_EQ(errorMessage(), "缺少基本参数,修改失败!");
    newPage();
    EXPECT_EQ(call("DeleteSite", {Variant(), "D:\\Web\\bob"}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    newPage();
    EXPECT_EQ(call("SiteStatus", {"", true}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
}

TEST_F(Containment, ANumberedKeyThatIsNoWebSiteIsRefused) {
    // A numbered key of another class under the web service.
    auto metabase = platform->dump()["metabase"];
    metabase["keys"].push_back({{"path", "/LM/W3SVC/7"}, {"class", "IIsApplicationPools"}});
    platform->load({{"metabase", metabase}});
    const auto before = state();
    newPage();
    EXPECT_EQ(call("DeleteSite", {7, "D:\\Web\\seven"}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    newPage();
    EXPECT_EQ(call("ModifySite", {7, "evil.com", 0, 0, "x.htm", ""}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    newPage();
    EXPECT_EQ(call("SiteStatus", {7, false}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    EXPECT_EQ(state(), before);
}

// --- Folders --------------------------------------------------------------------------

struct RefusedFolder {
    const char* path;
    const char* whose;
};

const RefusedFolder kFoldersOfOthers[] = {
    {"C:\\", "the drive"},
    {"C:\\WINDOWS\\system32", "the system"},
    {"C:\\Program Files\\Serv-U", "the programs"},
    {"C:\\Setup", "the installer"},
    {"C:\\Inetpub\\wwwroot", "the master control site"},
    {"C:\\Inetpub\\wwwroot\\Template", "the master control site's templates"},
    {"C:\\Inetpub", "a folder holding the master control site"},
    {"D:\\Web", "a folder holding every tenant"},
    {"D:\\Web\\alice", "another tenant"},
    {"d:\\web\\ALICE\\", "another tenant in other letter case"},
    {"D:\\Web\\alice\\sub", "inside another tenant's folder"},
};

TEST_F(Containment, CreateSiteRefusesAFolderThatBelongsToSomeoneElse) {
    const auto before = state();
    for (const auto& folder : kFoldersOfOthers) {
        SCOPED_TRACE(folder.whose);
        newPage();
        put("System", "2003");
        Order order;
        order.user = "eve";
        order.path = folder.path;
        order.domain = "eve.com";
        EXPECT_TRUE(createSite(order).isEmpty());
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_EQ(state(), before);
}

TEST_F(Containment, DeleteSiteRefusesAFolderThatBelongsToSomeoneElse) {
    const auto before = state();
    for (const auto& folder : kFoldersOfOthers) {
        SCOPED_TRACE(folder.whose);
        newPage();
        EXPECT_EQ(call("DeleteSite", {2, folder.path}), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    // The master control site cannot take its own folder with it either.
    newPage();
    EXPECT_EQ(call("DeleteSite", {1, "C:\\Inetpub\\wwwroot"}), Variant(false));
    EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    EXPECT_EQ(state(), before);
}

TEST_F(Containment, DeleteSiteTakesTheSitesOwnFolderInAnyLetterCase) {
    EXPECT_EQ(call("DeleteSite", {3, "d:\\WEB\\Alice\\"}), Variant(true));
    EXPECT_FALSE(folderExists("D:\\Web\\alice"));
    EXPECT_TRUE(folderExists("D:\\Web\\bob"));
}

TEST_F(Containment, DefaultDocumentsAreFileNamesInTheSitesFolder) {
    const auto before = state();
    for (const char* docs : {"..\\alice\\default.asp", "index.htm,../x.asp", "C:x.htm", "a\\b.htm",
                             "index.htm, ..", "*.asp"}) {
        SCOPED_TRACE(docs);
        newPage();
        put("System", "2003");
        Order order;
        order.user = "eve";
        order.path = "D:\\Web\\eve";
        order.domain = "eve.com";
        order.docs = docs;
        EXPECT_TRUE(createSite(order).isEmpty());
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
        newPage();
        EXPECT_EQ(call("ModifySite", {2, "bob.com", 0, 0, docs, "bob"}), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
        newPage();
        Variant site = 2;
        Variant list = docs;
        EXPECT_FALSE(object->control().DefaultDoc(site, list));
    }
    EXPECT_EQ(state(), before);
    // Blanks around names and empty names are no paths.
    newPage();
    EXPECT_EQ(call("ModifySite", {2, "bob.com", 0, 0, "index.htm, default.asp,,", "bob"}),
              Variant(true));
}

// --- Accounts -------------------------------------------------------------------------

TEST_F(Containment, DeleteNtUserNeverDeletesAnAccountNoSiteOwns) {
    // An administrator made the way the installer makes one.
    ASSERT_EQ(call("CreateNtUser", {"ADMIN_PANEL.TEST", "Pass1!", "", ""}), Variant(true));
    ASSERT_EQ(call("AddUserToGroup", {"ADMIN_PANEL.TEST", "Administrators"}), Variant(true));
    for (const char* name : {"IUSR_WEBHOST", "iusr_webhost", "IWAM_WEBHOST", "Administrator",
                             "Guest", "ADMIN_PANEL.TEST", "Administrators"}) {
        SCOPED_TRACE(name);
        newPage();
        EXPECT_EQ(call("DeleteNtUser", {name}), Variant(false));
    }
    EXPECT_TRUE(userExists("IUSR_WEBHOST"));
    EXPECT_TRUE(userExists("Administrator"));
    EXPECT_TRUE(userExists("Guest"));
    EXPECT_TRUE(userExists("ADMIN_PANEL.TEST"));
    // A site's own account goes.
    newPage();
    EXPECT_EQ(call("DeleteNtUser", {"Tarn_alice"}), Variant(true));
    EXPECT_FALSE(userExists("Tarn_alice"));
}

TEST_F(Containment, DeleteSiteLeavesAnAccountNoSiteOwnsAndRemovesTheRest) {
    ASSERT_EQ(call("CreateNtUser", {"ADMIN_PANEL.TEST", "Pass1!", "", ""}), Variant(true));
    ASSERT_EQ(call("AddUserToGroup", {"ADMIN_PANEL.TEST", "Administrators"}), Variant(true));
    for (const char* user : {"WEBHOST\\IUSR_WEBHOST", "WEBHOST\\Administrator",
                             "WEBHOST\\ADMIN_PANEL.TEST", "OTHERDOMAIN\\Tarn_bob"}) {
        SCOPED_TRACE(user);
        newPage();
        put("System", "2003");
        ASSERT_EQ(createSite("carol", "carol.com"), Variant("4:True"));
        auto site = bind(sitePath(4));
        site->put("AnonymousUserName", user);
        site->call("SetInfo");
        newPage();
        EXPECT_EQ(call("DeleteSite", {4, "D:\\Web\\carol"}), Variant(true));
        EXPECT_FALSE(keyExists(sitePath(4)));
        EXPECT_FALSE(folderExists("D:\\Web\\carol"));
        ASSERT_EQ(call("DeleteNtUser", {"Tarn_carol"}), Variant(true));
    }
    EXPECT_TRUE(userExists("IUSR_WEBHOST"));
    EXPECT_TRUE(userExists("Administrator"));
    EXPECT_TRUE(userExists("ADMIN_PANEL.TEST"));
    EXPECT_TRUE(userExists("Tarn_bob"));
}

}  // namespace
}  // namespace tarnwick::testing
