// The accounts of the embedded platform in its store: persistence, fault
// injection, the state module and WScript.Network.
#include "platform/embedded/accounts/accounts.h"

#include "account_fixture.h"
#include "platform/embedded/accounts/account_errors.h"

namespace tarnwick::testing {
namespace {

namespace codes = platform::embedded::account_errors;

class PlatformAccounts : public ::testing::Test {
protected:
    TestFolder folder;
    std::shared_ptr<Store> store = Store::initialize(folder.path(), {"WebServer01", 6, 936}, false);
    std::shared_ptr<StoredFaults> faults = std::make_shared<StoredFaults>(store);
    Accounts accounts{store, faults};

    void createUser(Accounts& where, const std::string& name) {
        auto user = where.bind("WinNT://WebServer01")->call("Create", {"User", name}).object();
        user->call("SetPassword", {"pw"});
        user->put("UserFlags", 65536);
        user->call("SetInfo");
    }
};

TEST_F(PlatformAccounts, AccountsPersistAcrossStoresOnOneFolder) {
    createUser(accounts, "Tarn_bob");
    accounts.bind("WinNT://WebServer01/Guests,group")
        ->call("Add", {"WinNT://WORKGROUP/WebServer01/Tarn_bob"});
    auto machine = accounts.local().machineSid();

    Accounts reopened(Store::open(folder.path()), nullptr);
    EXPECT_EQ(reopened.local().machineSid(), machine);
    EXPECT_TRUE(reopened.local().isMember("Guests", "Tarn_bob"));
    EXPECT_TRUE(reopened.local().checkPassword("Tarn_bob", "pw"));
    EXPECT_EQ(reopened.dump(), accounts.dump());
}

TEST_F(PlatformAccounts, InjectedFaultFailsTheCallOnce) {
    faults->add({"SetInfo", "WinNT://*/Tarn_*", static_cast<int32_t>(0x80070005u), true});
    EXPECT_EQ(errorOf([&] { createUser(accounts, "Tarn_bob"); }),
              static_cast<int32_t>(0x80070005u));
    EXPECT_FALSE(accounts.local().find("Tarn_bob"));
    createUser(accounts, "Tarn_bob");
    EXPECT_TRUE(accounts.local().find("Tarn_bob"));

    faults->add({"GetObject", "WinNT://*/Guests,group", 70, false});
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://WebServer01/Guests,group"); }), 70);
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://WebServer01/Guests,group"); }), 70);
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://WebServer01/Users,group"); }), 0);
}

TEST_F(PlatformAccounts, PathsFollowTheStoredComputerName) {
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://WEBSERVER01/Guest"); }), 0);
    auto settings = store->settings();
    settings.computerName = "NEWNAME";
    store->saveSettings(settings);
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://WebServer01/Guest"); }), codes::kBadNetPath);
    EXPECT_EQ(errorOf([&] { accounts.bind("WinNT://newname/Guest"); }), 0);
    EXPECT_EQ(accounts.lookupName("NEWNAME\\Guest")->domain, "NEWNAME");
}

TEST_F(PlatformAccounts, LookupOfBinarySids) {
    auto administrators = well_known_sids::administrators().toBinary();
    EXPECT_EQ(accounts.lookupSid(administrators)->name, "Administrators");
    administrators.push_back(0);
    EXPECT_FALSE(accounts.lookupSid(administrators));
    EXPECT_FALSE(accounts.lookupSid({1, 2, 3}));
    EXPECT_EQ(accounts.lookupName("Everyone")->sid, well_known_sids::everyone().toBinary());
}

TEST_F(PlatformAccounts, LoadInsideTheCallersTransactionRollsBackWithIt) {
    EXPECT_EQ(accounts.name(), "accounts");
    auto before = accounts.dump();
    {
        Transaction transaction(store->db());
        accounts.load({{"users", {{{"name", "Tarn_bob"}}}}});
        EXPECT_TRUE(accounts.local().find("Tarn_bob"));
    }
    EXPECT_EQ(accounts.dump(), before);
}

TEST_F(PlatformAccounts, NetworkObjectGivesTheStoredComputerName) {
    auto network = makeNetworkObject(store, faults);
    EXPECT_EQ(network->get("ComputerName"), Variant("WebServer01"));
    EXPECT_EQ(network->get("computername"), Variant("WebServer01"));
    EXPECT_EQ(network->get("UserDomain"), Variant("WebServer01"));
    EXPECT_EQ(network->get("UserName"), Variant("Administrator"));
    EXPECT_EQ(errorOf([&] { network->put("ComputerName", "x"); }),
              automation::errors::kMemberNotFound);
    EXPECT_EQ(errorOf([&] {
                  network->call("MapNetworkDrive", {"Z:", "\\\\x\\y"});
              }),
              automation::errors::kMemberNotFound);
    faults->add({"ComputerName", "WScript.Network", 445, true});
    EXPECT_EQ(errorOf([&] { network->get("ComputerName"); }), 445);
    EXPECT_EQ(network->get("ComputerName"), Variant("WebServer01"));
}

}  // namespace
}  // namespace tarnwick::testing
