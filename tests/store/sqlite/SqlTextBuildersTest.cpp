#include "tests/store/sqlite/StoreFixture.h"

#include <clocale>
#include <limits>
#include <string>

namespace orvane::test {
namespace {

TEST(SqlTextBuilders, ListsAndNumberForms) {
    CStringA columns;
    AppendSqlColumnName(columns, "");
    AppendSqlColumnName(columns, "guid");
    AppendSqlColumnName(columns, nullptr);
    AppendSqlColumnName(columns, "count");
    EXPECT_EQ(columns, "guid, count");

    CStringA values;
    AppendSqlTextValue(values, "it's");
    AppendSqlIntValue(values, -1);
    AppendSqlRealValue(values, 1.5);
    AppendSqlTextValue(values, "");
    EXPECT_EQ(values, "'it''s', -1, 1.500, ''");

    CStringA assignments;
    AppendSqlTextAssignment(assignments, "", "ignored");
    AppendSqlIntAssignment(assignments, "", 7);
    AppendSqlRealAssignment(assignments, "", 2.0);
    EXPECT_TRUE(assignments.IsEmpty());
    AppendSqlIntAssignment(assignments, "count", -1);
    AppendSqlTextAssignment(assignments, "body", "");
    AppendSqlRealAssignment(assignments, "weight", -0.25);
    EXPECT_EQ(assignments, "count = -1, body = '', weight = -0.250");

    EXPECT_EQ(SqlQuote("a'b''c"), "'a''b''''c'");
    EXPECT_EQ(SqlQuote(nullptr), "''");
}

TEST(SqlTextBuilders, TextEndsAtEmbeddedNul) {
    const char raw[] = "safe\0'); DROP TABLE Notes;--";
    const CStringA withNul(std::string(raw, sizeof raw - 1));
    ASSERT_GT(withNul.GetLength(), 5);
    EXPECT_EQ(SqlQuote(withNul), "'safe'");
}

TEST(SqlTextBuilders, NonFiniteRealsGiveLiteralsNotNames) {
    CStringA values;
    AppendSqlRealValue(values, std::numeric_limits<double>::quiet_NaN());
    AppendSqlRealValue(values, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(values, "NULL, -9e999");
}

TEST(SqlTextBuilders, RealsIgnoreDecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr && std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    CStringA values;
    AppendSqlRealValue(values, 1.5);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(values, "1.500");
}

class SqlTextRoundTrip : public StoreFixture {};

TEST_F(SqlTextRoundTrip, HostileTextsComeBackByteIdentical) {
    OpenWithTable();
    const char* texts[] = {
        "x'); DROP TABLE Notes;--",
        "it's \"quoted\"; -- not a comment",
        "line one\nline two\r\n\ttab",
        "Zürich – 東京 – emoji \xF0\x9F\x93\x85",
        "''",
        "",
    };
    int index = 0;
    for (const char* text : texts) {
        CStringA columns, values;
        AppendSqlColumnName(columns, "guid");
        AppendSqlIntValue(values, index++);
        AppendSqlColumnName(columns, "body");
        AppendSqlTextValue(values, text);
        CStringA sql;
        sql.Format("insert into Notes (%s) values (%s);", columns.GetString(), values.GetString());
        ASSERT_EQ(0, ExecuteSql(sql, SQL_MODE_EXEC, store, nullptr)) << text;
    }
    // Rewrite the first row through an assignment, and find it again through a quoted WHERE value.
    CStringA assignments;
    AppendSqlTextAssignment(assignments, "body", "a'; DELETE FROM Notes;--");
    AppendSqlRealAssignment(assignments, "weight", 1.5);
    CStringA update = "update Notes set " + assignments + " where body = " + SqlQuote(texts[0]) + ";";
    ASSERT_EQ(0, ExecuteSql(update, SQL_MODE_EXEC, store, nullptr));

    CppSQLite3Table table;
    ASSERT_EQ(0, ExecuteSql("select * from Notes order by guid;", SQL_MODE_GTBL, store, &table));
    ASSERT_EQ(6, table.numRows());
    table.setRow(0);
    EXPECT_STREQ("a'; DELETE FROM Notes;--", table.getStringField("body"));
    EXPECT_DOUBLE_EQ(1.5, table.getFloatField("weight"));
    for (int row = 1; row < 6; ++row) {
        table.setRow(row);
        EXPECT_EQ(std::string(texts[row]), table.getStringField("body"));
        EXPECT_DOUBLE_EQ(-3.0, table.getFloatField("weight", -3.0));  // NULL gives the caller's value
    }
}

}  // namespace
}  // namespace orvane::test
