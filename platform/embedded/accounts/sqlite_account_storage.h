// Local accounts in the platform's SQLite store: tables account_machine,
// accounts and account_members, created when missing. Every read goes to
// the database, so a change made by another process is seen at once; every
// change runs in one IMMEDIATE transaction (a savepoint inside a larger one).
#pragma once

#include <memory>

#include "platform/embedded/accounts/account_storage.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

class SqliteAccountStorage : public AccountStorage {
public:
    explicit SqliteAccountStorage(std::shared_ptr<Store> store);

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
    Database& db() { return store_->db(); }
    // Runs `sql` with the group's and the member's keys bound in that order;
    // true when it changed a row.
    bool changeMembership(std::string_view sql, const AccountKey& group, const AccountKey& member);

    std::shared_ptr<Store> store_;
};

}  // namespace tarnwick::platform::embedded
