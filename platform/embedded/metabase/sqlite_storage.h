// Metabase storage in the embedded platform's SQLite store, in tables of its
// own (created when missing):
//   metabase_keys(path, parent, class, state)     one row per key; paths
//                                                 unique ignoring case
//   metabase_properties(key_id, name, type, value) typed values; a list is
//                                                 kept as a JSON array
//   metabase_reservations(path, token, pid, created)
// atomically() is one Transaction: BEGIN IMMEDIATE, so two processes
// serialise their changes, or a savepoint inside a caller's transaction.
//
// Reads are served from a copy kept with the connection (see Copy in the
// source), valid while the connection's generation stays (Database::generation).
#pragma once

#include <memory>

#include "platform/embedded/metabase/storage.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

class SqliteMetabaseStorage : public metabase::MetabaseStorage {
public:
    explicit SqliteMetabaseStorage(std::shared_ptr<Store> store);

    void atomically(const std::function<void()>& change) override;

    std::optional<metabase::KeyRecord> findKey(std::string_view path) override;
    std::vector<metabase::KeyRecord> childKeys(std::string_view path) override;
    std::vector<metabase::KeyRecord> allKeys() override;
    std::optional<metabase::PropertyValue> property(std::string_view path,
                                                    std::string_view name) override;
    metabase::PropertyMap properties(std::string_view path) override;
    void withProperty(std::string_view path, std::string_view name,
                      const std::function<void(const metabase::PropertyValue*)>& use) override;
    void forEachChild(std::string_view path, std::string_view name,
                      const std::function<void(const metabase::KeyRecord&,
                                               const metabase::PropertyValue*)>& visit) override;

    void insertKey(const metabase::KeyRecord& key) override;
    void setState(std::string_view path, uint32_t state) override;
    void writeProperties(std::string_view path, const metabase::PropertyMap& values) override;
    void removeSubtree(std::string_view path) override;
    void removeAll() override;

    std::optional<metabase::Reservation> reservation(std::string_view path) override;
    void addReservation(const metabase::Reservation& reservation) override;
    void removeReservation(std::string_view path) override;

private:
    struct Copy;
    // This connection's copy, emptied when the connection's generation moved on.
    Copy& copy();
    struct CopyEntry;
    // The key in the copy, read into it when not there yet; nullptr when
    // there is no such key.
    CopyEntry* entry(std::string_view path);
    // The key's properties, read into the copy when not there yet; nullptr
    // when there is no such key.
    struct KeyProperties;
    const KeyProperties* propertiesOf(std::string_view path);
    // The keys directly below `path` in the copy, listed with their
    // properties when they were not yet.
    const std::vector<CopyEntry*>& listChildren(std::string_view path);
    std::vector<metabase::KeyRecord> keys(Statement& query);

    std::shared_ptr<Store> store_;
    Copy& copy_;  // kept with the store, shared by its storage objects
};

}  // namespace tarnwick::platform::embedded
