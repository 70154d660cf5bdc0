#include "platform/embedded/database.h"

#include <time.h>

#include <nlohmann/json.hpp>

namespace tarnwick::platform::embedded {

namespace {
[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    if (!db) throw StoreError(std::string(what) + ": out of memory");
    int code = sqlite3_errcode(db);
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        // A damaged file is named, so that its owner knows which one to replace.
        const char* file = sqlite3_db_filename(db, "main");
        std::string named = file && *file ? std::string(" ") + file : "";
        throw StoreError("the platform store" + named + " is damaged: " + sqlite3_errmsg(db));
    }
    throw StoreError(std::string(what) + ": " + sqlite3_errmsg(db));
}
}  // namespace

Database::Database(const std::string& path, Opening opening) {
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (opening == Opening::CreateIfMissing) flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) fail(raw, "cannot open the platform store " + path);
    sqlite3_busy_timeout(raw, 30000);
    inMemory_ = path == ":memory:";
    path_ = path;
    execute("PRAGMA synchronous=FULL");
    execute("PRAGMA foreign_keys=ON");
    if (opening == Opening::CreateIfMissing) useWriteAheadLog();
}

void Database::execute(std::string_view sql) {
    std::string text(sql);
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);  // the same text as sqlite3_errmsg
        fail(db_.get(), "platform store");
    }
}

void Database::useWriteAheadLog() {
    if (inMemory_ || changes_) return;
    execute("PRAGMA journal_mode=WAL");
    changes_ = ChangeCounter::open(path_ + "-changes");
    if (changes_) {
        sqlite3_commit_hook(db_.get(), &Database::beforeCommit, this);
        // Replaces SQLite's automatic checkpoint, which afterCommit does in its stead.
        sqlite3_wal_hook(db_.get(), &Database::afterCommit, this);
    }
}

Database::~Database() {
    sqlite3_commit_hook(db_.get(), nullptr, nullptr);
    sqlite3_wal_hook(db_.get(), nullptr, nullptr);
    for (auto& [sql, statement] : idle_) sqlite3_finalize(statement);
}

Statement Database::prepare(std::string_view sql) { return Statement(*this, sql); }

void Database::release(std::string sql, sqlite3_stmt* statement) {
    // Statements whose text is built at run time would grow the cache without
    // end: beyond a few hundred kept statements, a finished one is dropped.
    constexpr size_t kMaxIdle = 512;
    if (idle_.size() >= kMaxIdle) {
        sqlite3_finalize(statement);
        return;
    }
    idle_.emplace(std::move(sql), statement);
}

// The monotonic clock at the resolution of the scheduler tick, fine enough for
// a trust window of a second. It is read on every cached read, and costs a
// memory read where the precise clock reads the time-stamp counter.
std::chrono::milliseconds Database::coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::nanoseconds(now.tv_nsec));
}

StoreError Database::damaged(std::string_view problem) const {
    if (damaged_) return damaged_(problem);
    return StoreError(path_ + " is damaged: " + std::string(problem));
}

std::string storedValueText(std::string_view value) {
    constexpr size_t kLongest = 60;
    std::string shown(value.substr(0, kLongest));
    return nlohmann::json(shown).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
           (value.size() > kLongest ? "..." : "");
}

uint64_t Database::generation() {
    // Inside a transaction nothing new can be seen: this connection holds the
    // write lock (every writing transaction is IMMEDIATE), or reads one
    // snapshot (ReadTransaction), and looked when it began.
    if (inMemory_ || sqlite3_get_autocommit(db_.get()) == 0) return generation_;
    constexpr std::chrono::milliseconds kLongestTrust{1000};
    if (!changes_) {
        lookForOtherCommits();
    } else if (auto changes = changes_->value();
               changes != changesSeen_ || coarseNow() - lastLook_ >= kLongestTrust) {
        // The counter is read before the look, so a commit between the two is
        // seen now or at the next call.
        changesSeen_ = changes;
        lookForOtherCommits();
    }
    return generation_;
}

int Database::beforeCommit(void* database) {
    static_cast<Database*>(database)->changes_->raise();
    return 0;  // go on with the commit
}

int Database::afterCommit(void* database, sqlite3* db, const char* name, int frames) {
    static_cast<Database*>(database)->changes_->raise();
    // SQLite's own automatic checkpoint: once the WAL holds 1000 pages.
    if (frames >= 1000)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

void Database::lookForOtherCommits() {
    auto query = prepare("PRAGMA data_version");
    query.step();
    int64_t version = query.integer(0);
    if (version != dataVersion_) {
        dataVersion_ = version;
        ++generation_;
    }
    lastLook_ = coarseNow();
}

int64_t Database::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_.get()); }

int Database::changes() const { return sqlite3_changes(db_.get()); }

Statement::Statement(Database& owner, std::string_view sql)
    : owner_(&owner), db_(owner.handle()), sql_(sql) {
    if (auto kept = owner.idle_.find(sql_); kept != owner.idle_.end()) {
        statement_ = kept->second;
        owner.idle_.erase(kept);
        return;
    }
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        fail(db_, "platform store");
    }
}

Statement::Statement(Statement&& other) noexcept
    : owner_(other.owner_),
      db_(other.db_),
      sql_(std::move(other.sql_)),
      statement_(other.statement_) {
    other.statement_ = nullptr;
}

Statement::~Statement() {
    if (!statement_) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    owner_->release(std::move(sql_), statement_);
}

Statement& Statement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, double value) {
    if (sqlite3_bind_double(statement_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
    if (sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(statement_, index) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, "platform store");
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

int64_t Statement::integer(int column) const {
    int type = sqlite3_column_type(statement_, column);
    if (type != SQLITE_INTEGER && type != SQLITE_NULL) {
        // The table and column it came from (the column metadata SQLite keeps
        // for a column read straight from a table), else the result's name.
        const char* table = sqlite3_column_table_name(statement_, column);
        const char* name = sqlite3_column_origin_name(statement_, column);
        std::string where = table && name ? std::string(table) + "." + name
                                          : std::string(sqlite3_column_name(statement_, column));
        throw owner_->damaged(where + " is " + storedValueText(text(column)) +
                              ", not a whole number");
    }
    return sqlite3_column_int64(statement_, column);
}

double Statement::real(int column) const { return sqlite3_column_double(statement_, column); }

std::string Statement::text(int column) const {
    auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    int size = sqlite3_column_bytes(statement_, column);
    return data ? std::string(data, static_cast<size_t>(size)) : std::string();
}

Transaction::Transaction(Database& db)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
    db_.execute(nested_ ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
    if (nested_) return;
    try {
        db_.lookForOtherCommits();
    } catch (const StoreError&) {
        db_.execute("ROLLBACK");
        throw;
    }
}

Transaction::~Transaction() {
    if (done_) return;
    // Whatever a cache took over from this transaction's writes is undone.
    ++db_.generation_;
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

ReadTransaction::ReadTransaction(Database& db) : db_(db) {
    if (sqlite3_get_autocommit(db.handle()) == 0) return;  // already one snapshot
    db_.execute("BEGIN DEFERRED");
    active_ = true;
    try {
        // The first read takes the snapshot; PRAGMA data_version is that read,
        // and tells whether copies of stored rows made before still hold.
        db_.lookForOtherCommits();
    } catch (const StoreError&) {
        db_.execute("ROLLBACK");
        throw;
    }
}

ReadTransaction::~ReadTransaction() {
    if (!active_) return;
    try {
        // Ends the snapshot; keeps what a change made inside it, if one did
        // (a part that sets itself up when first read).
        db_.execute("COMMIT");
    } catch (const StoreError&) {
        ++db_.generation_;  // the change, if any, was rolled back with it
        try {
            db_.execute("ROLLBACK");
        } catch (const StoreError&) {
            // The connection already ended the transaction.
        }
    }
}

}  // namespace tarnwick::platform::embedded
