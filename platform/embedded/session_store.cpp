#include "platform/embedded/session_store.h"

#include <random>

#include "automation/error.h"
#include "automation/variant_json.h"

namespace tarnwick::platform::embedded {

using automation::Variant;

namespace {
// A session value as stored: the JSON form of an automation value.
Variant storedValue(const Store& store, const std::string& id, std::string_view key,
                    const std::string& text) {
    try {
        return automation::variantFromJson(nlohmann::json::parse(text));
    } catch (const std::exception&) {  // not JSON, or not an automation value's form
        throw store.damaged("session_values: the value of " + storedValueText(key) +
                            " in session " + storedValueText(id) + " is " + storedValueText(text) +
                            ", not an automation value");
    }
}

bool holdsObject(const Variant& value) {
    if (value.type() == automation::VarType::Object) return true;
    if (value.type() != automation::VarType::Array) return false;
    for (const auto& item : value.array()) {
        if (holdsObject(item)) return true;
    }
    return false;
}
}  // namespace

bool SessionStore::exists(const std::string& id) {
    auto query = store_->db().prepare("SELECT 1 FROM sessions WHERE id = ?");
    query.bind(1, id);
    return query.step();
}

std::string SessionStore::resume(const std::optional<std::string>& id) {
    if (id && exists(*id)) return *id;
    // ASP session identifiers are positive 32-bit numbers written in decimal.
    std::random_device entropy;
    std::uniform_int_distribution<int32_t> pick(100000000, 999999999);
    auto& db = store_->db();
    while (true) {
        std::string candidate = std::to_string(pick(entropy));
        Transaction transaction(db);
        db.prepare("INSERT OR IGNORE INTO sessions(id) VALUES (?)").bind(1, candidate).run();
        bool inserted = db.changes() == 1;
        transaction.commit();
        if (inserted) return candidate;
    }
}

Variant SessionStore::value(const std::string& id, std::string_view key) {
    auto query =
        store_->db().prepare("SELECT value FROM session_values WHERE session_id = ? AND key = ?");
    query.bind(1, id).bind(2, key);
    if (!query.step()) return {};
    return storedValue(*store_, id, key, query.text(0));
}

void SessionStore::setValue(const std::string& id, std::string_view key, const Variant& value) {
    if (holdsObject(value)) {
        automation::raise(automation::errors::kTypeMismatch,
                          "Objects cannot be stored in this session");
    }
    auto text = automation::variantToJson(value).dump();
    auto& db = store_->db();
    Transaction transaction(db);
    db.prepare(
          "INSERT INTO session_values(session_id, key, value) VALUES (?, ?, ?) "
          "ON CONFLICT(session_id, key) DO UPDATE SET value = excluded.value")
        .bind(1, id)
        .bind(2, key)
        .bind(3, text)
        .run();
    transaction.commit();
}

std::vector<std::pair<std::string, Variant>> SessionStore::values(const std::string& id) {
    std::vector<std::pair<std::string, Variant>> result;
    auto query = store_->db().prepare(
        "SELECT key, value FROM session_values WHERE session_id = ? ORDER BY rowid");
    query.bind(1, id);
    while (query.step()) {
        auto key = query.text(0);
        auto value = storedValue(*store_, id, key, query.text(1));
        result.emplace_back(std::move(key), std::move(value));
    }
    return result;
}

nlohmann::json SessionStore::dump() {
    nlohmann::json document = nlohmann::json::object();
    auto sessions = store_->db().prepare("SELECT id FROM sessions ORDER BY rowid");
    while (sessions.step()) {
        auto id = sessions.text(0);
        nlohmann::json values = nlohmann::json::object();
        for (const auto& [key, value] : this->values(id)) {
            values[key] = automation::variantToJson(value);
        }
        document[id] = std::move(values);
    }
    return document;
}

void SessionStore::load(const nlohmann::json& document) {
    if (!document.is_object())
        throw LoadError("sessions: must be an object of sessions by SessionID");
    auto& db = store_->db();
    db.execute("DELETE FROM session_values; DELETE FROM sessions");
    for (const auto& [id, values] : document.items()) {
        auto where = "sessions." + id;
        if (id.empty()) throw LoadError("sessions: a SessionID must not be empty");
        if (!values.is_object()) throw LoadError(where + ": must be an object of values by key");
        db.prepare("INSERT INTO sessions(id) VALUES (?)").bind(1, id).run();
        for (const auto& [key, value] : values.items()) {
            Variant parsed;
            try {
                parsed = automation::variantFromJson(value);
            } catch (const automation::ValueFormatError& error) {
                throw LoadError(where + "." + key + ": " + error.what());
            }
            setValue(id, key, parsed);
        }
    }
}

}  // namespace tarnwick::platform::embedded
