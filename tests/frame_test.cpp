#include <gtest/gtest.h>

#include <set>

#include "component/error_page.h"
#include "component/members.h"
#include "support/page_fixture.h"

namespace tarnwick::testing {
namespace {

namespace errors = automation::errors;
using automation::VarType;

class Frame : public PageFixture {};

TEST_F(Frame, ShowErrWithAnEmptyMessageWritesNothing) {
    start();
    EXPECT_TRUE(call("ShowErr", {""}).isEmpty());
    EXPECT_TRUE(call("ShowErr", {Variant()}).isEmpty());
    EXPECT_EQ(response().body, "");
    EXPECT_FALSE(response().ended);
}

TEST_F(Frame, ShowErrWritesThePageAndEndsTheResponse) {
    start();
    EXPECT_TRUE(call("ShowErr", {5}).isEmpty());
    EXPECT_EQ(response().body, component::errorPage("5"));
    EXPECT_TRUE(response().ended);
    page->response()->write("after the end");
    EXPECT_EQ(response().body, component::errorPage("5"));
}

TEST_F(Frame, PageMembersOutsideTheWindowFailAndWriteNothing) {
    EXPECT_EQ(errorOf("ShowErr", {"message"}), errors::kObjectNotSet);
    EXPECT_EQ(errorOf("GetCache"), errors::kObjectNotSet);
    EXPECT_EQ(errorOf("logout"), errors::kObjectNotSet);
    start();
    call("OnEndPage");
    EXPECT_EQ(errorOf("ShowErr", {"message"}), errors::kObjectNotSet);
    EXPECT_EQ(errorOf("IsAdmin"), errors::kObjectNotSet);
    EXPECT_EQ(response().body, "");
    EXPECT_FALSE(response().ended);
    EXPECT_TRUE(page->sessionValues().empty());
    // An empty message needs no page objects.
    EXPECT_TRUE(call("ShowErr", {""}).isEmpty());
}

TEST_F(Frame, OnStartPageResetsIsChkUser) {
    object.put("IsChkUser", true);
    EXPECT_EQ(object.get("IsChkUser"), Variant(true));
    start();
    EXPECT_EQ(object.get("ischkuser"), Variant(false));
    object.put("IsChkUser", "True");
    EXPECT_EQ(object.get("IsChkUser"), Variant(true));
    EXPECT_THROW(object.put("IsChkUser", "maybe"), automation::AutomationError);
}

TEST_F(Frame, PropertiesKeepWhatThePageAssigned) {
    EXPECT_TRUE(object.get("System").isEmpty());
    EXPECT_TRUE(object.get("ShowIP").isEmpty());
    object.put("System", Variant::integer(2003));
    object.put("SHOWIP", "True");
    EXPECT_EQ(object.get("system"), Variant::integer(2003));
    EXPECT_EQ(object.get("ShowIP"), Variant("True"));
    start();  // OnStartPage leaves them alone
    EXPECT_EQ(object.get("System"), Variant::integer(2003));
}

TEST_F(Frame, ChkUserReturnsEmptyWhateverTheState) {
    EXPECT_TRUE(call("ChkUser").isEmpty());
    start();
    call("login", {"admin", "secret", "root"});
    EXPECT_TRUE(call("chkuser").isEmpty());
}

// A context that refuses its Session object.
class NoSessionContext : public platform::ScriptingContext {
public:
    explicit NoSessionContext(std::shared_ptr<platform::ScriptingContext> inner)
        : inner_(std::move(inner)) {}
    std::shared_ptr<platform::Application> application() override { return inner_->application(); }
    std::shared_ptr<platform::Request> request() override { return inner_->request(); }
    std::shared_ptr<platform::Response> response() override { return inner_->response(); }
    std::shared_ptr<platform::Server> server() override { return inner_->server(); }
    std::shared_ptr<platform::Session> session() override {
        automation::raise(static_cast<int32_t>(0x80004005u), "Session state is disabled");
    }

private:
    std::shared_ptr<platform::ScriptingContext> inner_;
};

TEST_F(Frame, ARefusedPageObjectFailsOnStartPageButKeepsTheOthers) {
    object.put("IsChkUser", true);
    auto context = std::make_shared<NoSessionContext>(page);
    try {
        object.control().OnStartPage(context);
        FAIL() << "OnStartPage should fail";
    } catch (const automation::AutomationError& error) {
        EXPECT_EQ(error.number(), static_cast<int32_t>(0x80004005u));
    }
    EXPECT_EQ(object.get("IsChkUser"), Variant(true));  // step 3 was not reached
    EXPECT_EQ(errorOf("GetCache"), errors::kObjectNotSet);
    call("ShowErr", {"still works"});
    EXPECT_EQ(response().body, component::errorPage("still works"));
}

TEST_F(Frame, MembersAreFoundByNameIgnoringCaseWithTheirArgumentCounts) {
    start();
    EXPECT_EQ(errorOf("NoSuchMember"), errors::kMemberNotFound);
    EXPECT_EQ(errorOf("ShowErr"), errors::kWrongArgumentCount);
    EXPECT_EQ(errorOf("LOGIN", {"a", "b"}), errors::kWrongArgumentCount);
    EXPECT_EQ(errorOf("CreateSite", {1, 2, 3, 4, 5, 6}), errors::kWrongArgumentCount);
    EXPECT_THROW(object.put("ChkUser", 1), automation::AutomationError);
    EXPECT_EQ(errorOf("OnStartPage", {Variant()}), errors::kObjectNotSet);
    EXPECT_EQ(errorOf("OnStartPage", {"text"}), errors::kObjectNotSet);
}

TEST(MemberTable, HoldsTheTwentySevenEntriesInSlotOrder) {
    auto members = component::controlMembers();
    ASSERT_EQ(members.size(), 27u);
    std::set<int32_t> dispids;
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i].slot, static_cast<int>(i + 1));
        dispids.insert(members[i].dispid);
    }
    EXPECT_EQ(dispids.size(), 24u);  // three properties have a get and a put
    EXPECT_EQ(component::findMember("LOGIN", component::MemberKind::Method)->name, "login");
    EXPECT_EQ(component::findMember("showip", component::MemberKind::PropertyPut)->dispid,
              0x68030000);
    const auto* defaultDoc = component::findMember("DefaultDoc", component::MemberKind::Method);
    ASSERT_EQ(defaultDoc->parameters.size(), 2u);
    EXPECT_TRUE(defaultDoc->parameters[0].byReference && defaultDoc->parameters[1].byReference);
    EXPECT_EQ(defaultDoc->dispid, 0x60030008);
    EXPECT_EQ(component::findMember("GetCache", component::MemberKind::Method)->dispid, 0x60030016);
}

}  // namespace
}  // namespace tarnwick::testing
