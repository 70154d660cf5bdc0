// Where the metabase keeps its keys: a small storage contract that the
// metabase's semantics (tree.h, key_object.h) are written against, so that
// they run unchanged over SQLite (the embedded platform) and over memory
// (tests, and test doubles built where there is no SQLite).
//
// Paths are key paths ("/LM/W3SVC/2/ROOT") and compare ignoring the case of
// ASCII letters; a key keeps the spelling it was inserted with. The machine
// key /LM is never stored: it always exists. Property names arrive in their
// schema spelling.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/metabase/property_value.h"

namespace tarnwick::platform::metabase {

struct KeyRecord {
    std::string path;
    std::string keyClass;
    std::optional<uint32_t> state;  // sites only: started 2, stopped 4

    bool operator==(const KeyRecord&) const = default;
};

// Looked up by string_view as well (std::less<>), without a copy of the name.
using PropertyMap = std::map<std::string, PropertyValue, std::less<>>;

// A name held for a key that a Create has made but its SetInfo has not
// stored yet. The owner is a process (pid) and, inside it, one object (token).
struct Reservation {
    std::string path;
    std::string token;
    int64_t processId = 0;
    int64_t created = 0;  // seconds since the epoch
};

class MetabaseStorage {
public:
    virtual ~MetabaseStorage() = default;

    // Runs `change` as one unit: all of it takes effect or, when it throws,
    // none. Changes of other processes are serialised against it, so what it
    // reads stays true until it returns. Nests: an inner unit that throws is
    // undone on its own.
    virtual void atomically(const std::function<void()>& change) = 0;

    virtual std::optional<KeyRecord> findKey(std::string_view path) = 0;
    // The keys directly below `path`, in the order they were inserted.
    virtual std::vector<KeyRecord> childKeys(std::string_view path) = 0;
    // Every key, parents before children, in the order they were inserted.
    virtual std::vector<KeyRecord> allKeys() = 0;

    virtual std::optional<PropertyValue> property(std::string_view path, std::string_view name) = 0;
    virtual PropertyMap properties(std::string_view path) = 0;
    // Calls `use` with the key's value of `name`, nullptr when it is unset or
    // there is no such key; a storage that can lends the value uncopied.
    virtual void withProperty(std::string_view path, std::string_view name,
                              const std::function<void(const PropertyValue*)>& use) {
        auto value = property(path, name);
        use(value ? &*value : nullptr);
    }

    // Calls `visit` with each key directly below `path`, in the order they
    // were inserted, and its own value of `name` (nullptr when unset); a
    // storage that can lends the value uncopied. A walk over thousands of
    // sites makes no copy of each.
    virtual void forEachChild(
        std::string_view path, std::string_view name,
        const std::function<void(const KeyRecord&, const PropertyValue*)>& visit) {
        for (const auto& child : childKeys(path)) {
            auto value = property(child.path, name);
            visit(child, value ? &*value : nullptr);
        }
    }

    // Inserts a key whose parent exists (or is /LM) and whose path is free.
    virtual void insertKey(const KeyRecord& key) = 0;
    virtual void setState(std::string_view path, uint32_t state) = 0;
    // Gives the key another class (a key without KeyType gets one), keeping
    // its properties and the keys below it. This default removes the subtree
    // and inserts it again, so the key moves behind its siblings; a storage
    // that can change the class in place does so.
    virtual void setKeyClass(std::string_view path, std::string_view keyClass);
    // Sets each of `values` on the key, keeping its other properties.
    virtual void writeProperties(std::string_view path, const PropertyMap& values) = 0;
    // Removes the key, every key below it, their properties and reservations.
    virtual void removeSubtree(std::string_view path) = 0;
    // Removes every key and reservation.
    virtual void removeAll() = 0;

    virtual std::optional<Reservation> reservation(std::string_view path) = 0;
    virtual void addReservation(const Reservation& reservation) = 0;
    virtual void removeReservation(std::string_view path) = 0;
};

}  // namespace tarnwick::platform::metabase
