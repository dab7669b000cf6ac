#include "tests/ical/recurrence/RecurrenceTestSupport.h"

#include <gtest/gtest.h>

#include "ical/model/RIcsEvent.h"
#include "tests/ical/support/IcsTestSupport.h"

#include <string>
#include <vector>

namespace {

using namespace recurrence_test;
using ics_test::Parsed;

// The first n entries of a rule list (its terminating 0 included when n passes its end).
std::vector<int> First(const std::int32_t* list, int n) { return std::vector<int>(list, list + n); }

TEST(RecurrenceParse, PartsAndFailures) {
    Rule rule = MakeRule("RRULE:FREQ=MONTHLY;INTERVAL=2;COUNT=7;BYMONTHDAY=15,0,1,-1;BYDAY=2TU;WKST=SU;X-NAME=1");
    EXPECT_STREQ(rule->freq, "MONTHLY");
    EXPECT_EQ(rule->interval, 2);
    EXPECT_EQ(rule->count, 7);
    // Sorted; a 0 entry is dropped because 0 ends a list.
    EXPECT_EQ(First(rule->byMonthDay, 4), (std::vector<int>{-1, 1, 15, 0}));
    EXPECT_EQ(rule->byDayOrdinal, 2);
    EXPECT_EQ(rule->byDayMask, kWeekdayTU);
    EXPECT_EQ(rule->wkstMask, kWeekdaySU);

    EXPECT_EQ(rule->Parse(nullptr), 0);
}

TEST(RecurrenceParse, EmptyPartsBlanksAndCaseAsRealClientsWriteThem) {
    // A trailing ';' and empty parts are ignored rather than refusing the rule.
    Rule rule = MakeRule("FREQ=YEARLY;BYMONTH=11;BYDAY=1SU;");
    EXPECT_STREQ(rule->freq, "YEARLY");
    EXPECT_EQ(rule->byMonth[0], 11);
    EXPECT_EQ(rule->byDayOrdinal, 1);
    EXPECT_EQ(rule->byDayMask, kWeekdaySU);
    EXPECT_STREQ(rule->GetText(), "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU");
    EXPECT_EQ(rule->Parse("FREQ=DAILY;;COUNT=3;"), 0);
    EXPECT_EQ(rule->count, 3);
    EXPECT_EQ(rule->Parse("FREQ="), 0);
    // Blanks around list items do not drop the later items; names and values ignore case.
    Rule blanks = MakeRule("freq=weekly; byday=MO, tu ,WE; bymonthday = 1, 15");
    EXPECT_STREQ(blanks->freq, "WEEKLY");
    EXPECT_EQ(blanks->byDayMask, kWeekdayMO | kWeekdayTU | kWeekdayWE);
    EXPECT_EQ(First(blanks->byMonthDay, 3), (std::vector<int>{1, 15, 0}));
    // The same through the parser: the calendar is no longer refused.
    Parsed parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nDTSTART:20201101T100000\n"
                  "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU;\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 1);
    ASSERT_NE(parsed->GetEventAt(0)->GetRecurrence(), nullptr);
}

TEST(RecurrenceParse, UntilKeepsItsUtcMarkAndShortValuesAreIgnored) {
    Rule rule = MakeRule("FREQ=DAILY;UNTIL=20200103T000000Z");
    ASSERT_NE(rule->until, nullptr);
    EXPECT_FALSE(rule->until->dateOnly);
    EXPECT_FALSE(rule->until->floating);
    EXPECT_STREQ(rule->until->tzid, "Z");
    EXPECT_STREQ(rule->GetText(), "FREQ=DAILY;UNTIL=20200103T000000Z");
    EXPECT_STREQ(MakeRule("FREQ=DAILY;UNTIL=20200103T000000")->GetText(), "FREQ=DAILY;UNTIL=20200103T000000");
    EXPECT_TRUE(MakeRule("FREQ=DAILY;UNTIL=20200103")->until->dateOnly);
    EXPECT_EQ(MakeRule("FREQ=DAILY;UNTIL=2020")->until, nullptr);
    // A second '=' is a delimiter, not part of the value.
    Rule odd = MakeRule("FREQ=DAILY;UNTIL=TZID=X:20200101T000000");
    EXPECT_EQ(odd->until, nullptr);
    EXPECT_STREQ(odd->freq, "DAILY");
}

TEST(RecurrenceParse, OverlongNamesAndValuesAreCutWithoutOverrun) {
    EXPECT_EQ(MakeRule(("FREQ=DAILY;" + std::string(500, 'N') + "=1;COUNT=4").c_str())->count, 4);
    EXPECT_EQ(std::string(MakeRule(("FREQ=" + std::string(300, 'D')).c_str())->freq), std::string(127, 'D'));

    // A list longer than a part value holds keeps only whole entries.
    std::string list = "1";
    for (int day = 2; day <= 60; ++day) {
        list += "," + std::to_string(day % 28 + 1);
    }
    Rule listed = MakeRule(("FREQ=MONTHLY;BYMONTHDAY=" + list).c_str());
    for (int i = 0; listed->byMonthDay[i] != 0; ++i) {
        EXPECT_TRUE(listed->byMonthDay[i] >= 1 && listed->byMonthDay[i] <= 28) << listed->byMonthDay[i];
    }
    EXPECT_EQ(MakeRule(("FREQ=WEEKLY;BYDAY=" + std::string(400, '9') + "MO").c_str())->byDayMask, 0u);
}

TEST(RecurrenceText, WritesTheRuleBack) {
    EXPECT_STREQ(MakeRule("FREQ=DAILY;COUNT=1")->GetText(), "FREQ=DAILY;COUNT=1");
    EXPECT_STREQ(MakeRule("FREQ=WEEKLY;INTERVAL=1")->GetText(), "FREQ=WEEKLY");
    EXPECT_STREQ(MakeRule("FREQ=YEARLY;BYDAY=4TH;BYMONTH=11")->GetText(), "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH");
    EXPECT_STREQ(MakeRule("FREQ=WEEKLY;BYDAY=SA,WE,MO;INTERVAL=2")->GetText(), "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,SA");
    EXPECT_STREQ(MakeRule("FREQ=DAILY;UNTIL=20200103T000000Z;COUNT=3")->GetText(), "FREQ=DAILY;UNTIL=20200103T000000Z");
    EXPECT_EQ(MakeRule("COUNT=3")->GetText(), nullptr);
    // Every part is kept, so that a rule read back steps as before.
    for (const char* text : {"FREQ=MONTHLY;BYDAY=-1FR", "FREQ=MONTHLY;BYMONTHDAY=31;BYDAY=MO",
                             "FREQ=WEEKLY;BYDAY=MO,WE;BYHOUR=9", "FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,MO;WKST=SU",
                             "FREQ=YEARLY;BYYEARDAY=-1,100;BYMONTH=4,12",
                             "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1"}) {
        EXPECT_STREQ(MakeRule(text)->GetText(), text);
    }
}

TEST(RecurrenceText, SetUntilReplacesCountAndDropsTheCachedText) {
    Rule rule = MakeRule("FREQ=WEEKLY;COUNT=10");
    EXPECT_STREQ(rule->GetText(), "FREQ=WEEKLY;COUNT=10");
    auto until = MakeRef<RIcsDateTime>();
    until->SetFromIcs(nullptr, "20150331T235959");
    rule->SetUntil(*until);
    EXPECT_EQ(rule->count, 0);
    EXPECT_STREQ(rule->GetText(), "FREQ=WEEKLY;UNTIL=20150331T235959");
    // A second UNTIL overwrites the date of the first in place.
    RIcsDateTime* kept = rule->until;
    until->SetFromIcs(nullptr, "20160101T120000");
    rule->SetUntil(*until);
    EXPECT_EQ(rule->until, kept);
    EXPECT_STREQ(rule->GetText(), "FREQ=WEEKLY;UNTIL=20160101T120000");
}

}  // namespace
