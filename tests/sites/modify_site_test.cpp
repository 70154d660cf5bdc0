// ModifySite on the embedded platform: the duplicate check that recognises
// the site by its anonymous user, the written properties, the limits, and
// the reported failures.
#include <gtest/gtest.h>

#include "sites_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);

class ModifySite : public SitesFixture {
protected:
    // Site 2 belongs to bob (anonymous user WEBHOST\Tarn_bob) and answers to bob.com.
    void SetUp() override {
        SitesFixture::SetUp();
        addSites({{2, {":80:bob.com", ":80:www.bob.com"}, "WEBHOST\\Tarn_bob"}});
    }

    Variant modify(Variant site, Variant domain, Variant band = -1, Variant connections = -1,
                   Variant docs = "index.htm", Variant user = "bob") {
        return call("ModifySite", {site, domain, band, connections, docs, user});
    }
    Variant bindingsOf(int number) { return property(sitePath(number), "ServerBindings"); }
};

const Variant kBobBindings = Variant::Array{":80:bob.com", ":80:www.bob.com"};

// --- The site's own bindings ------------------------------------------------------

TEST_F(ModifySite, ASiteLockThatCannotBeTakenChangesNothing) {
    inject("WaitForSingleObject", "*", platform::MachineLock::kTimeout);
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "无法完成指定操作.\n\n错误码: 800705B4");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, KeepingTheHostNameIsAllowedForTheSitesOwnUser) {
    EXPECT_EQ(modify(2, "bob.com"), Variant(true));
    EXPECT_EQ(errorMessage(), "");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, AWrongOrEmptyUserNameFindsTheSitesOwnBinding) {
    for (const Variant& user : {Variant(""), Variant(), Variant("amy"), Variant("BOB")}) {
        SCOPED_TRACE(automation::toText(user));
        newPage();
        EXPECT_EQ(modify(2, "bob.com", 10, 10, "a.htm", user), Variant(false));
        EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
    }
    // Nothing was written.
    EXPECT_EQ(property(sitePath(2), "ServerComment"), Variant("SITE 2"));
}

TEST_F(ModifySite, TheSiteIsRecognisedByItsAnonymousUserExactly) {
    // A site whose anonymous user differs only in case is not the site.
    removeSite(2);
    addSites({{2, {":80:bob.com"}, "webhost\\Tarn_bob"}});
    newPage();
    EXPECT_EQ(modify(2, "bob.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
}

// --- Other sites' bindings --------------------------------------------------------

TEST_F(ModifySite, AnotherSiteWithTheSiteBindingRefusesTheChange) {
    addSites({{3, {":81:x.com", ":80:new.com"}, "", /*started=*/false}});
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, WithoutShowIPAnAddressBoundSiteDoesNotBlock) {
    addSites({{3, {"10.0.0.5:80:new.com"}}});
    EXPECT_EQ(modify(2, "new.com"), Variant(true));
    EXPECT_EQ(bindingsOf(2), Variant(Variant::Array{":80:new.com", ":80:www.new.com"}));
}

TEST_F(ModifySite, WithShowIPTheRequestsAddressIsPartOfTheBinding) {
    addSites({{3, {"10.0.0.5:80:new.com"}}, {4, {":80:other.com"}}});
    put("ShowIP", true);
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");

    newPage();
    put("ShowIP", true);
    EXPECT_EQ(modify(2, "other.com"), Variant(true));
    EXPECT_EQ(bindingsOf(2),
              Variant(Variant::Array{"10.0.0.5:80:other.com", "10.0.0.5:80:www.other.com"}));
}

// Both new bindings against every binding of every other site, host names
// ignoring case; another site of the same user counts as any other.
TEST_F(ModifySite, EitherNewBindingThatAnotherSiteHoldsRefusesTheChange) {
    const struct {
        SiteSpec other;
        const char* domain;
        bool refused;
    } cases[] = {
        {{3, {":80:NEW.com"}}, "new.com", true},
        {{3, {":80:www.new.com"}}, "new.com", true},
        {{3, {":80:new.com"}}, "www.new.com", false},
        {{3, {":80:new.com"}, "WEBHOST\\Tarn_bob"}, "new.com", true},
        {{3, {":80:other.com"}, "WEBHOST\\Tarn_bob"}, "new.com", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.domain);
        removeSite(3);
        addSites({c.other});
        newPage();
        EXPECT_EQ(modify(2, c.domain), Variant(!c.refused));
        EXPECT_EQ(errorMessage(), c.refused ? "你所要绑定的域名已存在,请改换其他域名!" : "");
    }
}

// eve's site cannot take bob's host name by naming bob as its user.
TEST_F(ModifySite, NamingAnotherSitesUserDoesNotTakeItsHostName) {
    addSites({{3, {":80:eve.com"}, "WEBHOST\\Tarn_eve"}});
    EXPECT_EQ(modify(3, "bob.com", -1, -1, "index.htm", "bob"), Variant(false));
    EXPECT_EQ(errorMessage(), "你所要绑定的域名已存在,请改换其他域名!");
    EXPECT_EQ(bindingsOf(3), Variant(Variant::Array{":80:eve.com"}));
}

TEST_F(ModifySite, TheDomainMustBeAHostName) {
    for (const char* name : {"a.com:81", "bob.com/", "-bad.com", "a..com", "中国.cn", "<b>"}) {
        SCOPED_TRACE(name);
        newPage();
        EXPECT_EQ(modify(2, name), Variant(false));
        EXPECT_EQ(errorMessage(), "参数出错,请检查!");
    }
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

// --- What is written --------------------------------------------------------------

TEST_F(ModifySite, WritesTheHostNameLimitsAndDocumentsOnTheSite) {
    EXPECT_EQ(modify(2, "new-site9.Example.com", 100, 50, "home.asp,index.htm"), Variant(true));
    const auto site = sitePath(2);
    EXPECT_EQ(bindingsOf(2), Variant(Variant::Array{":80:new-site9.Example.com",
                                                    ":80:www.new-site9.Example.com"}));
    EXPECT_EQ(property(site, "ServerComment"), Variant("NEW-SITE9.EXAMPLE.COM"));
    EXPECT_EQ(property(site, "MaxBandwidthBlocked"), Variant(0));
    EXPECT_EQ(property(site, "MaxBandwidth"), Variant(102400));
    EXPECT_EQ(property(site, "MaxConnections"), Variant(50));
    EXPECT_EQ(property(site, "EnableDefaultDoc"), Variant(true));
    EXPECT_EQ(property(site, "DefaultDoc"), Variant("home.asp,index.htm"));
    // The anonymous user and the root directory stay.
    EXPECT_EQ(property(site, "AnonymousUserName"), Variant("WEBHOST\\Tarn_bob"));
    EXPECT_EQ(property(rootPath(2), "DefaultDoc"), Variant("index.htm"));
}

TEST_F(ModifySite, ASiteWithThreeBindingsHasExactlyTwoAfterwards) {
    removeSite(2);
    addSites({{2, {":80:bob.com", ":80:www.bob.com", ":8080:bob.com"}, "WEBHOST\\Tarn_bob"}});
    newPage();
    EXPECT_EQ(modify(2, "bob.com"), Variant(true));
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, TheRootsDefaultDocumentsSurviveAfterCreation) {
    removeSite(2);
    newPage();
    put("System", "2003");
    ASSERT_EQ(createSite(Order{}), Variant("2:True"));
    newPage();
    EXPECT_EQ(modify(2, "bob.net", -1, -1, "other.htm"), Variant(true));
    EXPECT_EQ(property(rootPath(2), "DefaultDoc"), Variant("index.htm,index.asp"));
    EXPECT_EQ(property(sitePath(2), "DefaultDoc"), Variant("other.htm"));
    EXPECT_EQ(property(sitePath(2), "ServerComment"), Variant("BOB.NET"));
}

TEST_F(ModifySite, BandwidthAndConnectionLimitsAtTheirBoundaries) {
    struct Case {
        Variant band;
        bool blocked;
        uint32_t bandwidth;
        Variant connections;
        uint32_t maxConnections;
    };
    const Case cases[] = {
        {0, false, 0, 0, 0},
        {1024, false, 1048576, 500, 500},
        {1025, true, 4294967295u, -1, 4294967295u},
        {-1, true, 4294967295u, 1, 1},
        {"512", false, 524288, "-5", 4294967295u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(automation::toText(c.band) + " / " + automation::toText(c.connections));
        newPage();
        EXPECT_EQ(modify(2, "bob.com", c.band, c.connections), Variant(true));
        auto stored = storedProperties("/LM/W3SVC/2");
        EXPECT_EQ(stored["MaxBandwidthBlocked"]["value"], c.blocked ? 4294967295u : 0u);
        EXPECT_EQ(stored["MaxBandwidth"]["value"], c.bandwidth);
        EXPECT_EQ(stored["MaxConnections"]["value"], c.maxConnections);
    }
}

TEST_F(ModifySite, ALimitThatIsNoNumberIsReportedAndNothingIsStored) {
    ASSERT_EQ(modify(2, "bob.com", 10, 10), Variant(true));
    for (const auto& [band, connections] :
         std::vector<std::pair<Variant, Variant>>{{"fast", 10}, {10, "lots"}}) {
        newPage();
        EXPECT_EQ(modify(2, "new.com", band, connections), Variant(false));
        EXPECT_EQ(errorMessage(), "保存主机 IIS 信息时出错!");
        auto stored = storedProperties("/LM/W3SVC/2");
        EXPECT_EQ(stored["MaxConnections"]["value"], 10u);
        EXPECT_EQ(stored["MaxBandwidth"]["value"], 10240u);
        EXPECT_EQ(bindingsOf(2), Variant(Variant::Array{":80:bob.com", ":80:www.bob.com"}));
    }
}

TEST_F(ModifySite, TheNumberZeroIsNotAnEmptyArgument) {
    EXPECT_EQ(modify(2, "bob.com", 0, 0, 0), Variant(true));
    EXPECT_EQ(property(sitePath(2), "DefaultDoc"), Variant("0"));
}

// --- Failures ---------------------------------------------------------------------

TEST_F(ModifySite, AMissingArgumentIsRefused) {
    for (int missing = 0; missing < 5; ++missing) {
        SCOPED_TRACE(missing);
        newPage();
        std::vector<Variant> args = {2, "new.com", 10, 10, "a.htm"};
        args[static_cast<size_t>(missing)] = missing % 2 ? Variant() : Variant("");
        EXPECT_EQ(modify(args[0], args[1], args[2], args[3], args[4]), Variant(false));
        EXPECT_EQ(errorMessage(), "缺少基本参数,修改失败!");
    }
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, ASiteThatCannotBeReachedIsReported) {
    EXPECT_EQ(modify(7, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "链接 IIS 出错!");

    newPage();
    inject("GetObject", sitePath(2), kAccessDenied);
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "链接 IIS 出错!");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

TEST_F(ModifySite, AStoreThatFailsIsReported) {
    inject("SetInfo", sitePath(2), kAccessDenied);
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "保存主机 IIS 信息时出错!");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

// When the duplicate check cannot run (the web service or a site cannot be
// read), nothing is stored: the host name may belong to another site.
TEST_F(ModifySite, AnUncheckedHostNameIsNotStored) {
    addSites({{3, {":80:new.com"}}});
    struct Case {
        const char* member;
        std::string path;
        const char* domain;
    };
    const Case cases[] = {
        {"GetObject", kService, "new.com"},
        {"Children", kService, "new.com"},
        {"ServerBindings", sitePath(3), "new.com"},
        {"Class", sitePath(3), "free.com"},
        {"AnonymousUserName", sitePath(2), "free.com"},
        {"Name", sitePath(3), "free.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        newPage();
        inject(c.member, c.path, kAccessDenied);
        EXPECT_EQ(modify(2, c.domain), Variant(false));
        EXPECT_EQ(errorMessage(), "保存主机 IIS 信息时出错!");
        EXPECT_TRUE(faultsFired());
        EXPECT_EQ(bindingsOf(2), kBobBindings);
    }
}

TEST_F(ModifySite, AShowIPThatIsNoBooleanIsReportedBeforeAnythingIsStored) {
    put("ShowIP", "yes");  // its test fails, so the site binding is uncertain
    EXPECT_EQ(modify(2, "new.com"), Variant(false));
    EXPECT_EQ(errorMessage(), "保存主机 IIS 信息时出错!");
    EXPECT_EQ(bindingsOf(2), kBobBindings);
}

}  // namespace
}  // namespace tarnwick::testing
