// Name and SID resolution, and the accounts a fresh machine has.
#include "account_fixture.h"

namespace tarnwick::testing {
namespace {

template <class Backend>
class Lookup : public AccountsOn<Backend> {
protected:
    std::string sidText(std::string_view name) {
        auto identity = this->accounts->lookupName(name);
        if (!identity) return "(none)";
        return Sid::fromBinary(identity->sid)->toText();
    }
};
TYPED_TEST_SUITE(Lookup, Backends, BackendNames);

TYPED_TEST(Lookup, FreshMachineHasTheBuiltInAccounts) {
    auto machine = this->accounts->machineSid().toText();
    EXPECT_EQ(machine.rfind("S-1-5-21-", 0), 0u);
    EXPECT_EQ(this->sidText("Administrators"), "S-1-5-32-544");
    EXPECT_EQ(this->sidText("Users"), "S-1-5-32-545");
    EXPECT_EQ(this->sidText("Guests"), "S-1-5-32-546");
    EXPECT_EQ(this->sidText("Power Users"), "S-1-5-32-547");
    EXPECT_EQ(this->sidText("Administrator"), machine + "-500");
    EXPECT_EQ(this->sidText("Guest"), machine + "-501");
    EXPECT_TRUE(this->accounts->isMember("Administrators", "Administrator"));
    EXPECT_TRUE(this->accounts->isMember("Guests", "Guest"));
    EXPECT_FALSE(this->accounts->isMember("Users", "Guest"));
    // Seeding again changes nothing; another view finds the same machine.
    auto before = this->accounts->dump();
    this->accounts->seedDefaults();
    EXPECT_EQ(this->view()->dump(), before);
}

TYPED_TEST(Lookup, NamesInTheirAcceptedForms) {
    this->createUser("Tarn_bob");
    auto bob = this->accounts->sidOf(this->accounts->user("Tarn_bob").key).toText();
    EXPECT_EQ(this->sidText("tarn_BOB"), bob);
    EXPECT_EQ(this->sidText("webserver\\Tarn_bob"), bob);
    EXPECT_EQ(this->sidText("BUILTIN\\Tarn_bob"), "(none)");
    EXPECT_EQ(this->sidText("builtin\\administrators"), "S-1-5-32-544");
    EXPECT_EQ(this->sidText("WEBSERVER\\Administrators"), "(none)");
    EXPECT_EQ(this->sidText("OTHER\\Tarn_bob"), "(none)");
    EXPECT_EQ(this->sidText("Everyone"), "S-1-1-0");
    EXPECT_EQ(this->sidText("creator owner"), "S-1-3-0");
    EXPECT_EQ(this->sidText("SYSTEM"), "S-1-5-18");
    EXPECT_EQ(this->sidText("NT AUTHORITY\\SYSTEM"), "S-1-5-18");
    EXPECT_EQ(this->sidText("nobody"), "(none)");
    EXPECT_EQ(this->sidText("WEBSERVER\\"), "(none)");

    auto identity = *this->accounts->lookupName("TARN_BOB");
    EXPECT_EQ(identity.name, "Tarn_bob");
    EXPECT_EQ(identity.domain, "WEBSERVER");
    EXPECT_EQ(identity.use, 1u);
    auto group = *this->accounts->lookupName("guests");
    EXPECT_EQ(group.domain, "BUILTIN");
    EXPECT_EQ(group.use, 4u);
    auto system = *this->accounts->lookupName("system");
    EXPECT_EQ(system.name, "SYSTEM");
    EXPECT_EQ(system.domain, "NT AUTHORITY");
    EXPECT_EQ(system.use, 5u);
    auto domain = *this->accounts->lookupName("WebServer");
    EXPECT_EQ(domain.use, 3u);
    EXPECT_EQ(Sid::fromBinary(domain.sid), this->accounts->machineSid());
}

TYPED_TEST(Lookup, SidsResolveToTheirNames) {
    this->createUser("Tarn_bob");
    auto nameOf = [&](const std::string& text) -> std::string {
        auto identity = this->accounts->lookupSid(*Sid::parse(text));
        return identity ? identity->domain + "\\" + identity->name : "(none)";
    };
    auto machine = this->accounts->machineSid().toText();
    EXPECT_EQ(nameOf(machine + "-1000"), "WEBSERVER\\Tarn_bob");
    EXPECT_EQ(nameOf(machine + "-500"), "WEBSERVER\\Administrator");
    EXPECT_EQ(nameOf(machine + "-1001"), "(none)");
    EXPECT_EQ(nameOf("S-1-5-32-546"), "BUILTIN\\Guests");
    EXPECT_EQ(nameOf("S-1-5-32-999"), "(none)");
    EXPECT_EQ(nameOf("S-1-1-0"), "\\Everyone");
    EXPECT_EQ(nameOf("S-1-5-18"), "NT AUTHORITY\\SYSTEM");
    EXPECT_EQ(nameOf("S-1-5-21-1-2-3-1000"), "(none)");
    EXPECT_EQ(nameOf(machine), "WEBSERVER\\WEBSERVER");
}

TYPED_TEST(Lookup, RidsCountUpAcrossUsersAndGroups) {
    this->createUser("Tarn_a");
    NewAccount sites;
    sites.kind = AccountKind::Group;
    sites.name = "Sites";
    this->accounts->create(sites);
    this->createUser("Tarn_b");
    EXPECT_EQ(this->accounts->user("Tarn_a").key.rid, 1000u);
    EXPECT_EQ(this->accounts->group("Sites").key.rid, 1001u);
    EXPECT_EQ(this->accounts->user("Tarn_b").key.rid, 1002u);
    EXPECT_EQ(this->view()->machine().nextRid, 1003u);
}

}  // namespace
}  // namespace tarnwick::testing
