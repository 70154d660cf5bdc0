// RAII access to the embedded platform's SQLite store.
//
// Every change the platform makes is one IMMEDIATE transaction, so two page
// processes that run at once serialise their writes, and a process killed at
// any point leaves the last committed state (WAL journal, synchronous=FULL).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnwick::platform::embedded {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement;

class Database {
public:
    // Opens (creating when missing) the database file; ":memory:" for an in-memory store.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void execute(std::string_view sql);
    // A compiled statement for `sql`. Finished statements are kept and handed
    // out again for the same text, so a statement is compiled once per
    // connection rather than once per call.
    Statement prepare(std::string_view sql);
    int64_t lastInsertRowId() const;
    int changes() const;
    sqlite3* handle() const { return db_.get(); }

private:
    friend class Statement;
    // Takes back a finished statement, reset and without bindings.
    void release(std::string sql, sqlite3_stmt* statement);

    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
    std::unordered_multimap<std::string, sqlite3_stmt*> idle_;
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

}  // namespace tarnwick::platform::embedded
