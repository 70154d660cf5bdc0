#include "platform/embedded/database.h"

namespace tarnwick::platform::embedded {

namespace {
[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}
}  // namespace

Database::Database(const std::string& path) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) fail(raw, "cannot open the platform store " + path);
    sqlite3_busy_timeout(raw, 30000);
    if (path != ":memory:") execute("PRAGMA journal_mode=WAL");
    execute("PRAGMA synchronous=FULL");
    execute("PRAGMA foreign_keys=ON");
}

void Database::execute(std::string_view sql) {
    std::string text(sql);
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string error = message ? message : "unknown error";
        sqlite3_free(message);
        throw StoreError("platform store: " + error);
    }
}

Statement Database::prepare(std::string_view sql) { return Statement(db_.get(), sql); }

int64_t Database::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_.get()); }

int Database::changes() const { return sqlite3_changes(db_.get()); }

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK) {
        fail(db, "platform store");
    }
    statement_.reset(raw);
}

Statement& Statement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_.get(), index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, double value) {
    if (sqlite3_bind_double(statement_.get(), index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
    if (sqlite3_bind_text(statement_.get(), index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(statement_.get(), index) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(statement_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, "platform store");
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

double Statement::real(int column) const { return sqlite3_column_double(statement_.get(), column); }

std::string Statement::text(int column) const {
    auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_.get(), column));
    int size = sqlite3_column_bytes(statement_.get(), column);
    return data ? std::string(data, static_cast<size_t>(size)) : std::string();
}

Transaction::Transaction(Database& db)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
    db_.execute(nested_ ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        db_.execute(nested_ ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
    } catch (const StoreError&) {
        // The connection already rolled back (for example after SQLITE_FULL).
    }
}

void Transaction::commit() {
    db_.execute(nested_ ? "RELEASE nested" : "COMMIT");
    done_ = true;
}

}  // namespace tarnwick::platform::embedded
