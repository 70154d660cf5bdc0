// The site operations on IIS 5 and on IIS 6 as the metabase behaves there:
// the web service also holds Filters and Info (and AppPools on IIS 6), a
// root that AppCreate makes before its SetInfo, inherited anonymous users
// and default documents, and flags kept in their DWORDs.
#include <gtest/gtest.h>

#include "sites_fixture.h"

namespace tarnwick::testing {
namespace {

class SitesOnIis : public SitesOnIisVersion {
protected:
    void SetUp() override {
        SitesOnIisVersion::SetUp();
        setSystem();
    }
    // Windows 2000 runs IIS 5, Windows Server 2003 IIS 6: CreateSite makes
    // an application pool on the second only.
    void setSystem() { put("System", iis6() ? "2003" : "2000"); }
    void freshPage() {
        newPage();
        setSystem();
    }
    bool iis6() const { return GetParam() == 6; }
    // The usual order of `user` for `domain`; the pool argument names a pool
    // on Windows Server 2003 and a CPU limit in percent on Windows 2000.
    Variant create(const std::string& user = "bob", const std::string& domain = "bob.com") {
        Order order;
        order.user = user;
        order.path = "D:\\Web\\" + user;
        order.domain = domain;
        order.pool = iis6() ? Variant("Tarn_" + user) : Variant(20);
        return createSite(order);
    }

    // Site `number` in `folder`, bound to `domain`, that sets no anonymous
    // user of its own: it runs as the one the web service names.
    void addInheritingSite(int number, const std::string& domain, const std::string& folder) {
        addSites({{number, {":80:" + domain}}});
        auto metabase = platform->dump()["metabase"];
        for (auto& key : metabase["keys"]) {
            if (key["path"] == "/LM/W3SVC/" + std::to_string(number)) {
                key["properties"].erase("AnonymousUserName");
            }
            if (key["path"] == "/LM/W3SVC/" + std::to_string(number) + "/ROOT") {
                key["properties"]["Path"] = folder;
            }
        }
        platform->load({{"metabase", metabase}});
        makeFolders(folder);
    }
    Variant modify(Variant site, Variant domain, Variant docs = "index.htm") {
        return call("ModifySite", {site, domain, -1, -1, docs, "bob"});
    }
};

TEST_P(SitesOnIis, TheWebServiceHoldsFiltersAndInfoAndOnIis6ThePools) {
    EXPECT_EQ(property(std::string(kService) + "/Filters", "Class"), Variant("IIsFilters"));
    EXPECT_EQ(property(std::string(kService) + "/Info", "Class"), Variant("IIsWebInfo"));
    EXPECT_EQ(keyExists(std::string(kService) + "/AppPools"), iis6());
}

TEST_P(SitesOnIis, CreateModifyAndDeleteASite) {
    // CreateSite passes over the keys that are no sites.
    ASSERT_EQ(create(), Variant("2:True")) << errorMessage();
    EXPECT_EQ(errorMessage(), "");
    EXPECT_EQ(property(sitePath(2), "ServerAutoStart"), Variant(true));
    EXPECT_EQ(keyExists("IIS://WEBHOST/W3SVC/AppPools/Tarn_bob"), iis6());
    if (!iis6()) {
        EXPECT_EQ(property(sitePath(2), "CpuLimitsEnabled"), Variant(true));
        EXPECT_EQ(property(sitePath(2), "CpuLimitLogEvent"), Variant(20000));
    }

    // The root is a virtual directory with its KeyType on both versions,
    // although AppCreate makes it before its SetInfo.
    const auto root = rootPath(2);
    EXPECT_EQ(property(root, "Class"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(property(root, "KeyType"), Variant("IIsWebVirtualDir"));
    EXPECT_EQ(property(root, "AppRoot"), Variant("/LM/W3SVC/2/ROOT"));
    auto stored = storedProperties("/LM/W3SVC/2/ROOT");
    EXPECT_EQ(stored["AccessFlags"]["value"], 0x201u);          // AccessRead and AccessScript
    EXPECT_EQ(stored["DirBrowseFlags"]["value"], 0x40000000u);  // EnableDefaultDoc only
    EXPECT_FALSE(stored.contains("AccessRead"));
    EXPECT_FALSE(stored.contains("AnonymousUserName"));

    // ModifySite passes over them too; so does a second CreateSite.
    freshPage();
    EXPECT_EQ(modify(2, "bob.net", "home.htm"), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_EQ(property(sitePath(2), "ServerBindings"),
              Variant(Variant::Array{":80:bob.net", ":80:www.bob.net"}));
    freshPage();
    EXPECT_EQ(create("amy", "amy.com"), Variant("3:True")) << errorMessage();
    freshPage();
    EXPECT_EQ(modify(2, "amy.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");

    freshPage();
    EXPECT_EQ(call("DeleteSite", {2, "D:\\Web\\bob"}), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_FALSE(keyExists(sitePath(2)));
    EXPECT_FALSE(userExists("Tarn_bob"));
    EXPECT_FALSE(folderExists("D:\\Web\\bob"));
    EXPECT_TRUE(keyExists(sitePath(3)));
}

// On Windows a site that sets no anonymous user runs as the one the web
// service names, IUSR_<computer>; ModifySite reads it and goes on.
TEST_P(SitesOnIis, ModifySiteBesideASiteThatInheritsItsAnonymousUser) {
    ASSERT_EQ(create(), Variant("2:True")) << errorMessage();
    addInheritingSite(3, "three.com", "D:\\Web\\three");
    EXPECT_EQ(property(sitePath(3), "AnonymousUserName"), Variant("IUSR_WEBHOST"));

    freshPage();
    EXPECT_EQ(modify(2, "bob.org"), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    // Its bindings still count.
    freshPage();
    EXPECT_EQ(modify(2, "three.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
}

// DeleteSite of such a site reads IUSR_<computer>, which no site owns: the
// account stays, the folder and the site go.
TEST_P(SitesOnIis, DeleteSiteOfASiteThatInheritsItsAnonymousUser) {
    addInheritingSite(3, "three.com", "D:\\Web\\three");
    EXPECT_EQ(call("DeleteSite", {3, "D:\\Web\\three"}), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_TRUE(userExists("IUSR_WEBHOST"));
    EXPECT_FALSE(folderExists("D:\\Web\\three"));
    EXPECT_FALSE(keyExists(sitePath(3)));
    EXPECT_TRUE(keyExists(sitePath(1)));
}

// ModifySite writes the default documents on the site. A root that sets
// none of its own reads them; the root CreateSite made sets its own.
TEST_P(SitesOnIis, TheSitesDefaultDocumentsReachARootWithoutItsOwn) {
    ASSERT_EQ(create(), Variant("2:True")) << errorMessage();
    addSites({{3, {":80:three.com"}, "WEBHOST\\Tarn_bob"}});
    auto metabase = platform->dump()["metabase"];
    for (auto& key : metabase["keys"]) {
        if (key["path"] == "/LM/W3SVC/3/ROOT") key["properties"].erase("DefaultDoc");
    }
    platform->load({{"metabase", metabase}});

    struct Case {
        int site;
        const char* rootReads;
    };
    for (const auto& c : {Case{3, "new.htm,b.asp"}, Case{2, "index.htm,index.asp"}}) {
        SCOPED_TRACE(c.site);
        freshPage();
        EXPECT_EQ(modify(c.site, c.site == 3 ? "three.com" : "bob.com", "new.htm,b.asp"),
                  Variant(true));
        EXPECT_EQ(property(rootPath(c.site), "DefaultDoc"), Variant(c.rootReads));
        EXPECT_EQ(property(rootPath(c.site), "EnableDefaultDoc"), Variant(true));
    }
}

std::string versionName(const ::testing::TestParamInfo<int>& version) {
    return "Iis" + std::to_string(version.param);
}

INSTANTIATE_TEST_SUITE_P(Iis, SitesOnIis, ::testing::Values(5, 6), versionName);

}  // namespace
}  // namespace tarnwick::testing
