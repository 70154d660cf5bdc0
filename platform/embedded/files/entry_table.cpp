#include "platform/embedded/files/entry_table.h"

namespace tarnwick::platform::embedded::files {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS file_entries (
    id INTEGER PRIMARY KEY,
    parent_id INTEGER REFERENCES file_entries(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    is_folder INTEGER NOT NULL,
    attributes INTEGER NOT NULL,
    content BLOB NOT NULL DEFAULT x'',
    security BLOB NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS file_entries_in_folder ON file_entries(parent_id, name);
CREATE UNIQUE INDEX IF NOT EXISTS file_entries_drives ON file_entries(name)
    WHERE parent_id IS NULL;
)sql";

constexpr const char* kColumns =
    "SELECT id, parent_id, name, is_folder, attributes FROM file_entries ";

// Statement binds text with an explicit length, so any bytes pass unchanged;
// CAST(? AS BLOB) in the SQL stores them as a blob, and Statement::text reads
// a blob's bytes back as they are.
// An empty view may have no data pointer, which SQLite would store as NULL.
std::string_view asText(std::string_view bytes) {
    return bytes.data() ? bytes : std::string_view("", 0);
}

std::string_view asText(ByteView bytes) {
    return asText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Bytes asBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace

std::string_view EntryTable::schema() { return kSchema; }

std::vector<EntryRow> EntryTable::rows(Statement& query) {
    std::vector<EntryRow> result;
    while (query.step()) {
        EntryRow row;
        row.id = query.integer(0);
        if (!query.isNull(1)) row.parentId = query.integer(1);
        row.name = query.text(2);
        row.folder = query.integer(3) != 0;
        row.attributes = static_cast<uint32_t>(query.integer(4));
        result.push_back(std::move(row));
    }
    return result;
}

std::optional<EntryRow> EntryTable::root(char drive) {
    auto query = db_.prepare(std::string(kColumns) + "WHERE parent_id IS NULL AND name = ?");
    query.bind(1, std::string{drive, ':'});
    auto found = rows(query);
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::vector<EntryRow> EntryTable::roots() {
    auto query = db_.prepare(std::string(kColumns) + "WHERE parent_id IS NULL ORDER BY name");
    return rows(query);
}

std::optional<EntryRow> EntryTable::child(int64_t parentId, std::string_view name) {
    auto query = db_.prepare(std::string(kColumns) + "WHERE parent_id = ? AND name = ?");
    query.bind(1, parentId).bind(2, name);
    auto found = rows(query);
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::optional<EntryRow> EntryTable::byId(int64_t id) {
    auto query = db_.prepare(std::string(kColumns) + "WHERE id = ?");
    query.bind(1, id);
    auto found = rows(query);
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::vector<EntryRow> EntryTable::children(int64_t parentId) {
    auto query = db_.prepare(std::string(kColumns) + "WHERE parent_id = ? ORDER BY name, id");
    query.bind(1, parentId);
    return rows(query);
}

int64_t EntryTable::insert(std::optional<int64_t> parentId, std::string_view name, bool folder,
                           uint32_t attributes, std::string_view content, ByteView security) {
    auto statement = db_.prepare(
        "INSERT INTO file_entries(parent_id, name, is_folder, attributes, content, security) "
        "VALUES (?, ?, ?, ?, CAST(? AS BLOB), CAST(? AS BLOB))");
    if (parentId)
        statement.bind(1, *parentId);
    else
        statement.bindNull(1);
    statement.bind(2, name)
        .bind(3, folder ? 1 : 0)
        .bind(4, static_cast<int64_t>(attributes))
        .bind(5, asText(content))
        .bind(6, asText(security))
        .run();
    return db_.lastInsertRowId();
}

std::string EntryTable::content(int64_t id) {
    auto query = db_.prepare("SELECT content FROM file_entries WHERE id = ?");
    query.bind(1, id);
    return query.step() ? query.text(0) : std::string();
}

uint64_t EntryTable::size(int64_t id) {
    auto query = db_.prepare(R"sql(
        WITH RECURSIVE below(id) AS (
            SELECT ?
            UNION ALL
            SELECT file_entries.id FROM file_entries JOIN below ON file_entries.parent_id = below.id
        )
        SELECT COALESCE(SUM(length(content)), 0) FROM file_entries
        WHERE id IN below AND is_folder = 0)sql");
    query.bind(1, id);
    return query.step() ? static_cast<uint64_t>(query.integer(0)) : 0;
}

void EntryTable::setContent(int64_t id, std::string_view content) {
    db_.prepare("UPDATE file_entries SET content = CAST(? AS BLOB) WHERE id = ?")
        .bind(1, asText(content))
        .bind(2, id)
        .run();
}

Bytes EntryTable::security(int64_t id) {
    auto query = db_.prepare("SELECT security FROM file_entries WHERE id = ?");
    query.bind(1, id);
    return query.step() ? asBytes(query.text(0)) : Bytes();
}

void EntryTable::setSecurity(int64_t id, ByteView security) {
    db_.prepare("UPDATE file_entries SET security = CAST(? AS BLOB) WHERE id = ?")
        .bind(1, asText(security))
        .bind(2, id)
        .run();
}

void EntryTable::setAttributes(int64_t id, uint32_t attributes) {
    db_.prepare("UPDATE file_entries SET attributes = ? WHERE id = ?")
        .bind(1, static_cast<int64_t>(attributes))
        .bind(2, id)
        .run();
}

void EntryTable::move(int64_t id, int64_t newParentId, std::string_view newName) {
    db_.prepare("UPDATE file_entries SET parent_id = ?, name = ? WHERE id = ?")
        .bind(1, newParentId)
        .bind(2, newName)
        .bind(3, id)
        .run();
}

void EntryTable::remove(int64_t id) {
    db_.prepare("DELETE FROM file_entries WHERE id = ?").bind(1, id).run();
}

void EntryTable::removeAll() { db_.execute("DELETE FROM file_entries"); }

}  // namespace tarnwick::platform::embedded::files
