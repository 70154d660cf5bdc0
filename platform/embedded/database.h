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

    void execute(std::string_view sql);
    Statement prepare(std::string_view sql);
    int64_t lastInsertRowId() const;
    int changes() const;
    sqlite3* handle() const { return db_.get(); }

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);

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
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
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
