#include "platform/embedded/database.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarnwick::platform::embedded
