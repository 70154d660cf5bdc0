// The WinNT provider as the account operations drive it, on each storage.
#include <algorithm>
#include <array>
#include <set>
#include <thread>

#include "account_fixture.h"
#include "platform/embedded/accounts/account_errors.h"

namespace tarnwick::testing {
namespace {

namespace codes = platform::embedded::account_errors;

template <class Backend>
class WinNT : public AccountsOn<Backend> {};
TYPED_TEST_SUITE(WinNT, Backends, BackendNames);

TYPED_TEST(WinNT, CreatedUserKeepsNamesFlagsAndPassword) {
    this->createUser("Tarn_bob", "Pw-1", "Bob Site", "site account");
    auto user = this->bind("WinNT://WEBSERVER/Tarn_bob,user");
    EXPECT_EQ(user->get("Name"), Variant("Tarn_bob"));
    EXPECT_EQ(user->get("FullName"), Variant("Bob Site"));
    EXPECT_EQ(user->get("Description"), Variant("site account"));
    // The system adds the logon-script bit and the normal account type.
    EXPECT_EQ(user->get("UserFlags"), Variant(int32_t{0x10201}));
    EXPECT_EQ(user->get("Class"), Variant("User"));
    EXPECT_TRUE(this->accounts->checkPassword("Tarn_bob", "Pw-1"));
    EXPECT_FALSE(this->accounts->checkPassword("Tarn_bob", "pw-1"));
    auto record = this->accounts->user("tarn_BOB");
    EXPECT_EQ(record.key.rid, 1000u);
    EXPECT_EQ(record.passwordHash.find("Pw-1"), std::string::npos);
}

TYPED_TEST(WinNT, NewUserExistsOnlyAfterSetInfo) {
    auto computer = this->bind("WinNT://WEBSERVER");
    auto user = computer->call("Create", {"user", "Tarn_new"}).object();
    user->call("SetPassword", {"x"});
    EXPECT_EQ(errorOf([&] { user->get("FullName"); }), codes::kPropertyNotFound);
    user->put("FullName", "New");
    EXPECT_EQ(user->get("fullname"), Variant("New"));
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/Tarn_new,user"), codes::kUserNotFound);
    user->call("SetInfo");
    EXPECT_EQ(this->bind("WinNT://WEBSERVER/Tarn_new")->get("FullName"), Variant("New"));
    EXPECT_TRUE(this->accounts->checkPassword("Tarn_new", "x"));
}

TYPED_TEST(WinNT, CreatingATakenNameFailsAtSetInfoAndLeavesTheAccount) {
    this->createUser("Tarn_bob", "first", "First", "one");
    auto before = this->accounts->user("Tarn_bob");
    EXPECT_EQ(errorOf([&] { this->createUser("TARN_BOB", "second", "Second", "two"); }),
              codes::kUserExists);
    EXPECT_EQ(this->accounts->user("Tarn_bob"), before);
    EXPECT_TRUE(this->accounts->checkPassword("Tarn_bob", "first"));
    // A group's name is taken as well.
    EXPECT_EQ(errorOf([&] { this->createUser("guests"); }), codes::kGroupExists);
    EXPECT_EQ(this->accounts->all().size(), 7u);
}

TYPED_TEST(WinNT, NamesTheSystemRefusesFailAtSetInfo) {
    for (const char* name : {"", "a/b", "x*", "..", "ADMIN_ABCDEFGHIJKLMNO"}) {
        EXPECT_EQ(errorOf([&] { this->createUser(name); }), codes::kBadUserName) << name;
    }
    // Twenty characters: "ADMIN_" and a fourteen-character domain.
    this->createUser("ADMIN_ABCDEFGHIJKLMN");
    this->createUser("网站用户");
    EXPECT_TRUE(this->accounts->find("ADMIN_abcdefghijklmn"));
}

TYPED_TEST(WinNT, PropertyChangesOfAStoredUserWaitForSetInfo) {
    this->createUser("Tarn_bob");
    auto user = this->bind("WinNT://WEBSERVER/tarn_bob,user");
    EXPECT_EQ(user->get("Name"), Variant("Tarn_bob"));  // the stored spelling
    user->put("Description", "changed");
    user->put("UserFlags", 0x10203);
    EXPECT_EQ(this->accounts->user("Tarn_bob").description, "");
    user->call("SetInfo");
    EXPECT_EQ(this->accounts->user("Tarn_bob").description, "changed");
    EXPECT_EQ(this->accounts->user("Tarn_bob").flags, 0x10203u);
    // A flag word with the high bit written as a number beyond a Long.
    user->put("UserFlags", 4294967295.0);
    user->call("SetInfo");
    EXPECT_EQ(user->get("UserFlags"), Variant(int32_t{-1}));
    // SetPassword of a stored user takes effect at once.
    user->call("SetPassword", {"later"});
    EXPECT_TRUE(this->view()->checkPassword("Tarn_bob", "later"));
}

TYPED_TEST(WinNT, ObjectsReadTheStoreAtEachCall) {
    this->createUser("Tarn_bob");
    auto user = this->bind("WinNT://WEBSERVER/Tarn_bob,user");
    AccountChanges changes;
    changes.fullName = "Elsewhere";
    this->view()->change(AccountKind::User, "Tarn_bob", changes);
    EXPECT_EQ(user->get("FullName"), Variant("Elsewhere"));
    this->view()->remove(AccountKind::User, "Tarn_bob");
    EXPECT_EQ(errorOf([&] { user->get("FullName"); }), codes::kUserNotFound);
    EXPECT_EQ(errorOf([&] { user->call("SetInfo"); }), codes::kUserNotFound);
}

TYPED_TEST(WinNT, PathsOfAUser) {
    this->createUser("Tarn_bob");
    auto user = this->bind("winnt://webserver/TARN_BOB");
    EXPECT_EQ(user->get("ADsPath"), Variant("WinNT://WORKGROUP/webserver/Tarn_bob"));
    EXPECT_EQ(user->get("Parent"), Variant("WinNT://WORKGROUP/webserver"));
    // Both bind again, as the account operations do with them.
    EXPECT_EQ(this->bind(automation::toText(user->get("ADsPath")))->get("Name"),
              Variant("Tarn_bob"));
    auto parent = this->bind(automation::toText(user->get("Parent")));
    EXPECT_EQ(parent->get("Class"), Variant("Computer"));
    EXPECT_EQ(parent->get("ADsPath"), Variant("WinNT://WORKGROUP/webserver"));
}

TYPED_TEST(WinNT, BindFailures) {
    this->createUser("Tarn_bob");
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/nobody,user"), codes::kUserNotFound);
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/nobody,group"), codes::kGroupNotFound);
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/nobody"), codes::kUserNotFound);
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/Guests,user"), codes::kUserNotFound);
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/Tarn_bob,group"), codes::kGroupNotFound);
    EXPECT_EQ(this->bindError("WinNT://OTHERBOX/Tarn_bob,user"), codes::kBadNetPath);
    EXPECT_EQ(this->bindError("WinNT://OTHERBOX"), codes::kBadNetPath);
    EXPECT_EQ(this->bindError("IIS://WEBSERVER/W3SVC"), codes::kBadPathName);
    EXPECT_EQ(this->bindError("WinNT://localhost/Guests,group"), 0);
}

TYPED_TEST(WinNT, TheComputerEnumeratesItsUsersAndGroupsWithTheirClasses) {
    this->createUser("Tarn_bob");
    std::vector<std::string> users, groups;
    const auto children = this->bind("WinNT://WEBSERVER")->get("Children");
    for (const auto& child : children.array()) {
        auto name = automation::toText(child.object()->get("Name"));
        auto kind = automation::toText(child.object()->get("Class"));
        ASSERT_TRUE(kind == "User" || kind == "Group") << kind;
        (kind == "User" ? users : groups).push_back(name);
    }
    EXPECT_NE(std::find(users.begin(), users.end(), "Tarn_bob"), users.end());
    EXPECT_NE(std::find(users.begin(), users.end(), "Administrator"), users.end());
    EXPECT_NE(std::find(groups.begin(), groups.end(), "Guests"), groups.end());
    EXPECT_EQ(std::find(groups.begin(), groups.end(), "Tarn_bob"), groups.end());
}

TYPED_TEST(WinNT, AddToGroupAndItsFailures) {
    this->createUser("Tarn_bob");
    auto user = this->bind("WinNT://WEBSERVER/Tarn_bob,user");
    auto guests = this->bind("WinNT://WEBSERVER/Guests,group");
    guests->call("Add", {user->get("ADsPath")});
    guests->call("SetInfo");
    EXPECT_EQ(guests->call("IsMember", {"WinNT://WEBSERVER/tarn_bob"}), Variant(true));
    EXPECT_EQ(guests->call("Members"), Variant(Variant::Array{"Guest", "Tarn_bob"}));
    EXPECT_EQ(errorOf([&] { guests->call("Add", {user->get("ADsPath")}); }), codes::kAlreadyMember);
    EXPECT_EQ(errorOf([&] { guests->call("Add", {"WinNT://WEBSERVER/nobody"}); }),
              codes::kNoSuchMember);
    EXPECT_EQ(errorOf([&] { guests->call("Add", {"WinNT://WEBSERVER/Users"}); }),
              codes::kInvalidMember);
    EXPECT_EQ(this->bindError("WinNT://WEBSERVER/NoSuchGroup,group"), codes::kGroupNotFound);

    guests->call("Remove", {"WinNT://WEBSERVER/Tarn_bob,user"});
    EXPECT_EQ(guests->call("IsMember", {"WinNT://WEBSERVER/Tarn_bob"}), Variant(false));
    EXPECT_EQ(errorOf([&] { guests->call("Remove", {"WinNT://WEBSERVER/Tarn_bob"}); }),
              codes::kMemberNotInGroup);
}

TYPED_TEST(WinNT, DeleteThroughTheParentOfTheObject) {
    this->createUser("Tarn_bob");
    this->accounts->addMember("Guests", "Tarn_bob");
    auto object = this->bind("WinNT://WEBSERVER/Tarn_bob");
    auto container = this->bind(automation::toText(object->get("Parent")));
    container->call("DELETE", {"User", object->get("Name")});
    EXPECT_FALSE(this->accounts->find("Tarn_bob"));
    EXPECT_EQ(this->accounts->members("Guests").size(), 1u);
    // The RID of a deleted account is not given again.
    this->createUser("Tarn_bob");
    EXPECT_EQ(this->accounts->user("Tarn_bob").key.rid, 1001u);
}

TYPED_TEST(WinNT, DeleteFailuresChangeNothing) {
    auto before = this->accounts->all();
    auto container = this->bind("WinNT://WEBSERVER");
    EXPECT_EQ(errorOf([&] {
                  container->call("Delete", {"User", "nobody"});
              }),
              codes::kUserNotFound);
    EXPECT_EQ(errorOf([&] {
                  container->call("Delete", {"User", "Guests"});
              }),
              codes::kUserNotFound);
    EXPECT_EQ(errorOf([&] {
                  container->call("Delete", {"Group", "Administrator"});
              }),
              codes::kGroupNotFound);
    EXPECT_EQ(errorOf([&] {
                  container->call("Delete", {"User", "Administrator"});
              }),
              codes::kSpecialAccount);
    EXPECT_EQ(errorOf([&] { container->call("Delete", {"Printer", "x"}); }), codes::kBadParameter);
    EXPECT_EQ(this->accounts->all(), before);
}

TYPED_TEST(WinNT, LocalGroupsCanBeCreatedAndDeleted) {
    auto container = this->bind("WinNT://WEBSERVER");
    auto group = container->call("Create", {"Group", "WebSites"}).object();
    group->put("Description", "hosted sites");
    EXPECT_EQ(errorOf([&] { group->call("Add", {"WinNT://WEBSERVER/Guest"}); }),
              codes::kGroupNotFound);
    group->call("SetInfo");
    group->call("Add", {"WinNT://WEBSERVER/Guest"});
    EXPECT_EQ(this->bind("WinNT://WEBSERVER/WebSites")->get("Description"),
              Variant("hosted sites"));
    EXPECT_EQ(errorOf([&] { this->createUser("websites"); }), codes::kGroupExists);
    container->call("Delete", {"group", "WebSites"});
    EXPECT_FALSE(this->accounts->find("WebSites"));
}

TYPED_TEST(WinNT, MembersThatObjectsDoNotHave) {
    auto guests = this->bind("WinNT://WEBSERVER/Guests,group");
    auto guest = this->bind("WinNT://WEBSERVER/Guest,user");
    EXPECT_EQ(errorOf([&] { guests->get("FullName"); }), automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { guest->call("Add", {"x"}); }), automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { guest->put("Name", "other"); }), automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] { guest->call("SetPassword"); }),
              automation::errors::kWrongArgumentCount);
    EXPECT_EQ(guest->call("Get", {"userflags"}), guest->get("UserFlags"));
    EXPECT_EQ(errorOf([&] { guest->call("Get", {"SetInfo"}); }), codes::kPropertyNotFound);
}

TYPED_TEST(WinNT, EveryCallPassesTheCheckFirst) {
    this->createUser("Tarn_bob");
    this->calls.clear();
    auto user = this->bind("WinNT://WEBSERVER/Tarn_bob,user");
    user->get("ADsPath");
    user->call("SetInfo");
    using Seen = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(this->calls, (Seen{{"GetObject", "WinNT://WEBSERVER/Tarn_bob,user"},
                                 {"ADsPath", "WinNT://WEBSERVER/Tarn_bob"},
                                 {"SetInfo", "WinNT://WEBSERVER/Tarn_bob"}}));

    // A failing check stops the call before it does anything.
    WinNTProvider failing(this->accounts, [](std::string_view member, std::string_view) {
        if (member == "SetInfo") automation::raise(5);
    });
    auto computer = failing.bind("WinNT://WEBSERVER");
    auto created = computer->call("Create", {"User", "Tarn_x"}).object();
    EXPECT_EQ(errorOf([&] { created->call("SetInfo"); }), 5);
    EXPECT_FALSE(this->accounts->find("Tarn_x"));
}

TYPED_TEST(WinNT, OfTwoConcurrentCreationsExactlyOneSucceeds) {
    for (int round = 0; round < 5; ++round) {
        std::string name = "Tarn_race" + std::to_string(round);
        std::array<int32_t, 2> results{};
        std::array<std::shared_ptr<LocalAccounts>, 2> views{this->view(), this->view()};
        std::vector<std::thread> threads;
        for (size_t i = 0; i < 2; ++i) {
            threads.emplace_back([&, i] {
                WinNTProvider own(views[i]);
                results[i] = errorOf([&] {
                    auto user =
                        own.bind("WinNT://WEBSERVER")->call("Create", {"User", name}).object();
                    user->put("Description", "thread " + std::to_string(i));
                    user->call("SetInfo");
                });
            });
        }
        for (auto& thread : threads) thread.join();
        std::sort(results.begin(), results.end());
        EXPECT_EQ(results, (std::array<int32_t, 2>{codes::kUserExists, 0}));
    }
    std::set<uint32_t> rids;
    for (const auto& account : this->accounts->all()) rids.insert(account.key.rid);
    EXPECT_EQ(rids.size(), this->accounts->all().size());
}

}  // namespace
}  // namespace tarnwick::testing
