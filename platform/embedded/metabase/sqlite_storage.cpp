#include "platform/embedded/metabase/sqlite_storage.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "automation/text.h"
#include "platform/embedded/metabase/key_path.h"

namespace tarnwick::platform::embedded {

using metabase::KeyRecord;
using metabase::PropertyMap;
using metabase::PropertyType;
using metabase::PropertyValue;
using metabase::Reservation;

namespace {
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS metabase_keys (
    id INTEGER PRIMARY KEY,
    path TEXT NOT NULL UNIQUE COLLATE NOCASE,
    parent TEXT NOT NULL COLLATE NOCASE,
    class TEXT NOT NULL,
    state INTEGER
);
CREATE INDEX IF NOT EXISTS metabase_keys_parent ON metabase_keys(parent);
CREATE TABLE IF NOT EXISTS metabase_properties (
    key_id INTEGER NOT NULL REFERENCES metabase_keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type TEXT NOT NULL,
    value,
    PRIMARY KEY (key_id, name)
);
CREATE TABLE IF NOT EXISTS metabase_reservations (
    path TEXT PRIMARY KEY COLLATE NOCASE,
    token TEXT NOT NULL,
    pid INTEGER NOT NULL,
    created INTEGER NOT NULL
);
)sql";

// Selects a key path and everything below it; binds the path as ?1. The
// paths below sort between the path + "/" and the path + "0" (the character
// after "/"), so the unique index on the path finds them.
constexpr const char* kWithinPath = "(path = ?1 OR (path >= ?1 || '/' AND path < ?1 || '0'))";

void bindValue(Statement& statement, int index, const PropertyValue& value) {
    switch (value.type()) {
        case PropertyType::String: statement.bind(index, value.text()); break;
        case PropertyType::Number:
            statement.bind(index, static_cast<int64_t>(value.number()));
            break;
        case PropertyType::Boolean: statement.bind(index, value.boolean() ? 1 : 0); break;
        case PropertyType::List: statement.bind(index, nlohmann::json(value.list()).dump()); break;
        case PropertyType::Secret: {
            nlohmann::json secret = {{"digest", value.secret().digest}};
            if (value.secret().text) secret["text"] = *value.secret().text;
            statement.bind(index, secret.dump());
            break;
        }
    }
}

// The stored property in the columns from `nameColumn` on: its name, type and value.
PropertyValue columnValue(const Store& store, const Statement& statement, int nameColumn) {
    const int typeColumn = nameColumn + 1, valueColumn = nameColumn + 2;
    auto damaged = [&](const std::string& problem) {
        return store.damaged("metabase_properties: property " +
                             storedValueText(statement.text(nameColumn)) + " " + problem);
    };
    auto type = metabase::typeFromName(statement.text(typeColumn));
    if (!type) throw damaged("has the unknown type " + storedValueText(statement.text(typeColumn)));
    switch (*type) {
        case PropertyType::String: return PropertyValue::string(statement.text(valueColumn));
        case PropertyType::Number:
            return PropertyValue::number(static_cast<uint32_t>(statement.integer(valueColumn)));
        case PropertyType::Boolean:
            return PropertyValue::boolean(statement.integer(valueColumn) != 0);
        case PropertyType::List: {
            auto items = nlohmann::json::parse(statement.text(valueColumn), nullptr, false);
            if (!items.is_array()) throw damaged("is not a JSON list of strings");
            PropertyValue::List list;
            for (const auto& item : items) {
                if (!item.is_string()) throw damaged("is not a JSON list of strings");
                list.push_back(item.get<std::string>());
            }
            return PropertyValue::list(std::move(list));
        }
        case PropertyType::Secret: {
            auto secret = nlohmann::json::parse(statement.text(valueColumn), nullptr, false);
            if (!secret.is_object() || !secret.contains("digest") ||
                !secret.at("digest").is_string() ||
                (secret.contains("text") && !secret.at("text").is_string())) {
                throw damaged("is not a JSON secret");
            }
            metabase::Secret value{std::nullopt, secret.at("digest").get<std::string>()};
            if (secret.contains("text")) value.text = secret.at("text").get<std::string>();
            return PropertyValue::secret(std::move(value));
        }
    }
    throw damaged("has an unknown type");
}
}  // namespace

// A key's own properties in the copy, in the order of a PropertyMap, side by
// side in one block: a key holds a handful, and a lookup reads one or two
// cache lines where a map reads one allocation per step.
struct SqliteMetabaseStorage::KeyProperties {
    std::vector<std::pair<std::string, PropertyValue>> values;

    KeyProperties() = default;
    explicit KeyProperties(const PropertyMap& map) : values(map.begin(), map.end()) {}

    // The value of `name` spelt exactly, else in another letter case.
    const PropertyValue* find(std::string_view name) const {
        for (const auto& [stored, value] : values) {
            if (stored == name) return &value;
        }
        for (const auto& [stored, value] : values) {
            if (automation::equalsIgnoreCase(stored, name)) return &value;
        }
        return nullptr;
    }
    // Stores `value` as `name`, in place of the value under any letter case.
    void assign(const std::string& name, const PropertyValue& value) {
        std::erase_if(values, [&](const auto& entry) {
            return automation::equalsIgnoreCase(entry.first, name);
        });
        auto at = std::lower_bound(
            values.begin(), values.end(), name,
            [](const auto& entry, const std::string& key) { return entry.first < key; });
        values.emplace(at, name, value);
    }
    PropertyMap map() const { return PropertyMap(values.begin(), values.end()); }
};

// This connection's copy of the keys and properties it has read, kept for one
// generation of the connection and shared by every storage object on it. A
// site operation reads every site's bindings, and the site-number search
// binds every taken number: from the copy, that costs no query at all.
// Writes go to the store and then to the copy.
struct SqliteMetabaseStorage::CopyEntry {
    KeyRecord key;
    std::optional<KeyProperties> properties;  // absent until read
};

namespace {
// Key paths compare ignoring the case of ASCII letters, and are looked up as
// given, without a lower-case copy. The hash is declared without noexcept on
// purpose: libstdc++ then keeps each entry's hash with it, so a lookup among
// thousands of sites compares stored hashes instead of hashing every path it
// passes in a bucket again.
struct PathHash {
    using is_transparent = void;
    size_t operator()(std::string_view path) const {
        size_t hash = 14695981039346656037ull;  // FNV-1a
        for (char c : path) {
            hash ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            hash *= 1099511628211ull;
        }
        return hash;
    }
};
struct PathEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return automation::equalsIgnoreCase(a, b);
    }
};
template <class Value>
using ByPath = std::unordered_map<std::string, Value, PathHash, PathEqual>;
}  // namespace

struct SqliteMetabaseStorage::Copy {
    using Entry = CopyEntry;
    uint64_t generation = 0;
    ByPath<Entry> keys;
    // The children of each key whose children were listed, in creation
    // order: entries of `keys` (whose nodes stay where they are while they
    // are in it), so a walk over them looks up no path.
    ByPath<std::vector<Entry*>> children;
    // The entry found last: a key just bound is mostly read next, and a
    // lookup among thousands of keys costs several cache misses.
    Entry* last = nullptr;

    void clear() {
        keys.clear();
        children.clear();
        last = nullptr;
    }
};

SqliteMetabaseStorage::Copy& SqliteMetabaseStorage::copy() {
    auto generation = store_->db().generation();
    if (copy_.generation != generation) {
        copy_.clear();
        copy_.generation = generation;
    }
    return copy_;
}

SqliteMetabaseStorage::CopyEntry* SqliteMetabaseStorage::entry(std::string_view path) {
    auto& known = copy();
    if (known.last && automation::equalsIgnoreCase(known.last->key.path, path)) return known.last;
    if (auto found = known.keys.find(path); found != known.keys.end()) {
        return known.last = &found->second;
    }
    // A parent whose children are all known has no other.
    if (known.children.contains(metabase::parentKeyPath(path))) return nullptr;

    auto query =
        store_->db().prepare("SELECT path, class, state FROM metabase_keys WHERE path = ?");
    query.bind(1, path);
    auto found = keys(query);
    if (found.empty()) return nullptr;
    std::string key = found.front().path;
    return &known.keys
                .insert_or_assign(std::move(key),
                                  Copy::Entry{std::move(found.front()), std::nullopt})
                .first->second;
}

const SqliteMetabaseStorage::KeyProperties* SqliteMetabaseStorage::propertiesOf(
    std::string_view path) {
    auto* found = entry(path);
    if (!found) return nullptr;
    if (!found->properties) {
        auto query = store_->db().prepare(
            "SELECT p.name, p.type, p.value FROM metabase_properties p "
            "JOIN metabase_keys k ON k.id = p.key_id WHERE k.path = ?");
        query.bind(1, path);
        PropertyMap values;
        while (query.step()) values.emplace(query.text(0), columnValue(*store_, query, 0));
        found->properties.emplace(values);
    }
    return &*found->properties;
}

SqliteMetabaseStorage::SqliteMetabaseStorage(std::shared_ptr<Store> store)
    : store_(std::move(store)), copy_(store_->shared<Copy>()) {
    store_->ensureSchema(kSchema);
}

void SqliteMetabaseStorage::atomically(const std::function<void()>& change) {
    Transaction transaction(store_->db());
    change();
    transaction.commit();
}

std::vector<KeyRecord> SqliteMetabaseStorage::keys(Statement& query) {
    std::vector<KeyRecord> found;
    while (query.step()) {
        KeyRecord key{query.text(0), query.text(1), {}};
        if (!query.isNull(2)) key.state = static_cast<uint32_t>(query.integer(2));
        found.push_back(std::move(key));
    }
    return found;
}

std::optional<KeyRecord> SqliteMetabaseStorage::findKey(std::string_view path) {
    auto* found = entry(path);
    if (!found) return std::nullopt;
    return found->key;
}

const std::vector<SqliteMetabaseStorage::CopyEntry*>& SqliteMetabaseStorage::listChildren(
    std::string_view path) {
    auto& known = copy();
    if (auto listed = known.children.find(path); listed != known.children.end()) {
        return listed->second;
    }
    // The children and their properties, read in two queries.
    auto& db = store_->db();
    auto query =
        db.prepare("SELECT path, class, state FROM metabase_keys WHERE parent = ? ORDER BY id");
    query.bind(1, path);
    ByPath<std::pair<KeyRecord, PropertyMap>> read;
    std::vector<std::string> order;
    for (auto& key : keys(query)) {
        order.push_back(key.path);
        read.insert_or_assign(order.back(), std::pair{std::move(key), PropertyMap{}});
    }
    auto properties = db.prepare(
        "SELECT k.path, p.name, p.type, p.value FROM metabase_properties p "
        "JOIN metabase_keys k ON k.id = p.key_id WHERE k.parent = ?");
    properties.bind(1, path);
    while (properties.step()) {
        auto owner = read.find(properties.text(0));
        if (owner == read.end()) continue;
        owner->second.second.emplace(properties.text(1), columnValue(*store_, properties, 1));
    }
    std::vector<Copy::Entry*> children;
    children.reserve(order.size());
    for (auto& child : order) {
        auto& [key, values] = read.find(child)->second;
        auto stored =
            known.keys.insert_or_assign(child, Copy::Entry{std::move(key), KeyProperties(values)});
        children.push_back(&stored.first->second);
    }
    return known.children.emplace(std::string(path), std::move(children)).first->second;
}

std::vector<KeyRecord> SqliteMetabaseStorage::childKeys(std::string_view path) {
    const auto& listed = listChildren(path);
    std::vector<KeyRecord> children;
    children.reserve(listed.size());
    for (const auto* child : listed) children.push_back(child->key);
    return children;
}

void SqliteMetabaseStorage::forEachChild(
    std::string_view path, std::string_view name,
    const std::function<void(const KeyRecord&, const PropertyValue*)>& visit) {
    for (auto* child : listChildren(path)) {
        // A key inserted after the listing was read has its properties with it.
        if (!child->properties) propertiesOf(child->key.path);
        visit(child->key, child->properties->find(name));
    }
}

std::vector<KeyRecord> SqliteMetabaseStorage::allKeys() {
    auto query = store_->db().prepare("SELECT path, class, state FROM metabase_keys ORDER BY id");
    return keys(query);
}

std::optional<PropertyValue> SqliteMetabaseStorage::property(std::string_view path,
                                                             std::string_view name) {
    const auto* properties = propertiesOf(path);
    if (!properties) return std::nullopt;
    const auto* value = properties->find(name);
    if (!value) return std::nullopt;
    return *value;
}

void SqliteMetabaseStorage::withProperty(std::string_view path, std::string_view name,
                                         const std::function<void(const PropertyValue*)>& use) {
    const auto* properties = propertiesOf(path);
    use(properties ? properties->find(name) : nullptr);
}

PropertyMap SqliteMetabaseStorage::properties(std::string_view path) {
    const auto* properties = propertiesOf(path);
    return properties ? properties->map() : PropertyMap{};
}

void SqliteMetabaseStorage::insertKey(const KeyRecord& key) {
    auto insert = store_->db().prepare(
        "INSERT INTO metabase_keys(path, parent, class, state) VALUES (?, ?, ?, ?)");
    insert.bind(1, key.path).bind(2, metabase::parentKeyPath(key.path)).bind(3, key.keyClass);
    if (key.state) {
        insert.bind(4, static_cast<int64_t>(*key.state));
    } else {
        insert.bindNull(4);
    }
    insert.run();

    auto& known = copy();
    auto inserted = known.keys.insert_or_assign(key.path, Copy::Entry{key, KeyProperties{}});
    auto siblings = known.children.find(metabase::parentKeyPath(key.path));
    if (siblings != known.children.end()) siblings->second.push_back(&inserted.first->second);
}

void SqliteMetabaseStorage::setState(std::string_view path, uint32_t state) {
    store_->db()
        .prepare("UPDATE metabase_keys SET state = ? WHERE path = ?")
        .bind(1, static_cast<int64_t>(state))
        .bind(2, path)
        .run();
    auto& known = copy();
    if (auto found = known.keys.find(path); found != known.keys.end()) {
        found->second.key.state = state;
    }
}

void SqliteMetabaseStorage::writeProperties(std::string_view path, const PropertyMap& values) {
    auto& db = store_->db();
    auto id = db.prepare("SELECT id FROM metabase_keys WHERE path = ?");
    id.bind(1, path);
    if (!id.step()) throw StoreError("metabase: no key " + std::string(path));
    auto keyId = id.integer(0);
    auto write = db.prepare(
        "INSERT OR REPLACE INTO metabase_properties(key_id, name, type, value) "
        "VALUES (?, ?, ?, ?)");
    for (const auto& [name, value] : values) {
        write.bind(1, keyId).bind(2, name).bind(3, metabase::typeName(value.type()));
        bindValue(write, 4, value);
        write.run();
        write.reset();
    }
    auto& known = copy();
    if (auto found = known.keys.find(path); found != known.keys.end() && found->second.properties) {
        for (const auto& [name, value] : values) found->second.properties->assign(name, value);
    }
}

void SqliteMetabaseStorage::removeSubtree(std::string_view path) {
    auto& db = store_->db();
    db.prepare(std::string("DELETE FROM metabase_keys WHERE ") + kWithinPath).bind(1, path).run();
    db.prepare(std::string("DELETE FROM metabase_reservations WHERE ") + kWithinPath)
        .bind(1, path)
        .run();

    // The parent's list lets go of the key before its entry goes.
    auto& known = copy();
    auto siblings = known.children.find(metabase::parentKeyPath(path));
    if (siblings != known.children.end()) {
        std::erase_if(siblings->second, [&](const Copy::Entry* child) {
            return automation::equalsIgnoreCase(child->key.path, path);
        });
    }
    auto removed = [&](const auto& entry) { return metabase::isWithin(entry.first, path); };
    known.last = nullptr;
    std::erase_if(known.children, removed);
    std::erase_if(known.keys, removed);
}

void SqliteMetabaseStorage::removeAll() {
    store_->db().execute("DELETE FROM metabase_keys; DELETE FROM metabase_reservations;");
    copy().clear();
}

std::optional<Reservation> SqliteMetabaseStorage::reservation(std::string_view path) {
    auto query = store_->db().prepare(
        "SELECT path, token, pid, created FROM metabase_reservations WHERE path = ?");
    query.bind(1, path);
    if (!query.step()) return std::nullopt;
    return Reservation{query.text(0), query.text(1), query.integer(2), query.integer(3)};
}

void SqliteMetabaseStorage::addReservation(const Reservation& reservation) {
    store_->db()
        .prepare(
            "INSERT OR REPLACE INTO metabase_reservations(path, token, pid, created) "
            "VALUES (?, ?, ?, ?)")
        .bind(1, reservation.path)
        .bind(2, reservation.token)
        .bind(3, reservation.processId)
        .bind(4, reservation.created)
        .run();
}

void SqliteMetabaseStorage::removeReservation(std::string_view path) {
    store_->db().prepare("DELETE FROM metabase_reservations WHERE path = ?").bind(1, path).run();
}

}  // namespace tarnwick::platform::embedded
