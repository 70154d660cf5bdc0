// RAII access to the embedded platform's SQLite store.
//
// Every change the platform makes is one IMMEDIATE transaction, so two page
// processes that run at once serialise their writes, and a process killed at
// any point leaves the last committed state (WAL journal, synchronous=FULL).
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/embedded/change_counter.h"

namespace tarnwick::platform::embedded {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

// A stored value as a message shows it: quoted as JSON, on one line, and
// cut after 60 bytes.
std::string storedValueText(std::string_view value);

class Database {
public:
    enum class Opening {
        // Creates the file when missing and keeps it in WAL mode.
        CreateIfMissing,
        // Opens an existing file only, and writes nothing to it on opening:
        // its owner checks what it holds before switching it to WAL mode
        // (useWriteAheadLog).
        ExistingUnchanged,
    };
    // Opens the database file; ":memory:" for an in-memory store.
    explicit Database(const std::string& path, Opening opening = Opening::CreateIfMissing);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void execute(std::string_view sql);
    // A compiled statement for `sql`. Finished statements are kept and handed
    // out again for the same text, so a statement is compiled once per
    // connection rather than once per call.
    Statement prepare(std::string_view sql);
    // Puts the file in WAL mode (a no-op when it is in it already) and starts
    // following other processes' commits through the change counter.
    void useWriteAheadLog();
    // How a stored value that cannot be what its column holds is reported
    // (`problem` names the column and the value); a plain StoreError naming
    // the file until the owner sets it.
    void reportDamageWith(std::function<StoreError(std::string_view problem)> report) {
        damaged_ = std::move(report);
    }
    StoreError damaged(std::string_view problem) const;
    int64_t lastInsertRowId() const;
    int changes() const;
    sqlite3* handle() const { return db_.get(); }

    // A number that changes whenever what this connection has read may have
    // changed behind its back: another connection committed, or this one
    // rolled a transaction back. A cache of stored state keeps the generation
    // it was filled at and is refilled once it differs; a cache that changes
    // its rows itself applies its own writes to its copy as well.
    //
    // Another connection's commit is looked for (PRAGMA data_version) at the
    // start of every transaction, so everything a change reads is current,
    // and outside transactions whenever the store's change counter moved (see
    // change_counter.h), or a second has passed since the last look.
    uint64_t generation();

private:
    friend class Statement;
    friend class Transaction;
    friend class ReadTransaction;
    static std::chrono::milliseconds coarseNow();
    // Runs PRAGMA data_version and moves the generation on when it changed.
    void lookForOtherCommits();
    static int beforeCommit(void* database);
    static int afterCommit(void* database, sqlite3* db, const char* name, int frames);
    // Takes back a finished statement, reset and without bindings.
    void release(std::string sql, sqlite3_stmt* statement);

    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
    std::unordered_multimap<std::string, sqlite3_stmt*> idle_;
    uint64_t generation_ = 1;
    int64_t dataVersion_ = -1;
    std::chrono::milliseconds lastLook_{};  // coarseNow() at the last look
    std::string path_;
    std::function<StoreError(std::string_view)> damaged_;
    bool inMemory_ = false;  // one connection: nobody else commits
    std::unique_ptr<ChangeCounter> changes_;
    uint64_t changesSeen_ = 0;
};

class Statement {
public:
    Statement(Database& owner, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;

    Statement& bind(int index, int64_t value);
    Statement& bind(int index, int value) { return bind(index, static_cast<int64_t>(value)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, std::string_view value);
    Statement& bind(int index, const char* value) { return bind(index, std::string_view(value)); }
    Statement& bindNull(int index);

    // Advances to the next row; false when done.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    bool isNull(int column) const;
    // A whole number; 0 for NULL. A value of another type (text, a real
    // number, a blob) in the column is damage: it throws the store's
    // damage error instead of reading as 0.
    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;

private:
    Database* owner_;
    sqlite3* db_;
    std::string sql_;
    sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE on construction; rolled back on destruction unless
// committed. Inside another transaction it becomes a savepoint, so a change
// that is one transaction on its own joins a larger one (a state load).
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& db_;
    bool nested_ = false;
    bool done_ = false;
};

// One snapshot of the store for everything read while it lives: commits of
// other processes made meanwhile are not seen, so what is read together fits
// together (a whole-state dump). Writers are not held up. Inside another
// transaction it adds nothing: that one is already a snapshot.
class ReadTransaction {
public:
    explicit ReadTransaction(Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    Database& db_;
    bool active_ = false;
};

}  // namespace tarnwick::platform::embedded
