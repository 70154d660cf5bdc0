// Local accounts kept in memory: for the Windows test doubles, which have no
// SQLite, and for fast tests. Safe to share between threads.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/embedded/accounts/account_storage.h"

namespace tarnwick::platform::embedded {

class MemoryAccountStorage : public AccountStorage {
public:
    void transact(const std::function<void()>& change) override;

    std::optional<MachineIdentity> machine() override;
    void saveMachine(const MachineIdentity& identity) override;

    std::optional<AccountRecord> findByName(std::string_view name) override;
    std::optional<AccountRecord> find(const AccountKey& key) override;
    std::vector<AccountRecord> all() override;

    void insert(const AccountRecord& account) override;
    void update(const AccountRecord& account) override;
    void remove(const AccountKey& key) override;
    void clear() override;

    std::vector<AccountKey> members(const AccountKey& group) override;
    std::vector<AccountKey> groupsOf(const AccountKey& member) override;
    bool addMember(const AccountKey& group, const AccountKey& member) override;
    bool removeMember(const AccountKey& group, const AccountKey& member) override;

private:
    struct State {
        std::optional<MachineIdentity> machine;
        std::map<AccountKey, AccountRecord> accounts;
        std::set<std::pair<AccountKey, AccountKey>> memberships;  // (group, member)
    };

    std::recursive_mutex mutex_;
    State state_;
};

}  // namespace tarnwick::platform::embedded
