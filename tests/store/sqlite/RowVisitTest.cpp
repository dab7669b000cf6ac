// Reading a large select row by row: the same values, NULLs and misuse errors as a fetched table.
#include <string>
#include <vector>

#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Row.h"
#include "tests/store/sqlite/StoreFixture.h"

namespace orvane::test {
namespace {

class RowVisitTest : public StoreFixture {};

TEST_F(RowVisitTest, RowsComeInOrderWithNullsAndMisuseRaises) {
    OpenWithTable();
    ASSERT_EQ(R_OK, ExecuteSql("insert into Notes (guid, body) values ('b', 'two'), ('a', null), ('c', 'it''s');",
                               SQL_MODE_EXEC, store, nullptr));
    std::vector<std::string> seen;
    store->Connection().forEachRow("select guid, body from Notes order by guid;", [&](const CppSQLite3Row& row) {
        seen.push_back(std::string(row.getStringField("guid")) + "=" +
                       (row.fieldValue("body") != nullptr ? row.fieldValue("body") : "NULL"));
    });
    EXPECT_EQ((std::vector<std::string>{"a=NULL", "b=two", "c=it's"}), seen);

    std::string message;
    try {
        store->Connection().forEachRow("select guid from Notes;", [](const CppSQLite3Row& row) { row.fieldValue("Guid"); });
    } catch (const CppSQLite3Exception& error) {
        message = error.errorMessage();
    }
    EXPECT_EQ("CPPSQLITE_ERROR[1000]: Invalid field name requested", message);

    int code = 0;
    try {
        store->Connection().forEachRow("select missing from Notes;", [](const CppSQLite3Row&) {});
    } catch (const CppSQLite3Exception& error) {
        code = error.errorCode();
    }
    EXPECT_EQ(1, code) << "SQLite's own code for a select it refuses";
}

}  // namespace
}  // namespace orvane::test
