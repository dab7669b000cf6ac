// Yearly rules that expand over the whole year, the standard's own examples among them, and long
// runs of excluded occurrences.
#include "tests/ical/recurrence/RecurrenceTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using namespace recurrence_test;

TEST(RecurrenceYear, YearlyWithoutAMonthExpandsOverTheWholeYear) {
    // Every Monday, not only those of the start's month.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYDAY=MO", "2025-01-27 09:00", 3),
              (Dates{"2025-02-03 09:00", "2025-02-10 09:00", "2025-02-17 09:00"}));
    // The 15th of every month.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTHDAY=15", "2025-01-15", 3), (Dates{"2025-02-15", "2025-03-15", "2025-04-15"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTHDAY=-1", "2025-11-30", 3), (Dates{"2025-12-31", "2026-01-31", "2026-02-28"}));
    // The last Friday of the year; a yearly series every other year.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYDAY=-1FR", "2024-12-27", 2), (Dates{"2025-12-26", "2026-12-25"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;INTERVAL=2;BYDAY=1MO", "2024-01-01", 2), (Dates{"2026-01-05", "2028-01-03"}));
    // A plain yearly rule and one with BYMONTH stay as they were.
    EXPECT_EQ(Steps("FREQ=YEARLY", "2025-03-10", 1), (Dates{"2026-03-10"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "2025-03-09 02:00", 1), (Dates{"2026-03-08 02:00"}));
}

TEST(RecurrenceYear, TheStandardsYearlyExamples) {
    // Every 20th Monday of the year.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYDAY=20MO", "1997-05-19 09:00", 2), (Dates{"1998-05-18 09:00", "1999-05-17 09:00"}));
    // Monday of week number 20.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO", "1997-05-12 09:00", 2),
              (Dates{"1998-05-11 09:00", "1999-05-17 09:00"}));
    // Every Thursday in March.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=3;BYDAY=TH", "1997-03-13 09:00", 4),
              (Dates{"1997-03-20 09:00", "1997-03-27 09:00", "1998-03-05 09:00", "1998-03-12 09:00"}));
    // Every day in January, for 3 years.
    Rule january = MakeRule("FREQ=YEARLY;UNTIL=20000131T140000Z;BYMONTH=1;BYDAY=SU,MO,TU,WE,TH,FR,SA");
    const Dates days = Steps(*january, "1998-01-01 09:00", 200);
    ASSERT_EQ(days.size(), 92u);
    EXPECT_EQ(days[30], "1999-01-01 09:00");
    EXPECT_EQ(days.back(), "2000-01-31 09:00");
    // Every other year in January, February and March, ten times.
    EXPECT_EQ(Steps("FREQ=YEARLY;INTERVAL=2;COUNT=10;BYMONTH=1,2,3", "1997-03-10 09:00", 3),
              (Dates{"1999-01-10 09:00", "1999-02-10 09:00", "1999-03-10 09:00"}));
    // Friday the 13th, through a monthly rule.
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13", "1997-09-02 09:00", 3),
              (Dates{"1998-02-13 09:00", "1998-03-13 09:00", "1998-11-13 09:00"}));
}

TEST(RecurrenceYear, LongRunsOfExcludedOccurrencesAreSkippedInOneStep) {
    // Forty thousand consecutive days excluded: the next occurrence is the day after them.
    // The dates come from the standard library's calendar, not from the stepper's own arithmetic.
    using namespace std::chrono;
    std::string lines;
    Rule rule = MakeRule("FREQ=DAILY");
    sys_days day = sys_days{year{2000} / January / 2};
    char value[32];
    for (int i = 0; i < 40000; ++i, day += days{1}) {
        const year_month_day date{day};
        std::snprintf(value, sizeof value, "EXDATE:%04d%02u%02uT090000Z\r\n", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        lines += value;
    }
    rule->SetExDatesFromLines(lines.c_str());
    EXPECT_EQ(rule->exDates.count, 40000);
    const char* expected = "2109-07-09 09:00";  // 40000 days after 2000-01-02
    EXPECT_EQ(Steps(*rule, "2000-01-01 09:00", 1), (Dates{expected}));
    // Values added after the first test still count, and duplicates are still refused.
    rule->AddExDate(("TZID=Europe/Berlin:" + std::string(expected, 4) + std::string(expected + 5, 2) +
                     std::string(expected + 8, 2) + "T090000").c_str());
    rule->AddExDate("20000102T090000Z");
    EXPECT_EQ(rule->exDates.count, 40001);
    EXPECT_EQ(Steps(*rule, "2000-01-01 09:00", 1).size(), 1u);
    EXPECT_NE(Steps(*rule, "2000-01-01 09:00", 1), (Dates{expected}));
}

}  // namespace
