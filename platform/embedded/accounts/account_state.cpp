// The local accounts as a state document:
//
//   {
//     "workgroup": "WORKGROUP",
//     "machineSid": "S-1-5-21-a-b-c",
//     "nextRid": 1002,
//     "users": [{"name": "Tarn_bob", "sid": "S-1-5-21-a-b-c-1001", "flags": 66049,
//                "fullName": "", "description": "", "groups": ["Guests"],
//                "passwordSet": true, "password": {"salt": "...", "sha256": "..."}}],
//     "groups": [{"name": "Guests", "sid": "S-1-5-32-546", "description": "...",
//                 "members": ["Guest", "Tarn_bob"]}]
//   }
//
// The password travels as its salted hash so that a dump loaded again keeps
// it; a document may instead give the password as text, which is hashed on
// load. On load only "name" is required: missing SIDs are assigned from
// nextRid, the built-in accounts are always present (a document entry with
// their name or SID changes them), and the machine SID and workgroup stay as
// they are unless given. A group's "members" replaces its member list; a
// user's "groups" adds the user to those groups.
#include <map>
#include <set>

#include "automation/text.h"
#include "platform/embedded/accounts/account_errors.h"
#include "platform/embedded/accounts/local_accounts.h"
#include "platform/embedded/accounts/password.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::platform::embedded {

using nlohmann::json;

nlohmann::json LocalAccounts::dump() {
    auto identity = machine();
    json users = json::array();
    json groups = json::array();
    std::map<AccountKey, std::string> names;
    auto accounts = storage_->all();
    for (const auto& account : accounts) names[account.key] = account.name;
    for (const auto& account : accounts) {
        if (account.kind == AccountKind::User) {
            json groupNames = json::array();
            for (const auto& key : storage_->groupsOf(account.key)) {
                groupNames.push_back(names[key]);
            }
            json entry = {{"name", account.name},
                          {"sid", sidOf(account.key).toText()},
                          {"flags", account.flags},
                          {"fullName", account.fullName},
                          {"description", account.description},
                          {"groups", groupNames},
                          {"passwordSet", account.hasPassword()}};
            if (account.hasPassword()) {
                entry["password"] = {{"salt", account.passwordSalt},
                                     {"sha256", account.passwordHash}};
            }
            users.push_back(entry);
        } else {
            json memberNames = json::array();
            for (const auto& key : storage_->members(account.key)) {
                memberNames.push_back(names[key]);
            }
            groups.push_back({{"name", account.name},
                              {"sid", sidOf(account.key).toText()},
                              {"description", account.description},
                              {"members", memberNames}});
        }
    }
    return {{"workgroup", identity.workgroup},
            {"machineSid", machineSid().toText()},
            {"nextRid", identity.nextRid},
            {"users", users},
            {"groups", groups}};
}

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& problem) {
    throw LoadError(where + ": " + problem);
}

void allowOnly(const json& entry, const std::string& where, std::set<std::string> fields) {
    if (!entry.is_object()) fail(where, "must be an object");
    for (const auto& [field, value] : entry.items()) {
        if (!fields.contains(field)) fail(where + "." + field, "unknown field");
    }
}

std::string text(const json& entry, const std::string& field, const std::string& where) {
    if (!entry.contains(field)) return {};
    if (!entry.at(field).is_string()) fail(where + "." + field, "must be a string");
    return entry.at(field).get<std::string>();
}

std::vector<std::string> names(const json& entry, const std::string& field,
                               const std::string& where) {
    std::vector<std::string> result;
    if (!entry.contains(field)) return result;
    const auto& list = entry.at(field);
    if (!list.is_array()) fail(where + "." + field, "must be a list of names");
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].is_string()) {
            fail(where + "." + field + "[" + std::to_string(i) + "]", "must be a name");
        }
        result.push_back(list[i].get<std::string>());
    }
    return result;
}

uint32_t word(const json& value, const std::string& where) {
    if (!value.is_number_integer()) fail(where, "must be a whole number");
    auto number = value.get<int64_t>();
    if (number < 0 || number > 0xFFFFFFFFll) fail(where, "out of range");
    return static_cast<uint32_t>(number);
}

// One account of the document, read and checked, before anything is stored.
struct Entry {
    std::string where;
    AccountKind kind = AccountKind::User;
    std::string name;
    std::optional<AccountKey> key;     // from its SID
    AccountRecord record;              // properties the document gives
    std::set<std::string> given;       // which properties it gives
    std::vector<std::string> related;  // a user's groups, a group's members
    bool replacesMembers = false;
};

class StateLoader {
public:
    StateLoader(LocalAccounts& accounts, const json& document)
        : accounts_(accounts), storage_(accounts.storage()), document_(document) {}

    void run() {
        allowOnly(document_, "accounts", {"workgroup", "machineSid", "nextRid", "users", "groups"});
        auto identity = readIdentity();
        readEntries("groups", AccountKind::Group);
        readEntries("users", AccountKind::User);

        storage_.clear();
        storage_.saveMachine(identity);
        accounts_.seedDefaults();
        for (auto& entry : entries_) store(entry, identity);
        for (auto& entry : entries_) relate(entry);

        uint32_t next = std::max(identity.nextRid, builtin_rids::kFirstLocal);
        for (const auto& account : storage_.all()) {
            if (account.key.domain == SidDomain::Machine && account.key.rid >= next) {
                next = account.key.rid + 1;
            }
        }
        identity.nextRid = next;
        storage_.saveMachine(identity);
    }

private:
    MachineIdentity readIdentity() {
        auto identity = accounts_.machine();
        if (document_.contains("workgroup")) {
            identity.workgroup = text(document_, "workgroup", "accounts");
            if (identity.workgroup.empty()) fail("accounts.workgroup", "must not be empty");
        }
        if (document_.contains("machineSid")) {
            auto sid = Sid::parse(text(document_, "machineSid", "accounts"));
            if (!sid || sid->authority != 5 || sid->subAuthorities.size() != 4 ||
                sid->subAuthorities[0] != 21) {
                fail("accounts.machineSid", "must be a machine SID \"S-1-5-21-a-b-c\"");
            }
            for (size_t i = 0; i < 3; ++i) {
                identity.domainSubAuthorities[i] = sid->subAuthorities[i + 1];
            }
        }
        if (document_.contains("nextRid")) {
            identity.nextRid = word(document_.at("nextRid"), "accounts.nextRid");
        }
        machineSid_ = Sid{Sid::kRevision, 5, {21}};
        for (uint32_t value : identity.domainSubAuthorities) {
            machineSid_.subAuthorities.push_back(value);
        }
        return identity;
    }

    void readEntries(const std::string& field, AccountKind kind) {
        if (!document_.contains(field)) return;
        const auto& list = document_.at(field);
        if (!list.is_array()) fail("accounts." + field, "must be a list");
        for (size_t i = 0; i < list.size(); ++i) {
            Entry entry;
            entry.where = "accounts." + field + "[" + std::to_string(i) + "]";
            entry.kind = kind;
            const auto& item = list[i];
            if (kind == AccountKind::User) {
                allowOnly(item, entry.where,
                          {"name", "sid", "flags", "fullName", "description", "groups",
                           "passwordSet", "password"});
            } else {
                allowOnly(item, entry.where, {"name", "sid", "description", "members"});
            }
            readName(item, entry);
            readSid(item, entry);
            readProperties(item, entry);
            entries_.push_back(std::move(entry));
        }
    }

    void readName(const json& item, Entry& entry) {
        if (!item.contains("name")) fail(entry.where, "needs \"name\"");
        entry.name = text(item, "name", entry.where);
        if (!isValidAccountName(entry.kind, entry.name)) {
            fail(entry.where + ".name", "\"" + entry.name + "\" is not a valid account name");
        }
        if (!names_.insert(accountNameKey(entry.name)).second) {
            fail(entry.where + ".name", "the name \"" + entry.name + "\" is used twice");
        }
    }

    void readSid(const json& item, Entry& entry) {
        if (!item.contains("sid")) return;
        auto where = entry.where + ".sid";
        auto sid = Sid::parse(text(item, "sid", entry.where));
        if (!sid) fail(where, "not a SID");
        auto rid = sid->rid();
        if (rid && sid->domain() == machineSid_) {
            entry.key = AccountKey{SidDomain::Machine, *rid};
        } else if (rid && sid->domain() == well_known_sids::builtinDomain() &&
                   entry.kind == AccountKind::Group) {
            entry.key = AccountKey{SidDomain::Builtin, *rid};
            if (!storageHasBuiltin(*entry.key)) fail(where, "not a built-in group of this system");
        } else {
            fail(where, "not in the machine's domain " + machineSid_.toText());
        }
        if (!sids_.insert(*entry.key).second) fail(where, "the SID is used twice");
    }

    static bool storageHasBuiltin(const AccountKey& key) {
        using namespace builtin_rids;
        return key.rid == kAdministrators || key.rid == kUsers || key.rid == kGuests ||
               key.rid == kPowerUsers;
    }

    void readProperties(const json& item, Entry& entry) {
        auto& record = entry.record;
        for (const char* field : {"description", "fullName"}) {
            if (item.contains(field)) entry.given.insert(field);
        }
        record.description = text(item, "description", entry.where);
        record.fullName = text(item, "fullName", entry.where);
        if (item.contains("flags")) {
            record.flags = storedUserFlags(word(item.at("flags"), entry.where + ".flags"));
            entry.given.insert("flags");
        }
        if (item.contains("passwordSet") && !item.at("passwordSet").is_boolean()) {
            fail(entry.where + ".passwordSet", "must be true or false");
        }
        if (item.contains("password")) readPassword(item.at("password"), entry);
        if (entry.kind == AccountKind::User) {
            entry.related = names(item, "groups", entry.where);
        } else {
            entry.related = names(item, "members", entry.where);
            entry.replacesMembers = item.contains("members");
        }
    }

    void readPassword(const json& value, Entry& entry) {
        auto where = entry.where + ".password";
        entry.given.insert("password");
        if (value.is_null()) return;
        if (value.is_string()) {
            auto hash = hashPassword(value.get<std::string>());
            entry.record.passwordSalt = hash.salt;
            entry.record.passwordHash = hash.hash;
            return;
        }
        allowOnly(value, where, {"salt", "sha256"});
        PasswordHash hash{text(value, "salt", where), text(value, "sha256", where)};
        if (!isWellFormed(hash)) {
            fail(where, "needs \"salt\" (32 hex digits) and \"sha256\" (64 hex digits)");
        }
        entry.record.passwordSalt = hash.salt;
        entry.record.passwordHash = hash.hash;
    }

    // Stores one account: a built-in one (found by SID or name) is changed,
    // any other is created.
    void store(const Entry& entry, MachineIdentity& identity) {
        std::optional<AccountRecord> existing;
        if (entry.key) {
            existing = storage_.find(*entry.key);
        } else if (auto named = storage_.findByName(entry.name)) {
            existing = named;
        }
        if (existing && existing->kind != entry.kind) {
            fail(entry.where, "\"" + existing->name + "\" is a built-in " +
                                  (existing->kind == AccountKind::User ? "user" : "group"));
        }
        if (auto holder = storage_.findByName(entry.name);
            holder && (!existing || holder->key != existing->key)) {
            fail(entry.where + ".name", "\"" + entry.name + "\" is a built-in account's name");
        }
        AccountRecord record = existing ? *existing : AccountRecord{};
        if (!existing) {
            record.key = entry.key ? *entry.key : AccountKey{SidDomain::Machine, freeRid(identity)};
            record.kind = entry.kind;
            record.flags = entry.kind == AccountKind::User ? storedUserFlags(0) : 0;
        }
        record.name = entry.name;
        if (entry.given.contains("description")) record.description = entry.record.description;
        if (entry.kind == AccountKind::User) {
            if (entry.given.contains("fullName")) record.fullName = entry.record.fullName;
            if (entry.given.contains("flags")) record.flags = entry.record.flags;
            if (entry.given.contains("password")) {
                record.passwordSalt = entry.record.passwordSalt;
                record.passwordHash = entry.record.passwordHash;
            }
        }
        if (existing) {
            storage_.update(record);
        } else {
            storage_.insert(record);
        }
    }

    // The lowest RID from nextRid up that neither an account nor a SID of the
    // document holds.
    uint32_t freeRid(MachineIdentity& identity) {
        uint32_t rid = std::max(identity.nextRid, builtin_rids::kFirstLocal);
        while (sids_.contains({SidDomain::Machine, rid}) ||
               storage_.find({SidDomain::Machine, rid})) {
            ++rid;
        }
        identity.nextRid = rid + 1;
        return rid;
    }

    void relate(const Entry& entry) {
        auto self = storage_.findByName(entry.name);
        if (entry.kind == AccountKind::Group && entry.replacesMembers) {
            for (const auto& key : storage_.members(self->key)) {
                storage_.removeMember(self->key, key);
            }
        }
        for (size_t i = 0; i < entry.related.size(); ++i) {
            auto list = entry.kind == AccountKind::User ? ".groups[" : ".members[";
            auto where = entry.where + list + std::to_string(i) + "]";
            auto other = storage_.findByName(entry.related[i]);
            if (entry.kind == AccountKind::User) {
                if (!other || other->kind != AccountKind::Group) {
                    fail(where, "unknown group \"" + entry.related[i] + "\"");
                }
                storage_.addMember(other->key, self->key);
            } else {
                if (!other || other->kind != AccountKind::User) {
                    fail(where, "unknown user \"" + entry.related[i] + "\"");
                }
                storage_.addMember(self->key, other->key);
            }
        }
    }

    LocalAccounts& accounts_;
    AccountStorage& storage_;
    const json& document_;
    Sid machineSid_;
    std::vector<Entry> entries_;
    std::set<std::string> names_;
    std::set<AccountKey> sids_;
};

}  // namespace

void LocalAccounts::load(const nlohmann::json& document) {
    storage_->transact([&] { StateLoader(*this, document).run(); });
}

}  // namespace tarnwick::platform::embedded
