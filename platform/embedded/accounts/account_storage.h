// Where local accounts are kept: the small storage contract under the
// account rules (LocalAccounts). Two implementations: SQLite in the platform
// store, and memory for the Windows test doubles and fast tests.
//
// An account is identified by its SID domain and RID: the machine domain
// (S-1-5-21-a-b-c) holds users and local groups, the built-in domain
// (S-1-5-32) the built-in groups. Names are unique over all accounts,
// ignoring case.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform::embedded {

enum class AccountKind { User, Group };
enum class SidDomain { Machine, Builtin };

struct AccountKey {
    SidDomain domain = SidDomain::Machine;
    uint32_t rid = 0;

    auto operator<=>(const AccountKey&) const = default;
};

struct AccountRecord {
    AccountKey key;
    AccountKind kind = AccountKind::User;
    std::string name;    // as created
    uint32_t flags = 0;  // users: the UF_* flag word
    std::string fullName;
    std::string description;
    std::string passwordSalt;  // hexadecimal; both empty when no password is set
    std::string passwordHash;

    bool hasPassword() const { return !passwordHash.empty(); }
    bool operator==(const AccountRecord&) const = default;
};

// The machine's own identity, made once when the accounts are first set up.
struct MachineIdentity {
    std::array<uint32_t, 3> domainSubAuthorities{};  // the a, b, c of S-1-5-21-a-b-c
    std::string workgroup = "WORKGROUP";
    uint32_t nextRid = 1000;  // RIDs of new accounts start here and are never reused

    bool operator==(const MachineIdentity&) const = default;
};

class AccountStorage {
public:
    virtual ~AccountStorage() = default;

    // Runs `change` as one atomic change: everything it stores, or nothing
    // when it throws. Changes of two callers (threads or processes) do not
    // interleave. May be nested; an inner change joins the outer one.
    virtual void transact(const std::function<void()>& change) = 0;

    virtual std::optional<MachineIdentity> machine() = 0;
    virtual void saveMachine(const MachineIdentity& identity) = 0;

    // The account of that name, ignoring case.
    virtual std::optional<AccountRecord> findByName(std::string_view name) = 0;
    virtual std::optional<AccountRecord> find(const AccountKey& key) = 0;
    // Every account, ordered by key (built-in domain after the machine domain).
    virtual std::vector<AccountRecord> all() = 0;

    // The caller has checked that key and name are free.
    virtual void insert(const AccountRecord& account) = 0;
    // Replaces the stored account with the same key.
    virtual void update(const AccountRecord& account) = 0;
    // Removes the account and every membership that names it.
    virtual void remove(const AccountKey& key) = 0;
    // Removes every account and membership (the machine identity stays).
    virtual void clear() = 0;

    virtual std::vector<AccountKey> members(const AccountKey& group) = 0;
    virtual std::vector<AccountKey> groupsOf(const AccountKey& member) = 0;
    // Both return false when nothing changed.
    virtual bool addMember(const AccountKey& group, const AccountKey& member) = 0;
    virtual bool removeMember(const AccountKey& group, const AccountKey& member) = 0;
};

// The key under which names are unique: ASCII letters folded to upper case.
std::string accountNameKey(std::string_view name);

}  // namespace tarnwick::platform::embedded
