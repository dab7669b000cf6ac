// Reading one item whole: its rows with the master first, and its file as written.
#include "store/SeriesRows.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class SeriesRowsTest : public OpenStoreFixture {
protected:
    CalendarItemRecord Row(const char* guid, const char* recurrenceId) {
        CalendarItemRecord row;
        row.Clear();
        row.guid = guid;
        row.recurrenceID = recurrenceId;
        row.parentAccountGuid = "a1";
        row.parentCalendarGuid = "c1";
        row.serverFileName = CStringA(guid) + ".ics";
        row.localFileName = row.serverFileName;
        row.dtStart = "2024-03-01 10:00";
        EXPECT_EQ(R_OK, store->AddCalendarItem(row.guid, row.recurrenceID, "c1", "a1", row));
        return row;
    }
};

TEST_F(SeriesRowsTest, TheMasterComesFirstAndOtherItemsStayOut) {
    MakeAccount("a1");
    MakeCalendar("a1", "c1");
    // Exceptions stored before their master, as a server may list them.
    Row("s1", "20240305T100000");
    Row("s1", "20240302T100000");
    Row("s1", "");
    Row("other", "");
    std::vector<CalendarItemRecord> rows;
    ASSERT_EQ(R_OK, ReadSeriesRows(store, "s1", "c1", "a1", rows));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_STREQ(rows[0].recurrenceID, "");
    EXPECT_STREQ(rows[1].recurrenceID, "20240302T100000");
    EXPECT_STREQ(rows[2].recurrenceID, "20240305T100000");
    ASSERT_EQ(R_OK, ReadSeriesRows(store, "s1", "c2", "a1", rows));
    EXPECT_TRUE(rows.empty());
    // A quote in a guid is only text.
    ASSERT_EQ(R_OK, ReadSeriesRows(store, "s1' or '1'='1", "c1", "a1", rows));
    EXPECT_TRUE(rows.empty());
}

TEST_F(SeriesRowsTest, ItemFilesAreReadAsWrittenAndNeverFromOutsideTheCalendar) {
    MakeAccount("a1");
    MakeCalendar("a1", "c1");
    const char text[] = "BEGIN:VCALENDAR\r\nX-ANY:kept\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile(text, "s1.ics", "c1", "a1"));
    std::string read;
    ASSERT_EQ(R_OK, ReadCalendarItemFile(store, "s1.ics", "c1", "a1", read));
    EXPECT_EQ(read, text);
    EXPECT_EQ(STG_E_PATHNOTFOUND, ReadCalendarItemFile(store, "missing.ics", "c1", "a1", read));
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(STG_E_PATHNOTFOUND, ReadCalendarItemFile(store, "s1.ics", "nope", "a1", read));
    EXPECT_NE(R_OK, ReadCalendarItemFile(store, "../../../../etc/passwd", "c1", "a1", read));
    EXPECT_TRUE(read.empty());
}

}  // namespace
}  // namespace orvane::test
