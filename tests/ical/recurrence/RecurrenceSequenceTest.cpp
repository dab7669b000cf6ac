#include "tests/ical/recurrence/RecurrenceTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace recurrence_test;

TEST(RecurrenceSequence, Yearly) {
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", "2020-11-26", 3),
              (Dates{"2021-11-25", "2022-11-24", "2023-11-23"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;INTERVAL=2", "2019-07-04 12:00", 2), (Dates{"2021-07-04 12:00", "2023-07-04 12:00"}));
    // Each listed month every year, not every other year.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=3,11", "2020-03-10", 3), (Dates{"2020-11-10", "2021-03-10", "2021-11-10"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;BYYEARDAY=1,-1", "2020-01-01", 3), (Dates{"2020-12-31", "2021-01-01", "2021-12-31"}));
    // ISO week 1 may begin in the previous December.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYWEEKNO=1;BYDAY=MO", "2015-12-28", 3),
              (Dates{"2016-01-04", "2017-01-02", "2018-01-01"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "2020-10-25 03:00", 2),
              (Dates{"2021-10-31 03:00", "2022-10-30 03:00"}));
}

TEST(RecurrenceSequence, LeapDaysOnlyInLeapYears) {
    EXPECT_EQ(Steps("FREQ=YEARLY", "2020-02-29", 2), (Dates{"2024-02-29", "2028-02-29"}));
    EXPECT_EQ(Steps("FREQ=YEARLY", "2096-02-29", 1), (Dates{"2104-02-29"}));  // 2100 is no leap year
    // A fifth Monday of February exists only when a leap February starts on a Monday.
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=2;BYDAY=5MO", "2016-02-29", 1), (Dates{"2044-02-29"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYMONTHDAY=29", "2021-01-29", 3), (Dates{"2021-03-29", "2021-04-29", "2021-05-29"}));
}

TEST(RecurrenceSequence, Monthly) {
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYDAY=2TU", "2020-01-14", 3), (Dates{"2020-02-11", "2020-03-10", "2020-04-14"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYMONTHDAY=1,15", "2020-01-01", 3), (Dates{"2020-01-15", "2020-02-01", "2020-02-15"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;INTERVAL=12", "2020-12-05", 1), (Dates{"2021-12-05"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYDAY=-1FR", "2020-01-31", 2), (Dates{"2020-02-28", "2020-03-27"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYMONTHDAY=-1", "2020-01-31", 3), (Dates{"2020-02-29", "2020-03-31", "2020-04-30"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYDAY=TU", "2020-01-14", 3), (Dates{"2020-01-21", "2020-01-28", "2020-02-04"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;BYDAY=1MO,WE", "2020-01-01", 3), (Dates{"2020-01-06", "2020-02-03", "2020-02-05"}));
}

TEST(RecurrenceSequence, MonthlyStepSkipsMonthsWithoutTheDay) {
    EXPECT_EQ(Steps("FREQ=MONTHLY", "2020-01-31 09:00", 4),
              (Dates{"2020-03-31 09:00", "2020-05-31 09:00", "2020-07-31 09:00", "2020-08-31 09:00"}));
    EXPECT_EQ(Steps("FREQ=MONTHLY;INTERVAL=2", "2020-07-31", 2), (Dates{"2021-01-31", "2021-03-31"}));
    EXPECT_EQ(Steps("FREQ=YEARLY;BYMONTH=1,2,4", "2021-01-31", 2), (Dates{"2022-01-31", "2023-01-31"}));
}

TEST(RecurrenceSequence, Weekly) {
    EXPECT_EQ(Steps("FREQ=WEEKLY;INTERVAL=2", "2020-01-06 10:00", 2), (Dates{"2020-01-20 10:00", "2020-02-03 10:00"}));
    // Each listed day once per INTERVAL weeks.
    EXPECT_EQ(Steps("FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR", "2020-01-06 10:00", 6),
              (Dates{"2020-01-08 10:00", "2020-01-10 10:00", "2020-01-20 10:00", "2020-01-22 10:00",
                     "2020-01-24 10:00", "2020-02-03 10:00"}));
    EXPECT_EQ(Steps("FREQ=WEEKLY;BYDAY=TU,TH", "2020-12-29", 3), (Dates{"2020-12-31", "2021-01-05", "2021-01-07"}));
}

TEST(RecurrenceSequence, WeeklyIntervalWeeksStartOnWkst) {
    // From Sunday 5 January 2020: with Monday weeks the Sunday closes its week; with Sunday
    // weeks it opens one.
    EXPECT_EQ(Steps("FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,MO", "2020-01-05", 3),
              (Dates{"2020-01-13", "2020-01-19", "2020-01-27"}));
    EXPECT_EQ(Steps("FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,MO;WKST=SU", "2020-01-05", 3),
              (Dates{"2020-01-06", "2020-01-19", "2020-01-20"}));
}

TEST(RecurrenceSequence, DailyAndShorter) {
    EXPECT_EQ(Steps("FREQ=DAILY;INTERVAL=10", "2020-02-25", 2), (Dates{"2020-03-06", "2020-03-16"}));
    EXPECT_EQ(Steps("FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR", "2020-01-03 08:00", 2), (Dates{"2020-01-06 08:00", "2020-01-07 08:00"}));
    EXPECT_EQ(Steps("FREQ=HOURLY;INTERVAL=6", "2020-12-31 18:00", 1), (Dates{"2021-01-01 00:00"}));
    EXPECT_EQ(Steps("FREQ=MINUTELY;INTERVAL=90", "2020-02-28 23:00", 1), (Dates{"2020-02-29 00:30"}));
    EXPECT_EQ(Steps("FREQ=SECONDLY;INTERVAL=30", "2020-12-31 23:59:45", 1), (Dates{"2021-01-01 00:00:15"}));
}

TEST(RecurrenceBounds, CountEndsTheSeriesAndSurvivesARestart) {
    Rule rule = MakeRule("FREQ=DAILY;COUNT=3");
    const Dates expected{"2020-01-02", "2020-01-03"};
    EXPECT_EQ(Steps(*rule, "2020-01-01", 10), expected);
    // The same rule object expanded again (a redraw) gives the same series, not a longer one.
    EXPECT_EQ(Steps(*rule, "2020-01-01", 10), expected);
    EXPECT_EQ(Steps(*rule, "2020-01-01", 10), expected);

    Value first = MakeValue("2020-01-01");
    Value last = Value::Adopt(rule->GetLastOccurrence(first.get()));
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last->GetDbText(), "2020-01-03");
}

TEST(RecurrenceBounds, UntilIsInclusive) {
    EXPECT_EQ(Steps("FREQ=DAILY;UNTIL=20200103T000000Z", "2020-01-01 09:00", 5), (Dates{"2020-01-02 09:00"}));
    // An all-day series with a date-only UNTIL keeps its last day.
    EXPECT_EQ(Steps("FREQ=WEEKLY;UNTIL=20150331", "2015-03-03", 9),
              (Dates{"2015-03-10", "2015-03-17", "2015-03-24", "2015-03-31"}));
    EXPECT_EQ(Steps("FREQ=WEEKLY;UNTIL=20150331", "2015-03-03 10:00", 9),
              (Dates{"2015-03-10 10:00", "2015-03-17 10:00", "2015-03-24 10:00", "2015-03-31 10:00"}));
    EXPECT_EQ(Steps("FREQ=WEEKLY;UNTIL=20150331T235959", "2015-03-03 10:00", 9).size(), 4u);
}

TEST(RecurrenceBounds, LowerBoundSkipsYearsOnlyWithoutCount) {
    Value bound = MakeValue("2020-01-01");
    Rule open = MakeRule("FREQ=YEARLY");
    EXPECT_EQ(Steps(*open, "2000-05-01", 1, bound.get()), (Dates{"2020-05-01"}));
    Rule counted = MakeRule("FREQ=YEARLY;COUNT=5");
    EXPECT_EQ(Steps(*counted, "2000-05-01", 9, bound.get()),
              (Dates{"2001-05-01", "2002-05-01", "2003-05-01", "2004-05-01"}));
}

TEST(RecurrenceExDates, ExcludedOccurrencesAreSkippedButCounted) {
    Rule rule = MakeRule("FREQ=DAILY");
    rule->AddExDate("20200102T090000Z");
    EXPECT_EQ(Steps(*rule, "2020-01-01 09:00", 1), (Dates{"2020-01-03 09:00"}));

    Rule counted = MakeRule("FREQ=DAILY;COUNT=3");
    counted->AddExDate("20200102T090000");
    EXPECT_EQ(Steps(*counted, "2020-01-01 09:00", 5), (Dates{"2020-01-03 09:00"}));
}

TEST(RecurrenceExDates, StoredLinesListsAndDateOnlyOccurrences) {
    Rule rule = MakeRule("FREQ=DAILY",
                         "EXDATE;TZID=Europe/Berlin:20200102T090000\r\n"
                         "EXDATE:20200104T090000Z,20200105T090000Z\r\n");
    EXPECT_EQ(rule->exDates.count, 2);
    EXPECT_EQ(Steps(*rule, "2020-01-01 09:00", 2), (Dates{"2020-01-03 09:00", "2020-01-06 09:00"}));

    Rule allDay = MakeRule("FREQ=DAILY", "EXDATE;VALUE=DATE:20200102\r\n");
    EXPECT_EQ(Steps(*allDay, "2020-01-01", 1), (Dates{"2020-01-03"}));
    // A date-only occurrence is matched by a timed value of its day.
    Rule timedValue = MakeRule("FREQ=DAILY", "EXDATE:20200102T100000Z\r\n");
    EXPECT_EQ(Steps(*timedValue, "2020-01-01", 1), (Dates{"2020-01-03"}));
}

TEST(RecurrenceExDates, SetIsUniqueAndUnfoldsStoredLines) {
    Rule rule = MakeRule("FREQ=DAILY");
    rule->AddExDate("20201231T101530");
    rule->AddExDate("20201231T101530");
    EXPECT_EQ(rule->exDates.count, 1);
    rule->SetExDatesFromLines("EXDATE:20200101T0900\n 00Z\r\n");
    EXPECT_EQ(rule->exDates.count, 2);
    EXPECT_STREQ(static_cast<const char*>(rule->exDates.tail->payload), "20200101T090000Z");
    // Parsing a rule empties the set.
    rule->Parse("FREQ=WEEKLY");
    EXPECT_EQ(rule->exDates.count, 0);
}

}  // namespace

// Stepping one value in place walks the series GetNextOccurrence walks, COUNT, UNTIL, EXDATE
// and a restart included, and leaves the value alone once the series has ended.
TEST(RecurrenceStepInPlace, WalksTheSameSeriesAsNewValuesDo) {
    struct Case {
        const char* rrule;
        const char* exDates;
        const char* start;
    };
    const Case cases[] = {
        {"FREQ=DAILY;COUNT=6", "EXDATE:20200102T090000\r\nEXDATE:20200103T090000\r\n", "2020-01-01 09:00"},
        {"FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20200301T000000Z", nullptr, "2020-01-06 10:00"},
        {"FREQ=MONTHLY;BYDAY=-1FR;COUNT=5", nullptr, "2020-01-31"},
        {"FREQ=YEARLY", "EXDATE;VALUE=DATE:20210229\r\n", "2020-02-29"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rrule);
        Rule rule = MakeRule(c.rrule, c.exDates);
        const Dates expected = Steps(*rule, c.start, 12);
        for (int round = 0; round < 2; ++round) {  // the second walk restarts the same rule
            Value value = MakeValue(c.start);
            Dates walked;
            while (walked.size() < 12 && rule->StepToNextOccurrence(*value, nullptr)) walked.emplace_back(value->GetDbText());
            EXPECT_EQ(walked, expected);
            if (walked.size() < 12) {
                const std::string last = value->GetDbText();
                EXPECT_FALSE(rule->StepToNextOccurrence(*value, nullptr));
                EXPECT_EQ(value->GetDbText(), last);
            }
        }
    }
    // A value handed out earlier keeps its date while the rule steps on.
    Rule rule = MakeRule("FREQ=DAILY");
    Value start = MakeValue("2020-01-01 09:00");
    Value first = Value::Adopt(rule->GetNextOccurrence(start.get(), nullptr));
    Value second = Value::Adopt(rule->GetNextOccurrence(first.get(), nullptr));
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(first->GetDbText(), "2020-01-02 09:00");
    EXPECT_STREQ(second->GetDbText(), "2020-01-03 09:00");
}
