#include "store/sqlite/CppSQLite3Exception.h"
#include "tests/store/sqlite/StoreFixture.h"
#include "tests/support/WithoutOverridingPermissions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

namespace orvane::test {
namespace {

std::string LayerMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const CppSQLite3Exception& error) {
        EXPECT_EQ(CPPSQLITE_ERROR, error.errorCode());
        return error.errorMessage();
    }
    return "no exception";
}

class ExecuteSqlTest : public StoreFixture {};

TEST_F(ExecuteSqlTest, FailedFetchKeepsCallerTableAndTraces) {
    OpenWithTable();
    ASSERT_EQ(0, ExecuteSql("insert into Notes (guid) values ('g1');", SQL_MODE_EXEC, store, nullptr));
    CppSQLite3Table table;
    ASSERT_EQ(0, ExecuteSql("select guid from Notes;", SQL_MODE_GTBL, store, &table));

    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, ExecuteSql("select missing from Notes;", SQL_MODE_GTBL, store, &table));
    const std::string trace = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, trace.find("Error 1 :: SQLITE_ERROR[1]: no such column: missing")) << trace;
    table.setRow(0);
    EXPECT_STREQ("g1", table.fieldValue("guid"));

    CppSQLite3Table neverFilled;
    EXPECT_EQ(R_E_BAD_FORMAT, ExecuteSql("select missing from Notes;", SQL_MODE_GTBL, store, &neverFilled));
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Null Results pointer", LayerMessage([&] { neverFilled.setRow(0); }));
}

TEST_F(ExecuteSqlTest, EmptySelectKeepsNamesButHasNoRow) {
    OpenWithTable();
    CppSQLite3Table table;
    ASSERT_EQ(0, ExecuteSql("select guid, body from Notes;", SQL_MODE_GTBL, store, &table));
    EXPECT_EQ(0, table.numRows());
    EXPECT_EQ(2, table.numFields());
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Invalid row index requested", LayerMessage([&] { table.setRow(0); }));
    // The name is known, so the reader fails on the missing row, not on the name, and reads nothing.
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Invalid row index requested", LayerMessage([&] { table.fieldValue("body"); }));
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Invalid field name requested", LayerMessage([&] { table.fieldValue("Body"); }));
}

TEST_F(ExecuteSqlTest, FailedStatementChangesNothing) {
    OpenWithTable();
    ASSERT_EQ(0, ExecuteSql("create unique index NotesGuid on Notes (guid);", SQL_MODE_EXEC, store, nullptr));
    ASSERT_EQ(0, ExecuteSql("insert into Notes (guid) values ('a');", SQL_MODE_EXEC, store, nullptr));
    // One statement of three rows whose last row collides: none of the three is kept.
    EXPECT_EQ(R_E_BAD_FORMAT,
              ExecuteSql("insert into Notes (guid) values ('b'), ('c'), ('a');", SQL_MODE_EXEC, store, nullptr));
    EXPECT_EQ(R_E_BAD_FORMAT, ExecuteSql("update Notes set nothere = 1;", SQL_MODE_EXEC, store, nullptr));
    EXPECT_EQ(0, ExecuteSql("delete from Notes;", 0x64656c65, store, nullptr));  // unknown mode runs nothing
    EXPECT_EQ(1, Count("select count(*) as n from Notes;"));

    EXPECT_EQ(R_E_INVALID_ARGUMENT, ExecuteSql("select 1;", SQL_MODE_GTBL, store, nullptr));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, ExecuteSql("select 1;", SQL_MODE_EXEC, nullptr, nullptr));
}

TEST_F(ExecuteSqlTest, ClosedConnectionFailsCleanly) {
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Database not open", LayerMessage([&] { store->Connection().execDML("select 1;"); }));
    EXPECT_EQ(R_E_BAD_FORMAT, ExecuteSql("select 1;", SQL_MODE_EXEC, store, nullptr));
}

TEST_F(ExecuteSqlTest, FileThatIsNotSqliteIsLeftAlone) {
    const std::string garbage(4096, '\x5a');
    { std::ofstream(dbPath, std::ios::binary) << garbage; }
    store->Connection().open(dbPath.c_str());
    CppSQLite3Table table;
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_DATABASE_CORRUPT, ExecuteSql("create table T (a TEXT);", SQL_MODE_EXEC, store, nullptr));
    EXPECT_EQ(R_E_DATABASE_CORRUPT, ExecuteSql("select * from sqlite_master;", SQL_MODE_GTBL, store, &table));
    const std::string trace = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, trace.find("Error 26 :: UNKNOWN_ERROR[26]: file is not a database")) << trace;
    store->Connection().close();
    EXPECT_EQ(garbage, ReadBytes(dbPath));
}

TEST_F(ExecuteSqlTest, ReadOnlyFileRefusesWritesCleanly) {
    OpenWithTable();
    ASSERT_EQ(0, ExecuteSql("insert into Notes (guid) values ('kept');", SQL_MODE_EXEC, store, nullptr));
    store->Connection().close();
    ASSERT_EQ(0, chmod(dbPath.c_str(), 0444));
    const std::string before = ReadBytes(dbPath);

    // Root may write any file, so the connection is opened without that power.
    orvane::test::WithoutOverridingPermissions([&] { store->Connection().open(dbPath.c_str()); });
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_ACCESS_DENIED,
              ExecuteSql("insert into Notes (guid) values ('new');", SQL_MODE_EXEC, store, nullptr));
    const std::string trace = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, trace.find("SQLITE_READONLY[8]")) << trace;
    EXPECT_EQ(1, Count("select count(*) as n from Notes;"));
    store->Connection().close();
    EXPECT_EQ(before, ReadBytes(dbPath));
}

TEST_F(ExecuteSqlTest, TwoThreadsShareOneStore) {
    OpenWithTable();
    ASSERT_EQ(0, ExecuteSql("PRAGMA synchronous = OFF;", SQL_MODE_EXEC, store, nullptr));
    auto writer = [this](int first) {
        for (int i = first; i < first + 500; ++i) {
            CStringA values;
            AppendSqlTextValue(values, CStringA(std::to_string(i)));
            AppendSqlIntValue(values, i);
            CStringA sql;
            sql.Format("insert into Notes (guid, count) values (%s);", values.GetString());
            ASSERT_EQ(0, ExecuteSql(sql, SQL_MODE_EXEC, store, nullptr));
        }
    };
    std::thread a(writer, 0), b(writer, 500);
    a.join();
    b.join();
    EXPECT_EQ(1000, Count("select count(distinct count) as n from Notes;"));
}

TEST(CppSQLite3Exception, CopiesOwnTheirMessage) {
    CppSQLite3Exception original(5, nullptr);
    CppSQLite3Exception copy(original);
    copy = copy;
    copy = CppSQLite3Exception(101, "x");
    EXPECT_STREQ("SQLITE_BUSY[5]: ", original.errorMessage());
    EXPECT_STREQ("SQLITE_DONE[101]: x", copy.errorMessage());
}

}  // namespace
}  // namespace orvane::test
