// The skip over a series' occurrences before the range must not change what the query finds:
// every rule shape is compared with a plain expansion from the first occurrence.
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesExpansion.h"
#include "store/range/SeriesSeed.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

RDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    RDateTime date;
    date.year = year;
    date.month = static_cast<std::uint16_t>(month);
    date.day = static_cast<std::uint16_t>(day);
    date.hour = static_cast<std::uint16_t>(hour);
    date.minute = static_cast<std::uint16_t>(minute);
    date.second = static_cast<std::int16_t>(second);
    return date;
}

bool InRange(const RDateTime& value, const RDateTime& from, const RDateTime& to) {
    return CompareDateTime(value, from) >= 0 && CompareDateTime(value, to) <= 0;
}

// Every occurrence from the first, one step at a time, with exception replacement.
bool PlainExpansion(const CalendarItemRecord& master, const RDateTime& from, const RDateTime& to,
                    const std::vector<ExceptionRowIndex::Entry>& exceptions) {
    auto shown = [&](const RIcsDateTime& occurrence) {
        for (const auto& entry : exceptions) {
            if (std::strstr(entry.recurrenceID.c_str(), occurrence.GetCompactText()) != nullptr) {
                RDateTime start;
                start.Parse(entry.dtStart.c_str());
                return start;
            }
        }
        return occurrence.dateTime;
    };
    RIcsRecurrence* rule = new RIcsRecurrence;
    rule->Parse(master.rrule);
    rule->SetExDatesFromLines(master.exDates);
    RIcsDateTime* lower = new RIcsDateTime;
    lower->dateTime = At(from.year, from.month, from.day);
    RIcsDateTime* current = new RIcsDateTime;
    current->dateTime.Parse(master.dtStart);
    current->dateOnly = master.dtStart.GetLength() < 11;
    bool found = InRange(shown(*current), from, to);
    while (!found) {
        RIcsDateTime* next = rule->GetNextOccurrence(current, lower);
        if (next == nullptr) {
            break;
        }
        current->Release();
        current = next;
        const RDateTime value = shown(*current);
        found = InRange(value, from, to);
        if (CompareDateTime(current->dateTime, to) > 0 && CompareDateTime(value, to) > 0) {
            break;
        }
    }
    current->Release();
    lower->Release();
    rule->Release();
    return found;
}

struct Shape {
    const char* start;
    const char* rrule;
    const char* exDates;
};

TEST(SeriesSkip, SameAnswersAsPlainExpansionForEveryRuleShape) {
    const Shape shapes[] = {
        {"2010-01-04 09:00", "FREQ=DAILY", ""},
        {"2010-01-04 09:00", "FREQ=DAILY;INTERVAL=3", "EXDATE:20201203T090000\r\n"},
        {"2010-01-04", "FREQ=DAILY;INTERVAL=5;COUNT=900", ""},
        {"2010-01-04 09:00", "FREQ=DAILY;BYDAY=MO,FR", ""},
        {"2010-01-04 09:00", "FREQ=DAILY;BYMONTH=2,12;BYMONTHDAY=1,29", ""},
        {"2010-01-04 09:00", "FREQ=WEEKLY", ""},
        {"2010-01-06 18:30", "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR", ""},
        {"2010-01-06 18:30", "FREQ=WEEKLY;INTERVAL=3;BYDAY=SU,TU;WKST=SU", ""},
        {"2010-01-07 07:00", "FREQ=WEEKLY;BYDAY=MO,TH;COUNT=700", ""},
        {"2010-01-07 07:00", "FREQ=WEEKLY;BYMONTH=3,11", ""},
        {"2010-01-31 10:00", "FREQ=MONTHLY", ""},
        {"2010-01-30 10:00", "FREQ=MONTHLY;INTERVAL=5;COUNT=20", ""},
        {"2010-03-29", "FREQ=MONTHLY;BYMONTH=2,3;COUNT=15", ""},
        {"2010-01-12 10:00", "FREQ=MONTHLY;BYDAY=2TU", ""},
        {"2010-01-01 10:00", "FREQ=MONTHLY;INTERVAL=2;BYMONTHDAY=1,15,-1", ""},
        {"2010-01-29 10:00", "FREQ=MONTHLY;BYDAY=-1FR;COUNT=200", ""},
        {"2010-01-01 10:00", "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", ""},
        {"2012-02-29 10:00", "FREQ=YEARLY;COUNT=8", ""},
        {"2017-01-01 00:00", "FREQ=HOURLY;INTERVAL=7", ""},
        {"2020-09-01 00:00:10", "FREQ=MINUTELY;INTERVAL=97;COUNT=100000", ""},
        {"2020-11-30 23:59:58", "FREQ=SECONDLY;INTERVAL=13", ""},
        {"2010-01-04 09:00", "FREQ=WEEKLY;UNTIL=20201215T090000Z", ""},
    };
    // Moved occurrences: one far back (which limits how far a skip may go), one within reach.
    const std::vector<std::vector<ExceptionRowIndex::Entry>> exceptionSets = {
        {},
        {{0, "TZID=Europe/Berlin:20201207T090000", "2020-12-24 09:00"}},
        {{0, "20150105T090000", "2020-12-25 09:00"}, {1, "20201130", "2021-01-02"}},
    };
    int answers = 0;
    int found = 0;
    for (const Shape& shape : shapes) {
        for (const auto& exceptions : exceptionSets) {
            CalendarItemRecord master;
            master.guid = "g";
            master.parentAccountGuid = "a";
            master.parentCalendarGuid = "c";
            master.dtStart = shape.start;
            master.rrule = shape.rrule;
            master.exDates = shape.exDates;
            ExceptionRowIndex index;
            if (!exceptions.empty()) {
                index.bySeries[ExceptionRowIndex::Key("g", "a", "c")] = exceptions;
            }
            for (int month = 1; month <= 24; ++month) {
                for (int firstDay : {1, 28}) {
                    const int year = 2019 + (month - 1) / 12;
                    const RDateTime from = At(year, (month - 1) % 12 + 1, firstDay);
                    const RDateTime to = At(year, (month - 1) % 12 + 1, firstDay + (firstDay == 28 ? 0 : 2), 23, 59, 59);
                    const bool expected = PlainExpansion(master, from, to, exceptions);
                    ASSERT_EQ(expected, SeriesOccursInRange(master, from, to, index))
                        << shape.rrule << " from " << shape.start << " in " << year << "-" << from.month << "-"
                        << firstDay << " with " << exceptions.size() << " exceptions";
                    ++answers;
                    found += expected ? 1 : 0;
                }
            }
        }
    }
    // Both answers occur, so the comparison means something.
    EXPECT_GT(found, answers / 10);
    EXPECT_LT(found, answers);
}

TEST(SeriesSkip, ExceptionShownOutsideTheRangeDoesNotForceAWalkFromTheStart) {
    // Every second since January; its first occurrences were moved within January. Stepping
    // all of them to reach December would take tens of millions of steps.
    CalendarItemRecord master;
    master.guid = "g";
    master.parentAccountGuid = "a";
    master.parentCalendarGuid = "c";
    master.dtStart = "2020-01-05 09:00:00";
    master.rrule = "FREQ=SECONDLY";
    ExceptionRowIndex index;
    index.bySeries[ExceptionRowIndex::Key("g", "a", "c")] = {{0, "20200105T090000", "2020-01-20 09:00"},
                                                              {1, "20200105T090001", "2020-12-01 12:00"}};
    // The cost of the answer is measured by the store benchmark's series-with-exceptions case.
    EXPECT_TRUE(SeriesOccursInRange(master, At(2020, 12, 2), At(2020, 12, 2, 0, 0, 5), index));
    EXPECT_TRUE(SeriesOccursInRange(master, At(2020, 12, 1, 12), At(2020, 12, 1, 12), index));
}

TEST(SeriesSkip, SeedsStayBeforeTheBoundAndCarryTheCount) {
    RIcsRecurrence* rule = new RIcsRecurrence;
    rule->Parse("FREQ=WEEKLY;BYDAY=MO,WE;COUNT=1000");
    SeriesSeed seed;
    ASSERT_TRUE(FindSeriesSeed(*rule, At(2010, 1, 4, 9), At(2020, 12, 1), seed));
    EXPECT_LT(CompareDateTime(seed.dateTime, At(2020, 12, 1)), 0);
    EXPECT_EQ(9, seed.dateTime.hour);
    EXPECT_EQ(1 + 2 * 569, seed.generatedCount);  // 569 whole weeks, two occurrences each
    EXPECT_FALSE(FindSeriesSeed(*rule, At(2020, 11, 30, 9), At(2020, 12, 1), seed));
    rule->Parse("FREQ=DAILY;INTERVAL=0");
    EXPECT_FALSE(FindSeriesSeed(*rule, At(2010, 1, 4, 9), At(2020, 12, 1), seed));
    rule->Parse("FREQ=YEARLY");
    EXPECT_FALSE(FindSeriesSeed(*rule, At(2010, 1, 4, 9), At(2020, 12, 1), seed));
    rule->Release();
}

}  // namespace
}  // namespace orvane::test
