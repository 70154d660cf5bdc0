// The table that holds the embedded drives: one row per drive root, folder
// and file, each with its attributes, its content (files) and its binary
// self-relative security descriptor.
//
// Why the drives live in the platform store and not on the Linux disk: a
// change to a folder, a file or its permissions is then one SQLite
// transaction like every other platform change, so two page processes that
// run at once serialise, a crash leaves the last committed state, an
// in-memory store serves the tests, and `tarnwick platform dump/load` covers
// the files with the rest of the state. Linux file names also know neither
// case-insensitive lookup nor security descriptors.
//
// Rows form a tree through parent_id (NULL for a drive root, whose name is
// "C:"); names are unique within a folder ignoring the case of ASCII letters
// and keep the spelling they were created with. Deleting a folder row
// deletes everything below it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/embedded/database.h"
#include "platform/embedded/files/security_descriptor.h"

namespace tarnwick::platform::embedded::files {

struct EntryRow {
    int64_t id = 0;
    std::optional<int64_t> parentId;  // none for a drive root
    std::string name;                 // "C:" for a drive root
    bool folder = false;
    uint32_t attributes = 0;  // with 0x10 for folders
};

class EntryTable {
public:
    explicit EntryTable(Database& db) : db_(db) {}

    // The table's schema, for Store::ensureSchema.
    static std::string_view schema();

    std::optional<EntryRow> root(char drive);
    std::vector<EntryRow> roots();
    std::optional<EntryRow> child(int64_t parentId, std::string_view name);
    std::optional<EntryRow> byId(int64_t id);
    // Ordered by name, ignoring case.
    std::vector<EntryRow> children(int64_t parentId);

    int64_t insert(std::optional<int64_t> parentId, std::string_view name, bool folder,
                   uint32_t attributes, std::string_view content, ByteView security);
    std::string content(int64_t id);
    // A file's size, or the total size of every file below a folder.
    uint64_t size(int64_t id);
    void setContent(int64_t id, std::string_view content);
    Bytes security(int64_t id);
    void setSecurity(int64_t id, ByteView security);
    void setAttributes(int64_t id, uint32_t attributes);
    void move(int64_t id, int64_t newParentId, std::string_view newName);
    // Removes the entry and everything below it.
    void remove(int64_t id);
    void removeAll();

private:
    std::vector<EntryRow> rows(Statement& query);

    Database& db_;
};

}  // namespace tarnwick::platform::embedded::files
