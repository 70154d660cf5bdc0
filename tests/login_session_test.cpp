#include <gtest/gtest.h>

#include "component/error_page.h"
#include "support/page_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr const char* kKeys[] = {"kavro_loginuser", "kavro_loginpass", "kavro_admin_user"};

class LoginSession : public PageFixture {
protected:
    void SetUp() override { start(); }
    void expectLoggedOutValues() {
        for (const char* key : kKeys) EXPECT_EQ(sessionValue(key), Variant("")) << key;
    }
};

TEST_F(LoginSession, AnEmptyArgumentShowsTheErrorAndKeepsTheLogin) {
    call("login", {"admin", "secret", "root"});
    const Variant empties[] = {Variant(""), Variant()};
    for (int position = 0; position < 3; ++position) {
        for (const auto& empty : empties) {
            auto next = newPage(page->sessionId());
            component::ControlObject other;
            other.control().OnStartPage(next);
            Variant args[3] = {"other", "other", "other"};
            args[position] = empty;
            EXPECT_TRUE(other.call("login", {args[0], args[1], args[2]}).isEmpty());
            EXPECT_EQ(next->responseState().body, component::errorPage("参数出错!"));
            EXPECT_TRUE(next->responseState().ended);
        }
    }
    EXPECT_EQ(sessionValue("kavro_loginuser"), Variant("admin"));
    EXPECT_EQ(sessionValue("kavro_loginpass"), Variant("secret"));
    EXPECT_EQ(sessionValue("kavro_admin_user"), Variant("root"));
}

TEST_F(LoginSession, ACompleteLoginPassesIsAdminUnchanged) {
    EXPECT_TRUE(call("login", {" Admin ", "p@ss", 0}).isEmpty());
    EXPECT_TRUE(call("IsAdmin").isEmpty());
    EXPECT_FALSE(response().redirect.has_value());
    EXPECT_FALSE(response().ended);
    EXPECT_EQ(sessionValue("kavro_loginuser"), Variant(" Admin "));
    // The number 0 passes the empty test and is stored as a number.
    EXPECT_EQ(sessionValue("kavro_admin_user"), Variant(0));
}

TEST_F(LoginSession, IsAdminInAFreshSessionClearsAndRedirects) {
    EXPECT_TRUE(sessionValue("kavro_loginuser").isEmpty());
    call("IsAdmin");
    expectLoggedOutValues();
    EXPECT_EQ(response().redirect, "index.asp");
    EXPECT_TRUE(response().ended);
}

TEST_F(LoginSession, OneMissingValueIsEnoughToLogOut) {
    // An empty value, or a Null one (a login from a database field that is Null).
    for (const Variant& missing : {Variant(""), Variant::null()}) {
        newPage();
        call("login", {"admin", "secret", "root"});
        page->session()->setValue("kavro_admin_user", missing);
        call("IsAdmin");
        expectLoggedOutValues();
        EXPECT_EQ(response().redirect, "index.asp");
    }
}

TEST_F(LoginSession, LogoutBlanksTheKeysWithoutRemovingThem) {
    call("login", {"admin", "secret", "root"});
    EXPECT_TRUE(call("logout").isEmpty());
    auto values = page->sessionValues();
    ASSERT_EQ(values.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(values[static_cast<size_t>(i)].first, kKeys[i]);
        EXPECT_EQ(values[static_cast<size_t>(i)].second, Variant(""));
    }
    call("IsAdmin");
    EXPECT_EQ(response().redirect, "index.asp");
}

TEST_F(LoginSession, GetCacheIsTheSessionId) {
    auto id = call("GetCache");
    EXPECT_EQ(id, Variant(page->session()->sessionId()));
    EXPECT_FALSE(id.string().empty());
}

TEST_F(LoginSession, TheLoginSurvivesIntoTheNextPageOfTheSession) {
    call("login", {"admin", "secret", "root"});
    call("OnEndPage");

    auto next = newPage(page->sessionId());
    EXPECT_EQ(next->sessionId(), page->sessionId());
    component::ControlObject other;
    other.control().OnStartPage(next);
    other.call("IsAdmin");
    EXPECT_FALSE(next->responseState().redirect.has_value());

    // Another visitor's session holds no login.
    auto stranger = newPage();
    EXPECT_NE(stranger->sessionId(), page->sessionId());
    component::ControlObject third;
    third.control().OnStartPage(stranger);
    third.call("IsAdmin");
    EXPECT_EQ(stranger->responseState().redirect, "index.asp");
}

}  // namespace
}  // namespace tarnwick::testing
