#include "platform/embedded/database.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace tarnwick::platform::embedded {
namespace {

class DatabaseTest : public ::testing::Test {
protected:
    Database db{":memory:"};
    void SetUp() override {
        db.execute("CREATE TABLE numbers (n INTEGER)");
        for (int i = 1; i <= 3; ++i) db.prepare("INSERT INTO numbers VALUES (?)").bind(1, i).run();
    }
};

TEST_F(DatabaseTest, StatementsOfTheSameTextRunSideBySide) {
    const char* sql = "SELECT n FROM numbers ORDER BY n";
    auto outer = db.prepare(sql);
    std::vector<std::pair<int64_t, int64_t>> pairs;
    while (outer.step()) {
        auto inner = db.prepare(sql);
        while (inner.step()) pairs.emplace_back(outer.integer(0), inner.integer(0));
    }
    EXPECT_EQ(pairs.size(), 9u);
    EXPECT_EQ(pairs.back(), (std::pair<int64_t, int64_t>{3, 3}));
}

TEST_F(DatabaseTest, AFinishedStatementComesBackClean) {
    {
        auto query = db.prepare("SELECT n FROM numbers WHERE n >= ? ORDER BY n");
        query.bind(1, 2);
        ASSERT_TRUE(query.step());  // left in the middle of its rows
    }
    // The kept statement starts over without bindings (n >= NULL matches nothing)
    // and holds no open read: the table can be dropped afterwards.
    {
        auto unbound = db.prepare("SELECT n FROM numbers WHERE n >= ? ORDER BY n");
        EXPECT_FALSE(unbound.step()) << "a binding survived";
    }
    auto again = db.prepare("SELECT n FROM numbers WHERE n >= ? ORDER BY n");
    again.bind(1, 1);
    ASSERT_TRUE(again.step());
    EXPECT_EQ(again.integer(0), 1);
    {
        auto moved = std::move(again);
        ASSERT_TRUE(moved.step());
        EXPECT_EQ(moved.integer(0), 2);
    }
    EXPECT_NO_THROW(db.execute("DROP TABLE numbers"));
    EXPECT_THROW(db.prepare("SELECT n FROM numbers"), StoreError);
}

// Two connections to one database file, as two processes have.
class SnapshotTest : public ::testing::Test {
protected:
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarnwick-snapshot-" + std::to_string(getpid()));
    std::string path = (folder / "store.db").string();
    std::unique_ptr<Database> reader, writer;

    void SetUp() override {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        reader = std::make_unique<Database>(path);
        writer = std::make_unique<Database>(path);
        writer->execute("CREATE TABLE numbers (n INTEGER); INSERT INTO numbers VALUES (1), (2)");
    }
    void TearDown() override {
        reader.reset();
        writer.reset();
        std::filesystem::remove_all(folder);
    }
    std::string numbers(Database& db) {
        std::string seen;
        auto query = db.prepare("SELECT n FROM numbers ORDER BY n");
        while (query.step()) seen += std::to_string(query.integer(0)) + " ";
        return seen;
    }
};

TEST_F(SnapshotTest, WhatOthersCommitDuringAReadTransactionIsSeenOnlyAfterIt) {
    struct Case {
        const char* change;
        const char* after;
    };
    const Case cases[] = {
        {"INSERT INTO numbers VALUES (3)", "1 2 3 "},
        {"DELETE FROM numbers WHERE n = 1", "2 "},
        {"UPDATE numbers SET n = n * 10", "10 20 "},
    };
    for (const auto& [change, after] : cases) {
        SCOPED_TRACE(change);
        auto before = reader->generation();
        // Committed before the snapshot: what the reader copied earlier is stale.
        writer->execute("DELETE FROM numbers; INSERT INTO numbers VALUES (1), (2)");
        {
            ReadTransaction snapshot(*reader);
            auto taken = reader->generation();
            EXPECT_GT(taken, before);
            // Committed after the snapshot began, before the reader read a row.
            writer->execute(change);
            EXPECT_EQ(numbers(*reader), "1 2 ");
            writer->execute("INSERT INTO numbers VALUES (99)");
            EXPECT_EQ(numbers(*reader), "1 2 ");
            writer->execute("DELETE FROM numbers WHERE n = 99");
            // Copies made from the snapshot hold for all of it.
            EXPECT_EQ(reader->generation(), taken);
            before = taken;
        }
        EXPECT_EQ(numbers(*reader), after);
        EXPECT_GT(reader->generation(), before);
    }
}

TEST_F(SnapshotTest, AReadTransactionInsideAnotherTransactionAddsNothing) {
    Transaction outer(*reader);
    reader->execute("INSERT INTO numbers VALUES (3)");
    {
        ReadTransaction snapshot(*reader);
        EXPECT_EQ(numbers(*reader), "1 2 3 ");
    }
    outer.commit();  // still the outer transaction to commit
    EXPECT_EQ(numbers(*writer), "1 2 3 ");
}

}  // namespace
}  // namespace tarnwick::platform::embedded
