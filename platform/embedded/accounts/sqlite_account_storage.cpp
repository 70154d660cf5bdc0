#include "platform/embedded/accounts/sqlite_account_storage.h"

namespace tarnwick::platform::embedded {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS account_machine (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    domain_a INTEGER NOT NULL,
    domain_b INTEGER NOT NULL,
    domain_c INTEGER NOT NULL,
    workgroup TEXT NOT NULL,
    next_rid INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS accounts (
    sid_domain INTEGER NOT NULL,  -- 0 the machine domain, 1 the built-in domain
    rid INTEGER NOT NULL,
    class TEXT NOT NULL CHECK (class IN ('user', 'group')),
    name TEXT NOT NULL,
    name_key TEXT NOT NULL UNIQUE,
    flags INTEGER NOT NULL DEFAULT 0,
    full_name TEXT NOT NULL DEFAULT '',
    description TEXT NOT NULL DEFAULT '',
    password_salt TEXT NOT NULL DEFAULT '',
    password_hash TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (sid_domain, rid)
);
CREATE TABLE IF NOT EXISTS account_members (
    group_domain INTEGER NOT NULL,
    group_rid INTEGER NOT NULL,
    member_domain INTEGER NOT NULL,
    member_rid INTEGER NOT NULL,
    PRIMARY KEY (group_domain, group_rid, member_domain, member_rid),
    FOREIGN KEY (group_domain, group_rid) REFERENCES accounts(sid_domain, rid) ON DELETE CASCADE,
    FOREIGN KEY (member_domain, member_rid) REFERENCES accounts(sid_domain, rid) ON DELETE CASCADE
);
)sql";

constexpr const char* kColumns =
    "sid_domain, rid, class, name, flags, full_name, description, password_salt, password_hash";

int domainCode(SidDomain domain) { return domain == SidDomain::Builtin ? 1 : 0; }
SidDomain domainOf(int64_t code) { return code == 1 ? SidDomain::Builtin : SidDomain::Machine; }

AccountRecord readAccount(const Statement& row) {
    AccountRecord account;
    account.key = {domainOf(row.integer(0)), static_cast<uint32_t>(row.integer(1))};
    account.kind = row.text(2) == "group" ? AccountKind::Group : AccountKind::User;
    account.name = row.text(3);
    account.flags = static_cast<uint32_t>(row.integer(4));
    account.fullName = row.text(5);
    account.description = row.text(6);
    account.passwordSalt = row.text(7);
    account.passwordHash = row.text(8);
    return account;
}

std::vector<AccountKey> readKeys(Statement& query) {
    std::vector<AccountKey> keys;
    while (query.step()) {
        keys.push_back({domainOf(query.integer(0)), static_cast<uint32_t>(query.integer(1))});
    }
    return keys;
}

}  // namespace

SqliteAccountStorage::SqliteAccountStorage(std::shared_ptr<Store> store)
    : store_(std::move(store)) {
    store_->ensureSchema(kSchema);
}

void SqliteAccountStorage::transact(const std::function<void()>& change) {
    Transaction transaction(db());
    change();
    transaction.commit();
}

std::optional<MachineIdentity> SqliteAccountStorage::machine() {
    auto query = db().prepare(
        "SELECT domain_a, domain_b, domain_c, workgroup, next_rid FROM account_machine");
    if (!query.step()) return std::nullopt;
    MachineIdentity identity;
    for (int i = 0; i < 3; ++i) {
        identity.domainSubAuthorities[static_cast<size_t>(i)] =
            static_cast<uint32_t>(query.integer(i));
    }
    identity.workgroup = query.text(3);
    identity.nextRid = static_cast<uint32_t>(query.integer(4));
    return identity;
}

void SqliteAccountStorage::saveMachine(const MachineIdentity& identity) {
    db().prepare(
            "INSERT OR REPLACE INTO account_machine"
            "(id, domain_a, domain_b, domain_c, workgroup, next_rid) VALUES (1, ?, ?, ?, ?, ?)")
        .bind(1, static_cast<int64_t>(identity.domainSubAuthorities[0]))
        .bind(2, static_cast<int64_t>(identity.domainSubAuthorities[1]))
        .bind(3, static_cast<int64_t>(identity.domainSubAuthorities[2]))
        .bind(4, identity.workgroup)
        .bind(5, static_cast<int64_t>(identity.nextRid))
        .run();
}

std::optional<AccountRecord> SqliteAccountStorage::findByName(std::string_view name) {
    auto query =
        db().prepare(std::string("SELECT ") + kColumns + " FROM accounts WHERE name_key = ?");
    query.bind(1, accountNameKey(name));
    if (!query.step()) return std::nullopt;
    return readAccount(query);
}

std::optional<AccountRecord> SqliteAccountStorage::find(const AccountKey& key) {
    auto query = db().prepare(std::string("SELECT ") + kColumns +
                              " FROM accounts WHERE sid_domain = ? AND rid = ?");
    query.bind(1, domainCode(key.domain)).bind(2, static_cast<int64_t>(key.rid));
    if (!query.step()) return std::nullopt;
    return readAccount(query);
}

std::vector<AccountRecord> SqliteAccountStorage::all() {
    auto query =
        db().prepare(std::string("SELECT ") + kColumns + " FROM accounts ORDER BY sid_domain, rid");
    std::vector<AccountRecord> accounts;
    while (query.step()) accounts.push_back(readAccount(query));
    return accounts;
}

void SqliteAccountStorage::insert(const AccountRecord& account) {
    db().prepare(
            "INSERT INTO accounts(sid_domain, rid, class, name, name_key, flags, full_name, "
            "description, password_salt, password_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(1, domainCode(account.key.domain))
        .bind(2, static_cast<int64_t>(account.key.rid))
        .bind(3, account.kind == AccountKind::Group ? "group" : "user")
        .bind(4, account.name)
        .bind(5, accountNameKey(account.name))
        .bind(6, static_cast<int64_t>(account.flags))
        .bind(7, account.fullName)
        .bind(8, account.description)
        .bind(9, account.passwordSalt)
        .bind(10, account.passwordHash)
        .run();
}

void SqliteAccountStorage::update(const AccountRecord& account) {
    db().prepare(
            "UPDATE accounts SET class = ?, name = ?, name_key = ?, flags = ?, full_name = ?, "
            "description = ?, password_salt = ?, password_hash = ? "
            "WHERE sid_domain = ? AND rid = ?")
        .bind(1, account.kind == AccountKind::Group ? "group" : "user")
        .bind(2, account.name)
        .bind(3, accountNameKey(account.name))
        .bind(4, static_cast<int64_t>(account.flags))
        .bind(5, account.fullName)
        .bind(6, account.description)
        .bind(7, account.passwordSalt)
        .bind(8, account.passwordHash)
        .bind(9, domainCode(account.key.domain))
        .bind(10, static_cast<int64_t>(account.key.rid))
        .run();
}

void SqliteAccountStorage::remove(const AccountKey& key) {
    db().prepare("DELETE FROM accounts WHERE sid_domain = ? AND rid = ?")
        .bind(1, domainCode(key.domain))
        .bind(2, static_cast<int64_t>(key.rid))
        .run();
}

void SqliteAccountStorage::clear() {
    db().execute("DELETE FROM account_members; DELETE FROM accounts;");
}

std::vector<AccountKey> SqliteAccountStorage::members(const AccountKey& group) {
    auto query = db().prepare(
        "SELECT member_domain, member_rid FROM account_members "
        "WHERE group_domain = ? AND group_rid = ? ORDER BY member_domain, member_rid");
    query.bind(1, domainCode(group.domain)).bind(2, static_cast<int64_t>(group.rid));
    return readKeys(query);
}

std::vector<AccountKey> SqliteAccountStorage::groupsOf(const AccountKey& member) {
    auto query = db().prepare(
        "SELECT group_domain, group_rid FROM account_members "
        "WHERE member_domain = ? AND member_rid = ? ORDER BY group_domain, group_rid");
    query.bind(1, domainCode(member.domain)).bind(2, static_cast<int64_t>(member.rid));
    return readKeys(query);
}

bool SqliteAccountStorage::changeMembership(std::string_view sql, const AccountKey& group,
                                            const AccountKey& member) {
    db().prepare(sql)
        .bind(1, domainCode(group.domain))
        .bind(2, static_cast<int64_t>(group.rid))
        .bind(3, domainCode(member.domain))
        .bind(4, static_cast<int64_t>(member.rid))
        .run();
    return db().changes() > 0;
}

bool SqliteAccountStorage::addMember(const AccountKey& group, const AccountKey& member) {
    return changeMembership(
        "INSERT OR IGNORE INTO account_members"
        "(group_domain, group_rid, member_domain, member_rid) VALUES (?, ?, ?, ?)",
        group, member);
}

bool SqliteAccountStorage::removeMember(const AccountKey& group, const AccountKey& member) {
    return changeMembership(
        "DELETE FROM account_members WHERE group_domain = ? AND group_rid = ? "
        "AND member_domain = ? AND member_rid = ?",
        group, member);
}

}  // namespace tarnwick::platform::embedded
