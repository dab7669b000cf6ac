// Statements whose values are bound to parameters and whose compiled form the connection keeps:
// the values land exactly as quoted literals would, whatever they hold, and a kept statement
// holds no lock and no failure over to the next use, nor keeps the connection from closing.
#include "store/sqlite/CppSQLite3Exception.h"
#include "tests/store/sqlite/StoreFixture.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace orvane::test {
namespace {

class BoundStatementTest : public StoreFixture {
protected:
    RResult Insert(const char* guid, const char* body, long long count) {
        return ExecuteStoreWrite("insert into Notes (guid, body, count) values (?, ?, ?);",
                                 {SqlValue{guid, 0}, SqlValue{body, 0}, SqlValue{nullptr, count}}, store);
    }
    std::vector<std::string> Row(const char* guid) {
        CppSQLite3Table table;
        const std::string sql = "select typeof(body) as t, body, typeof(count) as c, count from Notes where guid = " +
                                std::string(SqlQuote(guid).GetString()) + ";";
        EXPECT_EQ(0, ExecuteSql(sql.c_str(), SQL_MODE_GTBL, store, &table));
        if (table.numRows() != 1) return {};
        table.setRow(0);
        return {table.fieldValue("t"), table.fieldValue("body"), table.fieldValue("c"), table.fieldValue("count")};
    }
};

TEST_F(BoundStatementTest, BoundValuesAreStoredAsTheirQuotedLiteralsWouldBe) {
    OpenWithTable();
    const std::vector<std::string> bodies = {"it's", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "a;b--",
                                             "'); drop table Notes; --", "line\r\nnext", "?"};
    int n = 0;
    for (const std::string& body : bodies) {
        const std::string bound = "bound-" + std::to_string(n);
        const std::string literal = "literal-" + std::to_string(n++);
        ASSERT_EQ(0, Insert(bound.c_str(), body.c_str(), -7));
        const std::string sql = "insert into Notes (guid, body, count) values (" +
                                std::string(SqlQuote(literal.c_str()).GetString()) + ", " +
                                SqlQuote(body.c_str()).GetString() + ", -7);";
        ASSERT_EQ(0, ExecuteSql(sql.c_str(), SQL_MODE_EXEC, store, nullptr));
        const std::vector<std::string> row = Row(bound.c_str());
        EXPECT_EQ(row, Row(literal.c_str())) << body;
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(row[1], body);
        EXPECT_EQ(row[2], "integer");
    }
    EXPECT_EQ(static_cast<int>(2 * bodies.size()), Count("select count(*) as n from Notes;"));
}

TEST_F(BoundStatementTest, AFailedUseLeavesNoLockAndTheStatementRunsAgain) {
    OpenWithTable();
    ASSERT_EQ(0, ExecuteSql("create unique index NotesGuid on Notes (guid);", SQL_MODE_EXEC, store, nullptr));
    ASSERT_EQ(0, Insert("a", "first", 1));
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, Insert("a", "again", 2));
    // Values that do not match the statement's parameters run nothing.
    EXPECT_NE(0, ExecuteStoreWrite("insert into Notes (guid, body) values (?, ?);", {SqlValue{"x", 0}}, store));
    testing::internal::GetCapturedStderr();

    // No read or write lock is left behind: another connection writes at once.
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(dbPath.c_str(), &other));
    sqlite3_busy_timeout(other, 0);
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(other, "insert into Notes (guid) values ('other');", nullptr, nullptr, nullptr));
    sqlite3_close(other);

    ASSERT_EQ(0, Insert("b", "second", 3));
    EXPECT_EQ(Row("a"), (std::vector<std::string>{"text", "first", "integer", "1"}));
    EXPECT_EQ(Row("b"), (std::vector<std::string>{"text", "second", "integer", "3"}));
    EXPECT_EQ(0, Count("select count(*) as n from Notes where guid = 'x';"));
}

TEST_F(BoundStatementTest, ManyDifferentTextsRunAndTheConnectionStillCloses) {
    OpenWithTable();
    for (int i = 0; i < 200; ++i) {
        // Each text differs, so old compiled statements must make room for new ones.
        const std::string sql = "insert into Notes (guid, count) values (?, ?) /* " + std::to_string(i) + " */;";
        const std::string guid = "g" + std::to_string(i);
        ASSERT_EQ(0, ExecuteStoreWrite(sql.c_str(), {SqlValue{guid.c_str(), 0}, SqlValue{nullptr, i}}, store)) << i;
    }
    ASSERT_EQ(0, Insert("last", "x", 1));
    EXPECT_EQ(201, Count("select count(*) as n from Notes;"));
    EXPECT_EQ(199, Count("select count as n from Notes where guid = 'g199';"));
    // Kept statements would keep SQLite from closing the connection.
    EXPECT_NO_THROW(store->Connection().close());
    store->Connection().open(dbPath.c_str());
    ASSERT_EQ(0, Insert("reopened", "y", 2));
    EXPECT_EQ(202, Count("select count(*) as n from Notes;"));
}

}  // namespace
}  // namespace orvane::test
