// The date-range query keeps the rows of repeating items between queries and reads again only
// what a write touched. Whatever changes the store, a query must answer exactly as a store opened
// afresh on the same folder (whose cache is empty) answers.
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"
#include "tools/realistic_store/RealisticStore.h"

namespace orvane::test {
namespace {

using Shown = std::vector<std::tuple<std::string, std::string, std::string>>;

Shown Query(ROrvaneDataManager* store, const RealisticRange& range) {
    ItemPointerArray* list = nullptr;
    testing::internal::CaptureStderr();
    const RResult result = store->GetCalendarItemsInDateRange("acc", range.from, range.to, &list);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(R_OK, result);
    Shown shown;
    for (int i = 0; i < ItemCount(list); ++i) {
        const CalendarItemRecord* item = ItemAt(list, i);
        shown.emplace_back(item->guid.Str(), item->recurrenceID.Str(), item->summary.Str());
    }
    static_cast<void>(store->FreeCalendarItemList(&list));  // always 0
    return shown;
}

// The fields a grid reads, of every row in order, as one text per row: from a copied list, or
// from a shared one.
std::string DrawingFields(const CalendarItemRecord& r) {
    std::string text;
    for (const CStringA* field :
         {&r.guid, &r.parentCalendarGuid, &r.parentAccountGuid, &r.etag, &r.scheduleTag, &r.type, &r.serverFileName,
          &r.localFileName, &r.summary, &r.dtStart, &r.dtStartTZ, &r.dtEnd, &r.dtEndTZ, &r.whiteRabbitTimeZone,
          &r.dtStartOlsonTZ, &r.dtEndOlsonTZ, &r.dtPatternStart, &r.dtPatternEnd, &r.rrule, &r.recurrenceID,
          &r.exDates, &r.status, &r.transparency, &r.myPartStat}) {
        text += field->Str();
        text += '|';
    }
    return text + std::to_string(r.sequence);
}

std::vector<std::string> CopiedRows(ROrvaneDataManager* store, const RealisticRange& range) {
    ItemPointerArray* list = nullptr;
    testing::internal::CaptureStderr();
    const RResult result = store->GetCalendarItemsInDateRange("acc", range.from, range.to, &list);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(R_OK, result);
    std::vector<std::string> rows;
    for (int i = 0; i < ItemCount(list); ++i) rows.push_back(DrawingFields(*ItemAt(list, i)));
    static_cast<void>(store->FreeCalendarItemList(&list));  // always 0
    return rows;
}

std::vector<std::string> SharedRows(ROrvaneDataManager* store, const RealisticRange& range, SharedItemList& held) {
    SharedItemList rows;
    EXPECT_EQ(R_OK, store->GetSharedItemsInDateRange("acc", range.from, range.to, &rows, ItemTexts::ForDrawing));
    std::vector<std::string> texts;
    for (const auto& row : rows) texts.push_back(DrawingFields(*row));
    held.insert(held.end(), rows.begin(), rows.end());
    return texts;
}

class RangeCacheTest : public OpenStoreFixture {
protected:
    static std::vector<std::string> Texts(const SharedItemList& rows) {
        std::vector<std::string> texts;
        for (const auto& row : rows) texts.push_back(DrawingFields(*row));
        return texts;
    }
    SharedItemList held;  // every shared row handed out, kept across the writes
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
        testing::internal::CaptureStderr();
        const RResult filled = FillRealisticStore(store, "acc", "cal", RealisticStoreShape{300, 2000});
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(R_OK, filled);
        // Warm: the rows of every series are now held.
        ASSERT_FALSE(Query(store, MonthViewRange()).empty());
    }
    // The answers of this store and of a store opened afresh, for every range a view asks.
    void ExpectSameAsFresh(const char* after) {
        ROrvaneDataManager* fresh = new ROrvaneDataManager();
        ASSERT_EQ(R_OK, fresh->Open(CStringW::FromUtf8(dataDir.string())));
        for (const RealisticRange& range : {MonthViewRange(), WeekRange(), FiveYearRange()}) {
            EXPECT_EQ(Query(fresh, range), Query(store, range)) << after;
            // Shared rows read as copied ones; rows shared before a write keep what they held.
            const std::vector<std::string> before = Texts(held);
            EXPECT_EQ(CopiedRows(fresh, range), SharedRows(store, range, held)) << after;
            const std::vector<std::string> now = Texts(held);
            EXPECT_EQ(std::vector<std::string>(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(before.size())),
                      before);
        }
        fresh->Release();
    }
    CalendarItemRecord Row(const std::string& guid, const char* recurrenceID = "") {
        CalendarItemRecord row;
        EXPECT_EQ(R_OK, store->FindCalendarItem(guid.c_str(), recurrenceID, "cal", "acc", &row)) << guid;
        return row;
    }
    // A series that shows in the month view, and the number of its rows shown there.
    std::string ShownSeries() {
        for (const auto& [guid, recurrenceID, summary] : Query(store, MonthViewRange())) {
            if (guid.rfind("series-", 0) == 0 && recurrenceID.empty()) {
                return guid;
            }
        }
        ADD_FAILURE() << "no series shows in the month";
        return std::string();
    }
};

TEST_F(RangeCacheTest, WritesThroughTheStoreShowAtTheNextQuery) {
    // A series ended before the range disappears from it.
    const std::string ended = ShownSeries();
    CalendarItemRecord master = Row(ended);
    master.rrule = "FREQ=WEEKLY;UNTIL=20170101T000000Z";
    master.dtPatternEnd = "2017-01-01 00:00";
    ASSERT_EQ(R_OK, store->UpdateCalendarItem(ended.c_str(), "", "cal", "acc", master));
    ExpectSameAsFresh("series ended");

    // A renamed series shows its new name.
    const std::string renamed = ShownSeries();
    master = Row(renamed);
    master.summary = "Renamed meeting";
    ASSERT_EQ(R_OK, store->UpdateCalendarItem(renamed.c_str(), "", "cal", "acc", master));
    ExpectSameAsFresh("series renamed");

    // An occurrence of an old series moved into the range brings it in; then it goes again.
    CalendarItemRecord moved;
    moved.guid = "series-0@bench.orvane";
    moved.parentCalendarGuid = "cal";
    moved.parentAccountGuid = "acc";
    moved.recurrenceID = "20160111T080000";
    moved.dtStart = "2026-03-10 08:00";
    moved.dtPatternStart = moved.dtStart;
    moved.summary = "Moved far";
    ASSERT_EQ(R_OK, store->AddCalendarItem(moved.guid, moved.recurrenceID, "cal", "acc", moved));
    ExpectSameAsFresh("exception added");
    ASSERT_EQ(R_OK, store->DeleteCalendarItem(moved.guid, moved.recurrenceID, "cal", "acc"));
    ExpectSameAsFresh("exception deleted");

    // A whole series deleted, by name and by guid; a new series imported.
    ASSERT_EQ(R_OK, store->DeleteCalendarItemByServerFileName((ShownSeries() + ".ics").c_str(), "cal", "acc"));
    ExpectSameAsFresh("series deleted by name");
    ASSERT_EQ(R_OK, store->DeleteCalendarItem(ShownSeries().c_str(), "", "cal", "acc"));
    ExpectSameAsFresh("series deleted");
    ASSERT_EQ(R_OK, ImportText(store, CalendarOf("BEGIN:VEVENT\r\nUID:new-series\r\nSUMMARY:New\r\n"
                                                 "DTSTART:20260302T100000\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n")));
    ExpectSameAsFresh("series imported");

    // A calendar of its own with a series, then the calendar deleted.
    MakeCalendar("acc", "second");
    ASSERT_EQ(R_OK, ImportText(store,
                               CalendarOf("BEGIN:VEVENT\r\nUID:other-series\r\nSUMMARY:Other\r\n"
                                          "DTSTART:20260303T100000\r\nRRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"),
                               "second"));
    ExpectSameAsFresh("second calendar");
    CalendarRecord second;
    ASSERT_EQ(R_OK, store->FindCalendar("acc", "second", &second));
    ASSERT_EQ(R_OK, store->DeleteCalendar("acc", second));
    ExpectSameAsFresh("second calendar deleted");

    // A large import touches more guids than are worth reading one by one.
    std::string many;
    for (int i = 0; i < 250; ++i) {
        many += "BEGIN:VEVENT\r\nUID:bulk-" + std::to_string(i) + "\r\nSUMMARY:Bulk\r\nDTSTART:20260" +
                std::to_string(1 + i % 9) + "02T090000\r\nRRULE:FREQ=WEEKLY;COUNT=" + std::to_string(1 + i % 20) +
                "\r\nEND:VEVENT\r\n";
    }
    ASSERT_EQ(R_OK, ImportText(store, CalendarOf(many)));
    ExpectSameAsFresh("bulk import");
}

TEST_F(RangeCacheTest, ChangesMadePastTheStoreShowToo) {
    // A statement run past the store's operations.
    const std::string shown = ShownSeries();
    ASSERT_EQ(R_OK, ExecuteSql(("update CalendarItems set summary = 'Raw' where guid = '" + shown + "';").c_str(),
                               SQL_MODE_EXEC, store, nullptr));
    ExpectSameAsFresh("raw statement");

    // Another connection (another copy of the program, say) ends a series.
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((dataDir / "OrvaneDB.sqlite").c_str(), &other));
    const std::string sql = "update CalendarItems set rrule = 'FREQ=DAILY;COUNT=2', dtPatternEnd = '2016-02-01' "
                            "where guid = '" + ShownSeries() + "' and recurrenceID is null;";
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, sql.c_str(), nullptr, nullptr, nullptr));
    sqlite3_close(other);
    ExpectSameAsFresh("other connection");

    // A write that is rolled back leaves the answers as they were.
    const Shown before = Query(store, MonthViewRange());
    ASSERT_EQ(R_OK, ExecuteSql("create trigger Refuse before insert on CalendarItems when new.summary = 'poison' "
                               "begin select raise(abort, 'refused'); end;",
                               SQL_MODE_EXEC, store, nullptr));
    const std::string changed = ShownSeries();
    testing::internal::CaptureStderr();
    EXPECT_NE(R_OK, ImportText(store, CalendarOf("BEGIN:VEVENT\r\nUID:" + changed +
                                                 "\r\nSUMMARY:Changed\r\nDTSTART:20260301T100000\r\n"
                                                 "RRULE:FREQ=DAILY\r\nEND:VEVENT\r\n" +
                                                 EventBlocks("bad", 1, "poison"))));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(before, Query(store, MonthViewRange()));
    ExpectSameAsFresh("rolled back");
}

}  // namespace
}  // namespace orvane::test
