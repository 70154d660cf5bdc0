#include "platform/embedded/accounts/memory_account_storage.h"

#include <stdexcept>

namespace tarnwick::platform::embedded {

void MemoryAccountStorage::transact(const std::function<void()>& change) {
    std::lock_guard lock(mutex_);
    State before = state_;
    try {
        change();
    } catch (...) {
        state_ = std::move(before);
        throw;
    }
}

std::optional<MachineIdentity> MemoryAccountStorage::machine() {
    std::lock_guard lock(mutex_);
    return state_.machine;
}

void MemoryAccountStorage::saveMachine(const MachineIdentity& identity) {
    std::lock_guard lock(mutex_);
    state_.machine = identity;
}

std::optional<AccountRecord> MemoryAccountStorage::findByName(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto key = accountNameKey(name);
    for (const auto& [id, account] : state_.accounts) {
        if (accountNameKey(account.name) == key) return account;
    }
    return std::nullopt;
}

std::optional<AccountRecord> MemoryAccountStorage::find(const AccountKey& key) {
    std::lock_guard lock(mutex_);
    auto found = state_.accounts.find(key);
    if (found == state_.accounts.end()) return std::nullopt;
    return found->second;
}

std::vector<AccountRecord> MemoryAccountStorage::all() {
    std::lock_guard lock(mutex_);
    std::vector<AccountRecord> accounts;
    for (const auto& [key, account] : state_.accounts) accounts.push_back(account);
    return accounts;
}

void MemoryAccountStorage::insert(const AccountRecord& account) {
    std::lock_guard lock(mutex_);
    if (state_.accounts.contains(account.key) || findByName(account.name)) {
        throw std::logic_error("account storage: key or name already taken");
    }
    state_.accounts[account.key] = account;
}

void MemoryAccountStorage::update(const AccountRecord& account) {
    std::lock_guard lock(mutex_);
    auto found = state_.accounts.find(account.key);
    if (found == state_.accounts.end()) throw std::logic_error("account storage: no such account");
    found->second = account;
}

void MemoryAccountStorage::remove(const AccountKey& key) {
    std::lock_guard lock(mutex_);
    state_.accounts.erase(key);
    std::erase_if(state_.memberships,
                  [&](const auto& pair) { return pair.first == key || pair.second == key; });
}

void MemoryAccountStorage::clear() {
    std::lock_guard lock(mutex_);
    state_.accounts.clear();
    state_.memberships.clear();
}

std::vector<AccountKey> MemoryAccountStorage::members(const AccountKey& group) {
    std::lock_guard lock(mutex_);
    std::vector<AccountKey> result;
    for (const auto& [owner, member] : state_.memberships) {
        if (owner == group) result.push_back(member);
    }
    return result;
}

std::vector<AccountKey> MemoryAccountStorage::groupsOf(const AccountKey& member) {
    std::lock_guard lock(mutex_);
    std::vector<AccountKey> result;
    for (const auto& [group, who] : state_.memberships) {
        if (who == member) result.push_back(group);
    }
    return result;
}

bool MemoryAccountStorage::addMember(const AccountKey& group, const AccountKey& member) {
    std::lock_guard lock(mutex_);
    return state_.memberships.insert({group, member}).second;
}

bool MemoryAccountStorage::removeMember(const AccountKey& group, const AccountKey& member) {
    std::lock_guard lock(mutex_);
    return state_.memberships.erase({group, member}) > 0;
}

}  // namespace tarnwick::platform::embedded
