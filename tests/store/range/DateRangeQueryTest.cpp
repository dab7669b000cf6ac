#include "ical/value/RIcsDateTime.h"
#include "tests/store/data/OpenStoreFixture.h"

#include <set>
#include <string>

namespace orvane::test {
namespace {

RDateTime Day(int year, int month, int day) {
    RDateTime date;
    date.year = year;
    date.month = static_cast<std::uint16_t>(month);
    date.day = static_cast<std::uint16_t>(day);
    return date;
}

// The last second of a day: ranges compare whole date-times.
RDateTime EndOf(int year, int month, int day) {
    RDateTime date = Day(year, month, day);
    date.hour = 23;
    date.minute = 59;
    date.second = 59;
    return date;
}

class DateRangeQueryTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
    }
    void Add(const char* guid, const char* start, const char* end, const char* rrule = "", const char* rid = "",
             const char* calendar = "cal") {
        CalendarItemRecord item;
        item.guid = guid;
        item.parentCalendarGuid = calendar;
        item.parentAccountGuid = "acc";
        item.dtStart = start;
        item.dtPatternStart = start;
        item.dtPatternEnd = end;
        item.rrule = rrule;
        item.recurrenceID = rid;
        item.summary = rid[0] != '\0' ? "exception" : "item";
        ASSERT_EQ(R_OK, store->AddCalendarItem(guid, rid, calendar, "acc", item));
    }
    void AddZoned(const char* guid, const char* start, const char* zone, const char* rrule) {
        CalendarItemRecord item;
        item.guid = guid;
        item.parentCalendarGuid = "cal";
        item.parentAccountGuid = "acc";
        item.dtStart = start;
        item.dtStartTZ = zone;
        item.dtPatternStart = start;
        item.rrule = rrule;
        item.summary = "item";
        ASSERT_EQ(R_OK, store->AddCalendarItem(guid, "", "cal", "acc", item));
    }
    // guid, or guid + "/exception", of every record found, in order.
    std::vector<std::string> Query(RDateTime from, RDateTime to, const char* account = "acc") {
        ItemPointerArray* list = nullptr;
        EXPECT_EQ(R_OK, store->GetCalendarItemsInDateRange(account, from, to, &list));
        std::vector<std::string> found;
        for (int i = 0; i < ItemCount(list); ++i) {
            const CalendarItemRecord* item = ItemAt(list, i);
            found.push_back(std::string(item->guid.GetString()) + (item->recurrenceID.IsEmpty() ? "" : "/exception"));
        }
        store->FreeCalendarItemList(&list);
        EXPECT_EQ(nullptr, list);
        return found;
    }
    using Found = std::vector<std::string>;
};

TEST_F(DateRangeQueryTest, SingleItemsInsideTheRangeOnceEach) {
    MakeCalendar("acc", "cal2");
    Add("inside", "2020-12-05", "2020-12-06");
    Add("inside", "2020-12-05", "2020-12-06", "", "", "cal2");
    Add("before", "2020-11-28 09:00", "2020-11-30 10:00");
    Add("last-day-timed", "2020-12-31 10:00", "2020-12-31 11:00");
    Add("first-day", "2020-11-29", "2020-11-29");
    EXPECT_EQ((Found{"first-day", "inside"}), Query(Day(2020, 11, 29), Day(2020, 12, 31)));
}

TEST_F(DateRangeQueryTest, OldWeeklySeriesAndEndedOnes) {
    Add("weekly", "2010-01-04 09:00", "", "FREQ=WEEKLY");
    Add("ended", "2010-01-04 09:00", "2019-06-01 09:00", "FREQ=WEEKLY;UNTIL=20190601T090000");
    Add("future", "2021-01-04 09:00", "", "FREQ=WEEKLY");
    EXPECT_EQ((Found{"weekly"}), Query(Day(2020, 11, 29), Day(2021, 1, 2)));
    // A range of Tuesday to Sunday holds no Monday.
    EXPECT_EQ((Found{}), Query(Day(2020, 12, 1), Day(2020, 12, 6)));
}

TEST_F(DateRangeQueryTest, ExceptionsReplaceTheirOccurrences) {
    // Tuesdays at 09:00; 1 December moved to Thursday 3 December.
    Add("tue", "2020-01-07 09:00", "", "FREQ=WEEKLY;BYDAY=TU");
    Add("tue", "2020-12-03 09:00", "2020-12-03 10:00", "", "TZID=Europe/Berlin:20201201T090000");
    EXPECT_EQ((Found{"tue", "tue/exception"}), Query(Day(2020, 12, 2), Day(2020, 12, 5)));
    // The moved occurrence leaves its day empty, and the series goes on from its regular dates.
    EXPECT_EQ((Found{}), Query(Day(2020, 11, 30), EndOf(2020, 12, 1)));
    EXPECT_EQ((Found{"tue"}), Query(Day(2020, 12, 8), EndOf(2020, 12, 8)));
}

TEST_F(DateRangeQueryTest, OccurrenceMovedOutOfTheRangeDoesNotHideTheNextOne) {
    Add("tue", "2020-01-07 09:00", "", "FREQ=WEEKLY;BYDAY=TU");
    Add("tue", "2021-03-01 09:00", "2021-03-01 10:00", "", "20201201T090000");
    EXPECT_EQ((Found{"tue"}), Query(Day(2020, 12, 1), Day(2020, 12, 10)));
}

TEST_F(DateRangeQueryTest, ExceptionMovedOntoAnEarlierOccurrenceStillEnds) {
    Add("loop", "2020-11-24 09:00", "", "FREQ=WEEKLY");
    Add("loop", "2020-11-24 09:00", "2020-11-24 10:00", "", "20201201T090000");
    EXPECT_EQ((Found{}), Query(Day(2020, 12, 2), Day(2020, 12, 7)));
}

TEST_F(DateRangeQueryTest, RulesThatCannotStepEndTheExpansion) {
    Add("zero", "2020-01-01 09:00", "", "FREQ=DAILY;INTERVAL=0");
    Add("bogus", "2020-01-01 09:00", "", "FREQ=FORTNIGHTLY");
    Add("never", "2020-01-01 09:00", "", "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30");
    Add("broken-start", "2020-01", "", "FREQ=DAILY");
    Add("exdated", "2020-12-01", "", "FREQ=DAILY");
    CalendarItemRecord all;
    ASSERT_EQ(R_OK, store->FindCalendarItem("exdated", "", "cal", "acc", &all));
    all.exDates = "EXDATE;VALUE=DATE:20201203\r\nEXDATE;VALUE=DATE:20201204\r\n";
    EXPECT_EQ(R_OK, store->UpdateCalendarItem("exdated", "", "cal", "acc", all));
    EXPECT_EQ((Found{}), Query(Day(2020, 12, 3), Day(2020, 12, 4)));
    EXPECT_EQ((Found{"exdated"}), Query(Day(2020, 12, 3), Day(2020, 12, 5)));
}

TEST_F(DateRangeQueryTest, ResultsAppendAndHostileAccountFindsNothing) {
    Add("a", "2020-12-05", "2020-12-05");
    ItemPointerArray* list = nullptr;
    ASSERT_EQ(R_OK, store->GetCalendarItemsInDateRange("acc", Day(2020, 12, 1), Day(2020, 12, 31), &list));
    ASSERT_EQ(R_OK, store->GetCalendarItemsInDateRange("acc", Day(2020, 12, 1), Day(2020, 12, 31), &list));
    EXPECT_EQ(2, ItemCount(list));
    EXPECT_TRUE(store->IsItemInList(*ItemAt(list, 1), list));
    store->FreeCalendarItemList(&list);
    store->FreeCalendarItemList(&list);
    store->FreeCalendarItemList(nullptr);
    EXPECT_FALSE(store->IsItemInList(CalendarItemRecord(), nullptr));

    EXPECT_EQ((Found{}), Query(Day(2020, 12, 1), Day(2020, 12, 31), "x' or '1'='1"));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems"));
}

TEST_F(DateRangeQueryTest, ExceptionLookUpAndStartReplacement) {
    Add("s", "2020-01-07 09:00", "", "FREQ=WEEKLY");
    Add("s", "2020-12-03 11:30:15", "", "", "TZID=X:20201201T090000");
    CalendarItemRecord master;
    ASSERT_EQ(R_OK, store->FindCalendarItem("s", "", "cal", "acc", &master));
    RIcsDateTime* occurrence = new RIcsDateTime;
    occurrence->SetFromIcs("Europe/Berlin", "20201201T090000");
    CalendarItemRecord exception;
    ASSERT_EQ(R_OK, store->FindRecurrenceException(master, occurrence, "acc", &exception, nullptr));
    ASSERT_EQ(R_OK, store->GetItemStartDateTime(occurrence, exception));
    EXPECT_STREQ("20201203T113015", occurrence->GetCompactText());
    EXPECT_STREQ("Europe/Berlin", occurrence->tzid);
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->FindRecurrenceException(master, occurrence, "acc", &exception, nullptr));
    occurrence->Release();
    EXPECT_TRUE(store->IsRecurringItemInDateRange(master, "acc", Day(2020, 12, 3), EndOf(2020, 12, 3), nullptr));
    EXPECT_FALSE(store->IsRecurringItemInDateRange(master, "acc", Day(2020, 12, 1), EndOf(2020, 12, 1), nullptr));
}

// A UTC end names an instant: the last occurrence is the one at that instant in the series' own zone.
TEST_F(DateRangeQueryTest, UtcEndOfAZonedSeriesKeepsExactlyItsLastOccurrence) {
    // 09:00 in Berlin is 08:00 UTC: the occurrence of the 10th is the last one.
    AddZoned("east", "2020-12-01 09:00", "Europe/Berlin", "FREQ=DAILY;UNTIL=20201210T080000Z");
    // 22:00 in New York on the 10th is 03:00 UTC on the 11th; its midnight is past the end.
    AddZoned("west", "2020-12-09 20:00", "America/New_York", "FREQ=HOURLY;INTERVAL=2;UNTIL=20201211T030000Z");
    // The Windows name of a zone holds the same rules.
    AddZoned("east-key", "2020-06-01 09:00", "W. Europe Standard Time", "FREQ=DAILY;UNTIL=20200610T070000Z");
    EXPECT_EQ((Found{"east", "west"}), Query(Day(2020, 12, 10), EndOf(2020, 12, 10)));
    EXPECT_EQ((Found{}), Query(Day(2020, 12, 11), EndOf(2020, 12, 11)));
    EXPECT_EQ((Found{"east-key"}), Query(Day(2020, 6, 10), EndOf(2020, 6, 10)));
    EXPECT_EQ((Found{}), Query(Day(2020, 6, 11), EndOf(2020, 6, 11)));
}

}  // namespace
}  // namespace orvane::test
