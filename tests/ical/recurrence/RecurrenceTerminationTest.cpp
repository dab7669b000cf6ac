// Rules that cannot move forward end their series (null) instead of keeping a caller's
// expansion loop running.
#include "tests/ical/recurrence/RecurrenceTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace recurrence_test;

TEST(RecurrenceTermination, RulesWithoutAForwardStepEnd) {
    const char* rules[] = {
        "FREQ=DAILY;INTERVAL=0",
        "FREQ=WEEKLY;INTERVAL=-1",
        "FREQ=MONTHLY;INTERVAL=-12",
        "INTERVAL=2",
        "FREQ=FORTNIGHTLY",
        "FREQ=DAYLY",
        "FREQ=MONTHLY;BYDAY=6MO",
        "FREQ=MONTHLY;BYDAY=-6MO",
        "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30",
        "FREQ=YEARLY;BYMONTH=13",
        "FREQ=MONTHLY;BYMONTHDAY=40",
        "FREQ=YEARLY;BYYEARDAY=400",
        "FREQ=YEARLY;BYWEEKNO=60",
        "FREQ=WEEKLY;BYMONTH=14",
        "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=31",
        "FREQ=YEARLY;INTERVAL=4;BYMONTH=2;BYMONTHDAY=29",  // from 2021 every fourth year is never leap
        "FREQ=HOURLY;INTERVAL=2147483647",
    };
    for (const char* text : rules) {
        EXPECT_TRUE(Steps(text, "2021-02-01 10:00", 1).empty()) << text;
    }
}

TEST(RecurrenceTermination, SeriesEndAtTheLastSupportedYear) {
    EXPECT_TRUE(Steps("FREQ=YEARLY", "9999-06-01", 1).empty());
    EXPECT_EQ(Steps("FREQ=DAILY", "9999-12-30", 5), (Dates{"9999-12-31"}));
    EXPECT_TRUE(Steps("FREQ=SECONDLY", "9999-12-31 23:59:59", 1).empty());
    EXPECT_TRUE(Steps("FREQ=DAILY", "0000-00-00", 1).empty());  // no date to step from
}

TEST(RecurrenceTermination, HugeCountHasNoKnownEndInsteadOfALongWalk) {
    Rule rule = MakeRule("FREQ=MINUTELY;COUNT=2000000000");
    Value first = MakeValue("2020-01-01 00:00");
    EXPECT_EQ(rule->GetLastOccurrence(first.get()), nullptr);
}

TEST(RecurrenceLastOccurrence, UntilCountAndOpenSeries) {
    Rule until = MakeRule("FREQ=DAILY;UNTIL=20200110");
    Value first = MakeValue("2020-01-01");
    EXPECT_EQ(until->GetLastOccurrence(first.get()), until->until);  // the rule keeps it

    Rule once = MakeRule("FREQ=DAILY;COUNT=1");
    Value single = Value::Adopt(once->GetLastOccurrence(first.get()));
    ASSERT_NE(single, nullptr);
    EXPECT_STREQ(single->GetDbText(), "2020-01-01");

    Rule weekly = MakeRule("FREQ=WEEKLY;BYDAY=MO,FR;COUNT=4");
    Value monday = MakeValue("2020-01-06 10:00");
    Value fourth = Value::Adopt(weekly->GetLastOccurrence(monday.get()));
    ASSERT_NE(fourth, nullptr);
    EXPECT_STREQ(fourth->GetDbText(), "2020-01-17 10:00");  // the first occurrence counts
    EXPECT_EQ(MakeRule("FREQ=DAILY")->GetLastOccurrence(first.get()), nullptr);
}

}  // namespace

namespace {

TEST(RecurrenceTermination, AUtcUntilEndsAZonedSeriesAtThatInstant) {
    // 23:30 in Berlin (UTC+1) is 22:30 UTC: an UNTIL of 22:59:59Z takes in the 3 March
    // occurrence, which a comparison of the wall-clock fields would drop.
    recurrence_test::Rule rule = recurrence_test::MakeRule("FREQ=DAILY;UNTIL=20240303T225959Z");
    recurrence_test::Value current = recurrence_test::Value::Adopt(new RIcsDateTime);
    current->SetFromDbText("2024-03-01 23:30", "Europe/Berlin");
    std::vector<std::string> days;
    for (int i = 0; i < 10; ++i) {
        recurrence_test::Value next = recurrence_test::Value::Adopt(rule->GetNextOccurrence(current.get(), nullptr));
        if (!next) {
            break;
        }
        days.emplace_back(next->GetDbText());
        current = std::move(next);
    }
    EXPECT_EQ(days, (std::vector<std::string>{"2024-03-02 23:30", "2024-03-03 23:30"}));
    // A floating series compares its own fields.
    recurrence_test::Rule floating = recurrence_test::MakeRule("FREQ=DAILY;UNTIL=20240303T225959Z");
    EXPECT_EQ(recurrence_test::Steps(*floating, "2024-03-01 23:30", 5), (std::vector<std::string>{"2024-03-02 23:30"}));
}

}  // namespace
