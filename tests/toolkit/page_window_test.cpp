// The toolkit members outside OnStartPage ... OnEndPage: those that need the
// page objects fail with error 91 and change nothing; the random text needs none.
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

class OutsideThePage : public ToolkitFixture {
protected:
    void SetUp() override {
        ToolkitFixture::SetUp();
        addSite(2, {":80:bob.com"}, false);
        object->control().OnEndPage();
    }
    int32_t errorOf(std::string_view member, std::vector<Variant> args) {
        try {
            object->invoke(member, automation::InvokeKind::Method, args);
        } catch (const automation::AutomationError& error) {
            return error.number();
        }
        return 0;
    }
};

TEST_F(OutsideThePage, MembersThatNeedThePageFailWith91AndChangeNothing) {
    auto before = platform->dump();
    const int32_t notSet = automation::errors::kObjectNotSet;
    EXPECT_EQ(errorOf("Computer", {}), notSet);
    EXPECT_EQ(errorOf("SiteStatus", {2, true}), notSet);
    EXPECT_EQ(errorOf("DefaultDoc", {2, "a.htm"}), notSet);
    EXPECT_EQ(errorOf("ChkFolder", {"D:\\Web\\bob"}), notSet);
    EXPECT_EQ(errorOf("CreateNtUser", {"Tarn_bob", "Secret#1", "Bob", "bob.com"}), notSet);
    EXPECT_EQ(errorOf("AddUserToGroup", {"IUSR_WEBHOST", "Users"}), notSet);
    EXPECT_EQ(errorOf("DeleteNtUser", {"IUSR_WEBHOST"}), notSet);
    EXPECT_EQ(errorOf("CreatePool", {"Tarn_bob"}), notSet);
    EXPECT_EQ(platform->dump(), before);
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(OutsideThePage, RandomTextNeedsNoPage) {
    EXPECT_EQ(call("RndStr", {5}).string().size(), 5u);
    EXPECT_EQ(call("GetNtPass").string().size(), 41u);
}

TEST_F(OutsideThePage, AStartedPageAfterwardsServesTheMembersAgain) {
    newPage();
    EXPECT_EQ(call("SiteStatus", {2, true}), Variant(true));
    EXPECT_EQ(call("ChkFolder", {"D:\\Web\\bob"}), Variant(true));
}

}  // namespace
}  // namespace tarnwick::testing
