#include "platform/embedded/metabase/document.h"

#include <algorithm>
#include <set>

#include "automation/text.h"
#include "platform/embedded/metabase/key_path.h"
#include "platform/embedded/metabase/schema.h"
#include "platform/embedded/state_module.h"

namespace tarnwick::platform::metabase {

using embedded::LoadError;
using nlohmann::json;

namespace {

json valueToJson(const PropertyValue& value) {
    switch (value.type()) {
        case PropertyType::String: return value.text();
        case PropertyType::Number: return value.number();
        case PropertyType::Boolean: return value.boolean();
        case PropertyType::List: return value.list();
        case PropertyType::Secret: break;  // never shown: see shownValue
    }
    return nullptr;
}

// What a document shows of a value: its type and value, or of a secret (and of
// a text that a store written before secrets holds under a secret's name) the
// type and digest only.
json shownValue(std::string_view name, const PropertyValue& value) {
    const auto* property = findProperty(name);
    bool secret = value.type() == PropertyType::Secret ||
                  (property && property->type == PropertyType::Secret &&
                   value.type() == PropertyType::String);
    if (!secret) return {{"type", typeName(value.type())}, {"value", valueToJson(value)}};
    auto digest =
        value.type() == PropertyType::Secret ? value.secret().digest : secretDigest(value.text());
    json shown = {{"type", "secret"}};
    if (!digest.empty()) shown["sha256"] = digest;
    return shown;
}

bool isDigest(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

[[noreturn]] void fail(const std::string& where, const std::string& problem) {
    throw LoadError(where + ": " + problem);
}

PropertyValue valueFromJson(PropertyType type, const json& value, const std::string& where) {
    switch (type) {
        case PropertyType::String:
            if (value.is_string()) return PropertyValue::string(value.get<std::string>());
            break;
        case PropertyType::Number:
            if (value.is_number_integer()) {
                // Parsed text gives non-negative whole numbers as unsigned, a
                // document built in code may give them as signed: both count.
                bool inRange =
                    value.is_number_unsigned()
                        ? value.get<uint64_t>() <= 0xFFFFFFFFu
                        : value.get<int64_t>() >= 0 && value.get<int64_t>() <= 0xFFFFFFFFll;
                if (inRange) {
                    return PropertyValue::number(static_cast<uint32_t>(value.get<int64_t>()));
                }
                fail(where, "a number must be from 0 to 4294967295");
            }
            break;
        case PropertyType::Boolean:
            if (value.is_boolean()) return PropertyValue::boolean(value.get<bool>());
            break;
        case PropertyType::List:
            if (value.is_array()) {
                PropertyValue::List items;
                for (size_t i = 0; i < value.size(); ++i) {
                    if (!value[i].is_string()) {
                        fail(where + "[" + std::to_string(i) + "]", "a list holds strings");
                    }
                    items.push_back(value[i].get<std::string>());
                }
                return PropertyValue::list(std::move(items));
            }
            break;
        case PropertyType::Secret:
            // A secret given as text is taken as the secret of that text.
            if (value.is_string()) return PropertyValue::secret(secretOf(value.get<std::string>()));
            fail(where, "a secret's text must be a string");
    }
    fail(where, "must be a " + std::string(typeName(type)));
}

struct LoadedKey {
    KeyRecord key;
    PropertyMap properties;
    std::string where;
};

std::string checkedPath(const json& entry, const std::string& where) {
    if (!entry.contains("path") || !entry.at("path").is_string()) {
        fail(where, "needs \"path\", a string");
    }
    auto path = entry.at("path").get<std::string>();
    auto names = automation::split(path, "/");
    // "/LM/W3SVC" splits into "", "LM", "W3SVC".
    if (names.size() < 3 || !names[0].empty() || !automation::equalsIgnoreCase(names[1], "LM")) {
        fail(where + ".path", "must be a key below /LM, such as /LM/W3SVC");
    }
    for (size_t i = 2; i < names.size(); ++i) {
        if (!isValidKeyName(names[i])) fail(where + ".path", "has an empty key name");
    }
    return keyPathOf({names.begin() + 2, names.end()});
}

// The DWORDs that hold flags (AccessFlags, DirBrowseFlags).
std::vector<std::string_view> flagDwords(const PropertyMap& properties) {
    std::vector<std::string_view> dwords;
    for (const auto& [name, value] : properties) {
        const auto* property = findProperty(name);
        std::string_view dword = property && property->source == PropertySource::Flag
                                     ? property->flags
                                     : (!flagsIn(name).empty() ? std::string_view(name) : "");
        if (!dword.empty() && std::find(dwords.begin(), dwords.end(), dword) == dwords.end()) {
            dwords.push_back(findProperty(dword)->name);
        }
    }
    return dwords;
}

// A document may give flags as the Booleans that older documents held: each
// sets or clears its bit in the key's DWORD (the one the document gives, else
// one with no bit set).
void foldLoadedFlags(PropertyMap& properties) {
    for (auto dword : flagDwords(properties)) {
        auto given = properties.find(dword);
        uint32_t flags = given != properties.end() ? given->second.number() : 0;
        for (const auto* flag : flagsIn(dword)) {
            auto value = properties.find(flag->name);
            if (value == properties.end()) continue;
            flags = value->second.boolean() ? flags | flag->mask : flags & ~flag->mask;
            properties.erase(value);
        }
        properties.insert_or_assign(std::string(dword), PropertyValue::number(flags));
    }
}

// A stored key of an older store may hold flags as Booleans: the document
// shows the DWORD they make (see ownFlags).
void foldStoredFlags(PropertyMap& properties) {
    for (auto dword : flagDwords(properties)) {
        auto flags = ownFlags(dword, [&](std::string_view name) -> const PropertyValue* {
            auto found = properties.find(name);
            return found == properties.end() ? nullptr : &found->second;
        });
        for (const auto* flag : flagsIn(dword)) properties.erase(std::string(flag->name));
        if (flags) properties.insert_or_assign(std::string(dword), PropertyValue::number(*flags));
    }
}

// A secret given without its text: {"type": "secret"}, with the digest a dump
// shows ("sha256") when known.
PropertyValue hiddenSecret(const json& given, const std::string& at) {
    std::string digest;
    if (given.contains("sha256")) {
        const auto& value = given.at("sha256");
        if (!value.is_string() || !isDigest(value.get<std::string>())) {
            fail(at + ".sha256", "must be 64 lower-case hexadecimal digits");
        }
        digest = value.get<std::string>();
    }
    return PropertyValue::secret({std::nullopt, digest});
}

PropertyMap checkedProperties(const json& properties, const std::string& where) {
    if (!properties.is_object()) fail(where, "must be an object");
    PropertyMap loaded;
    std::set<std::string> names;  // lower-case
    for (const auto& [name, given] : properties.items()) {
        auto at = where + "." + name;
        const auto* property = findProperty(name);
        if (property && property->source == PropertySource::KeyClass) {
            fail(at, "the key's \"class\" sets it");
        }
        if (property && property->source == PropertySource::ServerState) {
            fail(at, "the key's \"state\" sets it");
        }
        if (!isValidKeyName(name)) fail(at, "not a property name");
        if (!names.insert(automation::toLowerAscii(name)).second) {
            fail(at, "given twice (names ignore case)");
        }
        // A property the schema does not know keeps the name and type given.
        std::string storedName = property ? std::string(property->name) : name;
        if (!given.is_object()) {
            if (!property) fail(at, "a property the metabase does not know needs its \"type\"");
            loaded.emplace(storedName, valueFromJson(property->type, given, at));
            continue;
        }
        for (const auto& [field, unused] : given.items()) {
            if (field != "type" && field != "value" && field != "sha256") {
                fail(at + "." + field, "unknown field");
            }
        }
        if (!given.contains("type") || !given.at("type").is_string()) {
            fail(at, "a typed value needs \"type\" and \"value\"");
        }
        auto type = typeFromName(given.at("type").get<std::string>());
        if (!type) fail(at + ".type", "must be string, number, boolean, list or secret");
        // A secret's text may be given as a string; a string property never
        // takes a secret.
        auto expected = property ? property->type : *type;
        bool textOfSecret = expected == PropertyType::Secret && *type == PropertyType::String;
        if (*type != expected && !textOfSecret) {
            fail(at + ".type", storedName + " is a " + std::string(typeName(expected)));
        }
        if (*type == PropertyType::Secret && !given.contains("value")) {
            loaded.emplace(storedName, hiddenSecret(given, at));
            continue;
        }
        if (given.contains("sha256")) fail(at + ".sha256", "only a secret has a digest");
        if (!given.contains("value")) fail(at, "a typed value needs \"type\" and \"value\"");
        loaded.emplace(storedName, valueFromJson(expected, given.at("value"), at + ".value"));
    }
    foldLoadedFlags(loaded);
    return loaded;
}

LoadedKey checkedKey(const json& entry, const std::string& where) {
    if (!entry.is_object()) fail(where, "must be an object");
    for (const auto& [field, unused] : entry.items()) {
        if (field != "path" && field != "class" && field != "state" && field != "properties") {
            fail(where + "." + field, "unknown field");
        }
    }
    LoadedKey loaded;
    loaded.where = where;
    loaded.key.path = checkedPath(entry, where);

    if (!entry.contains("class") || !entry.at("class").is_string()) {
        fail(where, "needs \"class\", a string");
    }
    const auto* keyClass = findClass(entry.at("class").get<std::string>());
    if (!keyClass || keyClass->name == classes::kComputer) {
        fail(where + ".class", "unknown class " + entry.at("class").dump());
    }
    loaded.key.keyClass = std::string(keyClass->name);

    bool site = keyClass->name == classes::kWebServer;
    if (entry.contains("state")) {
        const auto& state = entry.at("state");
        if (!site) fail(where + ".state", "only a site has a state");
        if (!state.is_number_integer() ||
            (state.get<int64_t>() != kServerStarted && state.get<int64_t>() != kServerStopped)) {
            fail(where + ".state", "must be 2 (started) or 4 (stopped)");
        }
        loaded.key.state = static_cast<uint32_t>(state.get<int64_t>());
    } else if (site) {
        loaded.key.state = kServerStopped;
    }
    if (entry.contains("properties")) {
        loaded.properties = checkedProperties(entry.at("properties"), where + ".properties");
    }
    return loaded;
}

}  // namespace

json dumpDocument(MetabaseStorage& storage) {
    auto keys = json::array();
    for (const auto& key : storage.allKeys()) {
        json entry = {{"path", key.path}, {"class", key.keyClass}};
        if (key.state) entry["state"] = *key.state;
        auto properties = json::object();
        auto stored = storage.properties(key.path);
        foldStoredFlags(stored);
        for (const auto& [name, value] : stored) properties[name] = shownValue(name, value);
        entry["properties"] = std::move(properties);
        keys.push_back(std::move(entry));
    }
    return {{"keys", std::move(keys)}};
}

void loadDocument(MetabaseStorage& storage, const json& document, std::string_view where) {
    std::string top(where);
    if (!document.is_object()) fail(top, "must be an object with \"keys\"");
    for (const auto& [field, unused] : document.items()) {
        if (field != "keys") fail(top + "." + field, "unknown field");
    }
    if (!document.contains("keys") || !document.at("keys").is_array()) {
        fail(top, "needs \"keys\", a list");
    }
    const auto& entries = document.at("keys");
    std::vector<LoadedKey> keys;
    std::map<std::string, const KeyClass*> classByPath;  // lower-case path
    for (size_t i = 0; i < entries.size(); ++i) {
        auto loaded = checkedKey(entries[i], top + ".keys[" + std::to_string(i) + "]");
        auto lowered = automation::toLowerAscii(loaded.key.path);
        if (classByPath.contains(lowered)) {
            fail(loaded.where + ".path", "the key " + loaded.key.path + " is listed twice");
        }
        classByPath.emplace(lowered, findClass(loaded.key.keyClass));
        keys.push_back(std::move(loaded));
    }
    classByPath.emplace(automation::toLowerAscii(kMachineKey), findClass(classes::kComputer));
    for (const auto& loaded : keys) {
        auto parent = classByPath.find(automation::toLowerAscii(parentKeyPath(loaded.key.path)));
        if (parent == classByPath.end()) {
            fail(loaded.where + ".path",
                 "its parent " + parentKeyPath(loaded.key.path) + " is not listed");
        }
        if (!mayContain(*parent->second, *findClass(loaded.key.keyClass))) {
            fail(loaded.where + ".class", "a " + std::string(parent->second->name) +
                                              " cannot contain a " + loaded.key.keyClass);
        }
    }

    // In the document's order, except that a key listed before its parent
    // waits for it. Every parent is listed (checked above), so each pass
    // inserts at least one key.
    storage.atomically([&] {
        storage.removeAll();
        std::set<std::string> inserted = {automation::toLowerAscii(kMachineKey)};
        std::vector<const LoadedKey*> waiting;
        for (const auto& loaded : keys) waiting.push_back(&loaded);
        while (!waiting.empty()) {
            std::vector<const LoadedKey*> later;
            for (const auto* loaded : waiting) {
                auto parent = automation::toLowerAscii(parentKeyPath(loaded->key.path));
                if (!inserted.contains(parent)) {
                    later.push_back(loaded);
                    continue;
                }
                storage.insertKey(loaded->key);
                storage.writeProperties(loaded->key.path, loaded->properties);
                inserted.insert(automation::toLowerAscii(loaded->key.path));
            }
            waiting = std::move(later);
        }
    });
}

}  // namespace tarnwick::platform::metabase
