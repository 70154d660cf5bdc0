// The accounts as a state document: dump, load, and loads that fail.
#include "account_fixture.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

template <class Backend>
class AccountState : public AccountsOn<Backend> {
protected:
    // The message of the LoadError that loading `document` throws.
    std::string loadError(const json& document) {
        try {
            this->accounts->load(document);
        } catch (const LoadError& error) {
            return error.what();
        }
        return "(loaded)";
    }
    json userEntry(const json& dump, std::string_view name) {
        for (const auto& user : dump.at("users")) {
            if (user.at("name") == name) return user;
        }
        return nullptr;
    }
};
TYPED_TEST_SUITE(AccountState, Backends, BackendNames);

TYPED_TEST(AccountState, DumpLoadRoundTripKeepsEverything) {
    this->createUser("Tarn_bob", "pw", "Bob", "site");
    this->accounts->addMember("Guests", "Tarn_bob");
    NewAccount sites;
    sites.kind = AccountKind::Group;
    sites.name = "Sites";
    sites.description = "d";
    this->accounts->create(sites);
    this->accounts->addMember("Sites", "Tarn_bob");
    this->accounts->remove(AccountKind::User, "Tarn_bob");
    this->createUser("Tarn_bob", "pw2", "Bob", "site");
    this->accounts->addMember("Guests", "Tarn_bob");
    auto dump = this->accounts->dump();

    auto bob = this->userEntry(dump, "Tarn_bob");
    EXPECT_EQ(bob.at("groups"), json({"Guests"}));
    EXPECT_EQ(bob.at("passwordSet"), true);
    EXPECT_EQ(bob.at("flags"), 0x10201);
    EXPECT_EQ(dump.at("nextRid"), 1003);
    EXPECT_EQ(dump.dump().find("pw2"), std::string::npos);

    // Loaded into a fresh machine, the document gives the same state.
    TypeParam other;
    LocalAccounts copy(other.open(), [] { return "WEBSERVER"; });
    copy.load(dump);
    EXPECT_EQ(copy.dump(), dump);
    EXPECT_TRUE(copy.checkPassword("Tarn_bob", "pw2"));
    // Loading the same document again changes nothing.
    this->accounts->load(dump);
    EXPECT_EQ(this->accounts->dump(), dump);
}

TYPED_TEST(AccountState, CompactDocumentGetsSidsAndBuiltIns) {
    this->createUser("Tarn_old");
    auto machine = this->accounts->machineSid();
    this->accounts->load({{"users",
                           {{{"name", "Tarn_bob"}, {"groups", {"Guests"}}, {"password", "pw"}},
                            {{"name", "Tarn_eve"}, {"sid", machine.withRid(1500).toText()}}}}});
    EXPECT_FALSE(this->accounts->find("Tarn_old"));
    EXPECT_EQ(this->accounts->machineSid(), machine);
    auto bob = this->accounts->user("Tarn_bob");
    EXPECT_EQ(bob.key.rid, 1001u);  // 1000 was Tarn_old's: RIDs are not given twice
    EXPECT_EQ(bob.flags, 0x201u);
    EXPECT_TRUE(this->accounts->checkPassword("Tarn_bob", "pw"));
    EXPECT_TRUE(this->accounts->isMember("Guests", "Tarn_bob"));
    EXPECT_TRUE(this->accounts->isMember("Guests", "Guest"));
    EXPECT_EQ(this->accounts->user("Tarn_eve").key.rid, 1500u);
    EXPECT_EQ(this->accounts->machine().nextRid, 1501u);
    EXPECT_TRUE(this->accounts->find("Administrator"));
}

TYPED_TEST(AccountState, DocumentChangesBuiltInAccounts) {
    this->accounts->load({{"users", {{{"name", "Admin"}, {"sid", "S-1-5-21-10-20-30-500"}}}},
                          {"groups", {{{"name", "Administrators"}, {"members", json::array()}}}},
                          {"machineSid", "S-1-5-21-10-20-30"},
                          {"workgroup", "HOSTING"}});
    EXPECT_FALSE(this->accounts->find("Administrator"));
    EXPECT_EQ(this->accounts->user("Admin").key.rid, 500u);
    EXPECT_TRUE(this->accounts->members("Administrators").empty());
    EXPECT_EQ(this->accounts->machineSid().toText(), "S-1-5-21-10-20-30");
    EXPECT_EQ(this->bind("WinNT://WEBSERVER/Admin")->get("ADsPath"),
              Variant("WinNT://HOSTING/WEBSERVER/Admin"));
}

TYPED_TEST(AccountState, FailingLoadsNameThePlaceAndChangeNothing) {
    this->createUser("Tarn_bob");
    auto before = this->accounts->dump();
    auto machine = this->accounts->machineSid();
    struct Case {
        json document;
        std::string where;
    };
    for (const auto& c : std::vector<Case>{
             {{{"users", {{{"name", "Tarn_x"}, {"groups", {"Guests", "Nobody"}}}}}},
              "accounts.users[0].groups[1]: unknown group \"Nobody\""},
             {{{"groups", {{{"name", "Sites"}, {"members", {"Nobody"}}}}}},
              "accounts.groups[0].members[0]: unknown user \"Nobody\""},
             {{{"users", {{{"name", "Tarn_x"}}, {{"name", "TARN_X"}}}}},
              "accounts.users[1].name: "},
             {{{"users", {{{"name", "Guests"}}}}}, "accounts.users[0]: "},
             {{{"users", {{{"name", "Tarn_x"}, {"sid", "S-1-5-21-x"}}}}},
              "accounts.users[0].sid: not a SID"},
             {{{"users", {{{"name", "Tarn_x"}, {"sid", "S-1-5-21-9-9-9-1000"}}}}},
              "accounts.users[0].sid: "},
             {{{"users",
                {{{"name", "a"}, {"sid", machine.withRid(1000).toText()}},
                 {{"name", "b"}, {"sid", machine.withRid(1000).toText()}}}}},
              "accounts.users[1].sid: the SID is used twice"},
             {{{"users", {{{"name", "a/b"}}}}}, "accounts.users[0].name: "},
             {{{"users", {{{"nmae", "x"}}}}}, "accounts.users[0].nmae: unknown field"},
             {{{"users", {{{"name", "x"}, {"flags", -1}}}}}, "accounts.users[0].flags: "},
             {{{"users", {{{"name", "x"}, {"password", {{"salt", "00"}}}}}}},
              "accounts.users[0].password: "},
             {{{"machineSid", "S-1-5-32"}}, "accounts.machineSid: "},
             {{{"groups", {{{"name", "Sites"}, {"sid", "S-1-5-32-600"}}}}},
              "accounts.groups[0].sid: "},
             {{{"users", "Tarn_x"}}, "accounts.users: must be a list"},
             {json::array(), "accounts: must be an object"},
         }) {
        auto message = this->loadError(c.document);
        EXPECT_EQ(message.rfind(c.where, 0), 0u) << message;
        EXPECT_EQ(this->accounts->dump(), before) << c.where;
    }
}

}  // namespace
}  // namespace tarnwick::testing
