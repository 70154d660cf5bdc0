// CreateNtUser, AddUserToGroup and DeleteNtUser on the embedded local accounts.
#include "toolkit_fixture.h"

namespace tarnwick::testing {
namespace {

class Accounts : public ToolkitFixture {
protected:
    Variant createUser(Variant name, Variant password = "Pass#word1", Variant fullName = "鲍勃",
                       Variant info = "bob.com") {
        return call("CreateNtUser",
                    {std::move(name), std::move(password), std::move(fullName), std::move(info)});
    }
    std::vector<std::string> membersOf(const std::string& group) {
        return accountNamed(group)["members"].get<std::vector<std::string>>();
    }
};

TEST_F(Accounts, CreateNtUserStoresTheNamesAndAPasswordThatNeverExpires) {
    auto result = createUser("Tarn_bob");
    ASSERT_EQ(result.type(), automation::VarType::Boolean);
    EXPECT_TRUE(result.boolean());
    auto user = accountNamed("Tarn_bob");
    ASSERT_FALSE(user.is_null());
    EXPECT_NE(user["flags"].get<int>() & 0x10000, 0);  // the password never expires
    EXPECT_EQ(user["fullName"], "鲍勃");
    EXPECT_EQ(user["description"], "bob.com");
    EXPECT_EQ(user["passwordSet"], true);
    EXPECT_EQ(user["groups"], json::array());
    EXPECT_EQ(page->responseState().body, "");
}

TEST_F(Accounts, CreateNtUserForAnExistingAccountIsFalseAndLeavesItAlone) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    auto before = platform->dump()["accounts"];
    auto result = createUser("TARN_BOB", "Other#pass2", "Someone else", "other.com");
    ASSERT_EQ(result.type(), automation::VarType::Boolean);
    EXPECT_FALSE(result.boolean());
    EXPECT_EQ(platform->dump()["accounts"], before);
    // A group's name is taken as well.
    EXPECT_EQ(createUser("Guests"), Variant(false));
    EXPECT_EQ(platform->dump()["accounts"], before);
}

TEST_F(Accounts, CreateNtUserFailingAtAnyStepIsFalseAndStoresNothing) {
    // An account without its password or settings is never stored.
    for (const char* member :
         {"Create", "SetPassword", "FullName", "Description", "UserFlags", "SetInfo"}) {
        inject(member, "*", static_cast<int32_t>(0x80070005u));
        EXPECT_EQ(createUser("Tarn_bob"), Variant(false)) << member;
        EXPECT_TRUE(accountNamed("Tarn_bob").is_null()) << member;
        platform->faults().clear();
    }
    EXPECT_EQ(createUser("Tarn_bob"), Variant(true));
}

TEST_F(Accounts, AddUserToGroupPutsTheUserIntoTheGroup) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    auto result = call("AddUserToGroup", {"Tarn_bob", "Guests"});
    ASSERT_EQ(result.type(), automation::VarType::Boolean);
    EXPECT_TRUE(result.boolean());
    EXPECT_EQ(membersOf("Guests"), (std::vector<std::string>{"Guest", "IUSR_WEBHOST", "Tarn_bob"}));
}

TEST_F(Accounts, AddUserToGroupRefusesAMemberAMissingUserOrAMissingGroup) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    ASSERT_EQ(call("AddUserToGroup", {"Tarn_bob", "Guests"}), Variant(true));
    auto before = platform->dump()["accounts"];
    EXPECT_EQ(call("AddUserToGroup", {"Tarn_bob", "Guests"}), Variant(false));
    EXPECT_EQ(call("AddUserToGroup", {"Tarn_nobody", "Guests"}), Variant(false));
    EXPECT_EQ(call("AddUserToGroup", {"Tarn_bob", "Nobodies"}), Variant(false));
    // A group is no user, a user no group.
    EXPECT_EQ(call("AddUserToGroup", {"Users", "Guests"}), Variant(false));
    EXPECT_EQ(call("AddUserToGroup", {"Tarn_bob", "IUSR_WEBHOST"}), Variant(false));
    EXPECT_EQ(platform->dump()["accounts"], before);
}

TEST_F(Accounts, AddUserToGroupFailingInSetInfoIsFalse) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    inject("Add", "*", static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(call("AddUserToGroup", {"Tarn_bob", "Users"}), Variant(false));
    EXPECT_EQ(membersOf("Users"), std::vector<std::string>{});
}

TEST_F(Accounts, DeleteNtUserRemovesTheAccountAndItsMemberships) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    ASSERT_EQ(call("AddUserToGroup", {"Tarn_bob", "Guests"}), Variant(true));
    auto result = call("DeleteNtUser", {"tarn_bob"});
    ASSERT_EQ(result.type(), automation::VarType::Boolean);
    EXPECT_TRUE(result.boolean());
    EXPECT_TRUE(accountNamed("Tarn_bob").is_null());
    EXPECT_EQ(membersOf("Guests"), (std::vector<std::string>{"Guest", "IUSR_WEBHOST"}));
}

TEST_F(Accounts, DeleteNtUserRefusesAMissingNameAndAGroup) {
    auto before = platform->dump()["accounts"];
    for (const Variant& name : {Variant("Tarn_nobody"), Variant("Guests"), Variant("")}) {
        auto result = call("DeleteNtUser", {name});
        ASSERT_EQ(result.type(), automation::VarType::Boolean) << automation::toText(name);
        EXPECT_FALSE(result.boolean()) << automation::toText(name);
    }
    EXPECT_EQ(platform->dump()["accounts"], before);
}

TEST_F(Accounts, DeleteNtUserFailingInTheDeleteIsFalse) {
    ASSERT_EQ(createUser("Tarn_bob"), Variant(true));
    inject("Delete", "*", static_cast<int32_t>(0x80070005u));
    EXPECT_EQ(call("DeleteNtUser", {"Tarn_bob"}), Variant(false));
    EXPECT_FALSE(accountNamed("Tarn_bob").is_null());
}

TEST_F(Accounts, AFailingComputerNameIsAFailureOfTheStep) {
    inject("ComputerName", "*", 445, false);
    EXPECT_EQ(createUser("Tarn_bob"), Variant(false));
    EXPECT_EQ(call("AddUserToGroup", {"IUSR_WEBHOST", "Users"}), Variant(false));
    EXPECT_EQ(call("DeleteNtUser", {"IUSR_WEBHOST"}), Variant(false));
    EXPECT_TRUE(accountNamed("Tarn_bob").is_null());
    EXPECT_FALSE(accountNamed("IUSR_WEBHOST").is_null());
    EXPECT_EQ(membersOf("Users"), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnwick::testing
