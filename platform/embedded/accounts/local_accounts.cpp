#include "platform/embedded/accounts/local_accounts.h"

#include "automation/error.h"
#include "automation/text.h"
#include "platform/embedded/accounts/account_errors.h"
#include "platform/embedded/accounts/password.h"
#include "platform/embedded/accounts/secure_random.h"
#include "platform/embedded/accounts/well_known.h"

namespace tarnwick::platform::embedded {

namespace {

using automation::equalsIgnoreCase;
using automation::raise;

struct BuiltinAccount {
    AccountKey key;
    AccountKind kind;
    const char* name;
    uint32_t flags;
    const char* description;
    std::optional<uint32_t> memberOf;  // RID of a built-in group
};

const std::vector<BuiltinAccount>& builtinAccounts() {
    using namespace builtin_rids;
    using namespace user_flags;
    // One account per entry.
    // clang-format off
    static const std::vector<BuiltinAccount> accounts = {
        {{SidDomain::Builtin, kAdministrators}, AccountKind::Group, "Administrators", 0,
         "Members have complete and unrestricted access to the computer", std::nullopt},
        {{SidDomain::Builtin, kUsers}, AccountKind::Group, "Users", 0,
         "Members can run applications but cannot make system-wide changes", std::nullopt},
        {{SidDomain::Builtin, kGuests}, AccountKind::Group, "Guests", 0,
         "Members have the access of Users, further restricted for the Guest account",
         std::nullopt},
        {{SidDomain::Builtin, kPowerUsers}, AccountKind::Group, "Power Users", 0,
         "Members have most administrative powers, with some restrictions", std::nullopt},
        {{SidDomain::Machine, kAdministrator}, AccountKind::User, "Administrator",
         kScript | kNormalAccount | kPasswordNeverExpires,
         "Built-in account for administering the computer", kAdministrators},
        {{SidDomain::Machine, kGuest}, AccountKind::User, "Guest",
         kScript | kAccountDisabled | kPasswordNotRequired | kPasswordCannotChange |
             kNormalAccount | kPasswordNeverExpires,
         "Built-in account for guest access to the computer", kGuests},
    };
    // clang-format on
    return accounts;
}

bool isBuiltin(const AccountKey& key) {
    return key.domain == SidDomain::Builtin || key.rid < builtin_rids::kFirstLocal;
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

int32_t notFound(AccountKind kind) {
    return kind == AccountKind::User ? account_errors::kUserNotFound
                                     : account_errors::kGroupNotFound;
}

std::string_view className(AccountKind kind) {
    return kind == AccountKind::User ? "user" : "group";
}

}  // namespace

uint32_t storedUserFlags(uint32_t written) {
    uint32_t flags = written | user_flags::kScript;
    if ((flags & user_flags::kAccountTypeMask) == 0) flags |= user_flags::kNormalAccount;
    return flags;
}

bool isValidAccountName(AccountKind kind, std::string_view name) {
    size_t length = characterCount(name);
    if (length == 0 || length > (kind == AccountKind::User ? 20u : 256u)) return false;
    if (name.find_first_not_of(". ") == std::string_view::npos) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
        if (std::string_view("\"/\\[]:;|=,+*?<>").find(c) != std::string_view::npos) return false;
    }
    return true;
}

LocalAccounts::LocalAccounts(std::shared_ptr<AccountStorage> storage,
                             std::function<std::string()> computerName)
    : storage_(std::move(storage)), computerName_(std::move(computerName)) {
    if (!storage_->machine()) seedDefaults();
}

void LocalAccounts::seedDefaults() {
    storage_->transact([&] {
        if (!storage_->machine()) {
            MachineIdentity identity;
            for (auto& value : identity.domainSubAuthorities) value = randomWord();
            storage_->saveMachine(identity);
        }
        for (const auto& builtin : builtinAccounts()) {
            if (storage_->find(builtin.key) || storage_->findByName(builtin.name)) continue;
            AccountRecord account;
            account.key = builtin.key;
            account.kind = builtin.kind;
            account.name = builtin.name;
            account.flags = builtin.flags;
            account.description = builtin.description;
            storage_->insert(account);
            if (builtin.memberOf) {
                AccountKey group{SidDomain::Builtin, *builtin.memberOf};
                if (storage_->find(group)) storage_->addMember(group, builtin.key);
            }
        }
    });
}

MachineIdentity LocalAccounts::machine() {
    if (auto identity = storage_->machine()) return *identity;
    seedDefaults();
    return *storage_->machine();
}

Sid LocalAccounts::machineSid() {
    auto identity = machine();
    Sid sid{Sid::kRevision, 5, {21}};
    for (uint32_t value : identity.domainSubAuthorities) sid.subAuthorities.push_back(value);
    return sid;
}

Sid LocalAccounts::sidOf(const AccountKey& key) {
    return (key.domain == SidDomain::Builtin ? well_known_sids::builtinDomain() : machineSid())
        .withRid(key.rid);
}

std::optional<AccountRecord> LocalAccounts::find(std::string_view name) {
    return storage_->findByName(name);
}

AccountRecord LocalAccounts::user(std::string_view name) {
    auto account = storage_->findByName(name);
    if (!account || account->kind != AccountKind::User) {
        raise(account_errors::kUserNotFound, "The user name could not be found.");
    }
    return *account;
}

AccountRecord LocalAccounts::group(std::string_view name) {
    auto account = storage_->findByName(name);
    if (!account || account->kind != AccountKind::Group) {
        raise(account_errors::kGroupNotFound, "The group name could not be found.");
    }
    return *account;
}

std::vector<AccountRecord> LocalAccounts::all() { return storage_->all(); }

uint32_t LocalAccounts::allocateRid() {
    auto identity = machine();
    uint32_t rid = std::max(identity.nextRid, builtin_rids::kFirstLocal);
    while (storage_->find({SidDomain::Machine, rid})) ++rid;
    identity.nextRid = rid + 1;
    storage_->saveMachine(identity);
    return rid;
}

AccountRecord LocalAccounts::create(const NewAccount& request) {
    if (!isValidAccountName(request.kind, request.name)) {
        raise(account_errors::kBadUserName, "The user name or group name parameter is invalid.");
    }
    AccountRecord account;
    storage_->transact([&] {
        if (auto existing = storage_->findByName(request.name)) {
            if (existing->kind == AccountKind::User) {
                raise(account_errors::kUserExists, "The account already exists.");
            }
            raise(account_errors::kGroupExists, "The specified local group already exists.");
        }
        account.key = {SidDomain::Machine, allocateRid()};
        account.kind = request.kind;
        account.name = request.name;
        if (request.kind == AccountKind::User) {
            account.flags = storedUserFlags(request.flags.value_or(0));
            account.fullName = request.fullName;
        }
        account.description = request.description;
        if (request.password && request.kind == AccountKind::User) {
            auto hash = hashPassword(*request.password);
            account.passwordSalt = hash.salt;
            account.passwordHash = hash.hash;
        }
        storage_->insert(account);
    });
    return account;
}

AccountRecord LocalAccounts::change(AccountKind kind, std::string_view name,
                                    const AccountChanges& changes) {
    AccountRecord account;
    storage_->transact([&] {
        account = kind == AccountKind::User ? user(name) : group(name);
        if (changes.description) account.description = *changes.description;
        if (kind == AccountKind::User) {
            if (changes.fullName) account.fullName = *changes.fullName;
            if (changes.flags) account.flags = storedUserFlags(*changes.flags);
        }
        storage_->update(account);
    });
    return account;
}

void LocalAccounts::setPassword(std::string_view userName, std::string_view password) {
    storage_->transact([&] {
        auto account = user(userName);
        auto hash = hashPassword(password);
        account.passwordSalt = hash.salt;
        account.passwordHash = hash.hash;
        storage_->update(account);
    });
}

bool LocalAccounts::checkPassword(std::string_view userName, std::string_view password) {
    auto account = storage_->findByName(userName);
    if (!account || account->kind != AccountKind::User) return false;
    if (!account->hasPassword()) return password.empty();
    return verifyPassword({account->passwordSalt, account->passwordHash}, password);
}

void LocalAccounts::remove(AccountKind kind, std::string_view name) {
    storage_->transact([&] {
        auto account = storage_->findByName(name);
        if (!account || account->kind != kind) {
            raise(notFound(kind),
                  std::string("The ") + std::string(className(kind)) + " name could not be found.");
        }
        if (isBuiltin(account->key)) {
            raise(account_errors::kSpecialAccount,
                  "Cannot perform this operation on built-in accounts.");
        }
        storage_->remove(account->key);
    });
}

void LocalAccounts::addMember(std::string_view groupName, std::string_view memberName) {
    storage_->transact([&] {
        auto owner = group(groupName);
        auto member = storage_->findByName(memberName);
        if (!member) {
            raise(account_errors::kNoSuchMember,
                  "A new member could not be added to a local group because the member does "
                  "not exist.");
        }
        if (member->kind == AccountKind::Group) {
            raise(account_errors::kInvalidMember,
                  "A new member could not be added to a local group because the member has the "
                  "wrong account type.");
        }
        if (!storage_->addMember(owner.key, member->key)) {
            raise(account_errors::kAlreadyMember,
                  "The specified account name is already a member of the group.");
        }
    });
}

void LocalAccounts::removeMember(std::string_view groupName, std::string_view memberName) {
    storage_->transact([&] {
        auto owner = group(groupName);
        auto member = storage_->findByName(memberName);
        if (!member || !storage_->removeMember(owner.key, member->key)) {
            raise(account_errors::kMemberNotInGroup,
                  "The specified account name is not a member of the group.");
        }
    });
}

bool LocalAccounts::isMember(std::string_view groupName, std::string_view memberName) {
    auto owner = group(groupName);
    auto member = storage_->findByName(memberName);
    if (!member) return false;
    for (const auto& key : storage_->members(owner.key)) {
        if (key == member->key) return true;
    }
    return false;
}

std::vector<AccountRecord> LocalAccounts::members(std::string_view groupName) {
    std::vector<AccountRecord> result;
    for (const auto& key : storage_->members(group(groupName).key)) {
        if (auto account = storage_->find(key)) result.push_back(*account);
    }
    return result;
}

std::vector<AccountRecord> LocalAccounts::groupsOf(std::string_view userName) {
    std::vector<AccountRecord> result;
    for (const auto& key : storage_->groupsOf(user(userName).key)) {
        if (auto account = storage_->find(key)) result.push_back(*account);
    }
    return result;
}

AccountIdentity LocalAccounts::identityOf(const AccountRecord& account) {
    AccountIdentity identity;
    identity.sid = sidOf(account.key).toBinary();
    identity.domain = account.key.domain == SidDomain::Builtin ? "BUILTIN" : computerName();
    identity.name = account.name;
    identity.use = account.kind == AccountKind::User ? 1 : 4;
    return identity;
}

std::optional<AccountIdentity> LocalAccounts::lookupName(std::string_view fullName) {
    constexpr uint32_t kUseDomain = 3;
    constexpr uint32_t kUseWellKnown = 5;
    std::optional<std::string_view> domain;
    std::string_view name = fullName;
    if (auto slash = fullName.find('\\'); slash != std::string_view::npos) {
        domain = fullName.substr(0, slash);
        name = fullName.substr(slash + 1);
    }
    std::string computer = computerName();
    if (name.empty()) return std::nullopt;

    if (auto* principal = findWellKnown(domain, name)) {
        return AccountIdentity{principal->sid.toBinary(), std::string(principal->domain),
                               std::string(principal->name), kUseWellKnown};
    }
    if (!domain) {
        if (equalsIgnoreCase(name, computer)) {
            return AccountIdentity{machineSid().toBinary(), computer, computer, kUseDomain};
        }
        if (equalsIgnoreCase(name, "BUILTIN")) {
            return AccountIdentity{well_known_sids::builtinDomain().toBinary(), "BUILTIN",
                                   "BUILTIN", kUseDomain};
        }
    }
    auto account = storage_->findByName(name);
    if (!account) return std::nullopt;
    if (domain) {
        bool builtin = account->key.domain == SidDomain::Builtin;
        if (!equalsIgnoreCase(*domain, builtin ? std::string_view("BUILTIN") : computer)) {
            return std::nullopt;
        }
    }
    return identityOf(*account);
}

std::optional<AccountIdentity> LocalAccounts::lookupSid(const Sid& sid) {
    constexpr uint32_t kUseDomain = 3;
    constexpr uint32_t kUseWellKnown = 5;
    if (auto* principal = findWellKnown(sid)) {
        return AccountIdentity{principal->sid.toBinary(), std::string(principal->domain),
                               std::string(principal->name), kUseWellKnown};
    }
    Sid machineDomain = machineSid();
    if (sid == machineDomain) {
        return AccountIdentity{sid.toBinary(), computerName(), computerName(), kUseDomain};
    }
    if (sid == well_known_sids::builtinDomain()) {
        return AccountIdentity{sid.toBinary(), "BUILTIN", "BUILTIN", kUseDomain};
    }
    auto rid = sid.rid();
    if (!rid) return std::nullopt;
    std::optional<AccountRecord> account;
    if (sid.domain() == machineDomain) {
        account = storage_->find({SidDomain::Machine, *rid});
    } else if (sid.domain() == well_known_sids::builtinDomain()) {
        account = storage_->find({SidDomain::Builtin, *rid});
    }
    if (!account) return std::nullopt;
    return identityOf(*account);
}

}  // namespace tarnwick::platform::embedded
