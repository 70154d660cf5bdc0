// Metabase storage in memory: for tests, and for test doubles built where
// there is no SQLite. Shared by several metabase objects it behaves as one
// store that they all see; a lock makes it safe to share between threads.
#pragma once

#include <mutex>

#include "platform/embedded/metabase/storage.h"

namespace tarnwick::platform::metabase {

class MemoryMetabaseStorage : public MetabaseStorage {
public:
    void atomically(const std::function<void()>& change) override;

    std::optional<KeyRecord> findKey(std::string_view path) override;
    std::vector<KeyRecord> childKeys(std::string_view path) override;
    std::vector<KeyRecord> allKeys() override;
    std::optional<PropertyValue> property(std::string_view path, std::string_view name) override;
    PropertyMap properties(std::string_view path) override;

    void insertKey(const KeyRecord& key) override;
    void setState(std::string_view path, uint32_t state) override;
    void setKeyClass(std::string_view path, std::string_view keyClass) override;
    void writeProperties(std::string_view path, const PropertyMap& values) override;
    void removeSubtree(std::string_view path) override;
    void removeAll() override;

    std::optional<Reservation> reservation(std::string_view path) override;
    void addReservation(const Reservation& reservation) override;
    void removeReservation(std::string_view path) override;

private:
    struct Entry {
        KeyRecord key;
        PropertyMap properties;
        uint64_t sequence = 0;
    };
    struct State {
        std::map<std::string, Entry> keys;  // by path in lower case
        std::map<std::string, Reservation> reservations;
        uint64_t nextSequence = 0;
    };

    Entry* entry(std::string_view path);
    std::vector<KeyRecord> inOrder(const std::function<bool(const Entry&)>& select) const;

    std::recursive_mutex mutex_;
    State state_;
};

}  // namespace tarnwick::platform::metabase
