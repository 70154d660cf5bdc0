// The local account database of the machine: users and groups with their
// SIDs, flags, passwords and memberships, and the rules the system applies
// to them. Kept in an AccountStorage; every change is one storage change and
// every read goes to the storage, so two processes see each other's work.
//
// Failures raise automation::AutomationError with the numbers of
// account_errors.h.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/account_lookup.h"
#include "platform/embedded/accounts/account_storage.h"
#include "platform/embedded/accounts/sid.h"

namespace tarnwick::platform::embedded {

// The UF_* bits of a user's flag word.
namespace user_flags {
inline constexpr uint32_t kScript = 0x1;
inline constexpr uint32_t kAccountDisabled = 0x2;
inline constexpr uint32_t kPasswordNotRequired = 0x20;
inline constexpr uint32_t kPasswordCannotChange = 0x40;
inline constexpr uint32_t kNormalAccount = 0x200;
inline constexpr uint32_t kAccountTypeMask = 0x3B00;
inline constexpr uint32_t kPasswordNeverExpires = 0x10000;
}  // namespace user_flags

// The flag word the system keeps for the word a caller writes: the logon
// script bit is always set, and a word without an account type gets the
// normal account type (so 65536 is kept as 66049).
uint32_t storedUserFlags(uint32_t written);

// The RIDs of the built-in accounts.
namespace builtin_rids {
inline constexpr uint32_t kAdministrator = 500;
inline constexpr uint32_t kGuest = 501;
inline constexpr uint32_t kAdministrators = 544;
inline constexpr uint32_t kUsers = 545;
inline constexpr uint32_t kGuests = 546;
inline constexpr uint32_t kPowerUsers = 547;
inline constexpr uint32_t kFirstLocal = 1000;
}  // namespace builtin_rids

struct NewAccount {
    AccountKind kind = AccountKind::User;
    std::string name;
    std::optional<uint32_t> flags;  // users; 0 when not given (stored as 513)
    std::string fullName;
    std::string description;
    std::optional<std::string> password;
};

struct AccountChanges {
    std::optional<std::string> fullName;
    std::optional<std::string> description;
    std::optional<uint32_t> flags;
};

class LocalAccounts {
public:
    // `computerName` gives the machine's name at each use: the domain name
    // of its accounts in lookups. Sets up the machine's identity and the
    // built-in accounts when the storage holds none.
    LocalAccounts(std::shared_ptr<AccountStorage> storage,
                  std::function<std::string()> computerName);

    // Adds whatever built-in account is missing: the groups Administrators,
    // Users, Guests and Power Users, the users Administrator (in
    // Administrators) and Guest (in Guests), and the machine identity with a
    // random domain SID. Changes nothing that exists.
    void seedDefaults();

    std::string computerName() { return computerName_(); }
    MachineIdentity machine();
    Sid machineSid();
    Sid sidOf(const AccountKey& key);

    std::optional<AccountRecord> find(std::string_view name);
    // The user or group of that name; raises "user not found" / "group not found".
    AccountRecord user(std::string_view name);
    AccountRecord group(std::string_view name);
    std::vector<AccountRecord> all();

    // Creates an account as one change. Raises kBadUserName for a name the
    // system refuses, kUserExists when a user has the name, kGroupExists
    // when a group has it.
    AccountRecord create(const NewAccount& account);
    // Changes a user's or group's properties as one change.
    AccountRecord change(AccountKind kind, std::string_view name, const AccountChanges& changes);
    void setPassword(std::string_view userName, std::string_view password);
    bool checkPassword(std::string_view userName, std::string_view password);
    // Deletes the account with its memberships. Raises "not found" of the
    // given class when the name is missing or of the other class, and
    // kSpecialAccount for a built-in account.
    void remove(AccountKind kind, std::string_view name);

    // Group membership; the member is a user. addMember raises kGroupNotFound,
    // kNoSuchMember, kInvalidMember (a group as member) or kAlreadyMember;
    // removeMember raises kMemberNotInGroup when it is not a member.
    void addMember(std::string_view groupName, std::string_view memberName);
    void removeMember(std::string_view groupName, std::string_view memberName);
    bool isMember(std::string_view groupName, std::string_view memberName);
    std::vector<AccountRecord> members(std::string_view groupName);
    std::vector<AccountRecord> groupsOf(std::string_view userName);

    // Name and SID resolution as LookupAccountName/LookupAccountSid do it.
    std::optional<AccountIdentity> lookupName(std::string_view name);
    std::optional<AccountIdentity> lookupSid(const Sid& sid);

    // The whole database as a state document, and its replacement by one
    // (see account_state.cpp for the format). load() throws LoadError with the
    // JSON path of the problem and then changes nothing.
    nlohmann::json dump();
    void load(const nlohmann::json& document);

    AccountStorage& storage() { return *storage_; }

private:
    AccountIdentity identityOf(const AccountRecord& account);
    uint32_t allocateRid();

    std::shared_ptr<AccountStorage> storage_;
    std::function<std::string()> computerName_;
};

// Whether the system accepts `name` for a new user or group: not empty, not
// only dots and blanks, none of " / \ [ ] : ; | = , + * ? < > or control
// characters, and at most 20 characters for a user (256 for a group).
bool isValidAccountName(AccountKind kind, std::string_view name);

}  // namespace tarnwick::platform::embedded
