// Which occurrences land in which cell: series stepped over years, exclusions, exceptions
// written in local time or UTC, orphans, rules that do not advance, the grid's last day,
// switched-off and unknown owners, order within a cell and the display zone.
#include <gtest/gtest.h>

#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "tests/ui/support/MonthFixture.h"

using namespace orvane::test;
using Names = std::vector<std::string>;

namespace {

const char* const kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

const char* const kBrisbane =
    "BEGIN:VTIMEZONE\r\nTZID:Australia/Brisbane\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+1000\r\nTZOFFSETTO:+1000\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

// The cells (by date text) in which an item appears.
std::vector<std::string> DaysOf(const MonthFixture& f, const RRef<ROrvaneMonthView>& view, const std::string& summary) {
    std::vector<std::string> days;
    for (int i = 0; i < 42; ++i) {
        for (const auto& item : view->Cell(i).items) {
            if (item->GetSummary().ToUtf8().GetString() == summary) {
                char text[16];
                std::snprintf(text, sizeof text, "%02d-%02d", view->Cell(i).date.month, view->Cell(i).date.day);
                days.push_back(text);
            }
        }
    }
    (void)f;
    return days;
}

class Placement : public MonthFixture {
protected:
    std::vector<std::string> Days(const std::string& summary) { return DaysOf(*this, view, summary); }
};

}  // namespace

TEST_F(Placement, AWeeklySeriesBegunYearsAgoShowsExactlyItsOccurrencesInTheSixWeeks) {
    seed.Import("acc", "cal",
                Event("w", "Choir", "DTSTART:20100303T190000\r\nDTEND:20100303T200000\r\n", "RRULE:FREQ=WEEKLY\r\n"),
                "w.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Days("Choir"), (std::vector<std::string>{"03-04", "03-11", "03-18", "03-25", "04-01", "04-08"}));
    Show(2015, 4);  // a second month from the same loaded series
    EXPECT_EQ(Days("Choir").front(), "04-01");
    EXPECT_EQ(Days("Choir").size(), 6u);
}

TEST_F(Placement, ExcludedDatesAndExceptionsReplaceTheirOccurrences) {
    seed.Import("acc", "cal",
                Event("d", "Standup", "DTSTART:20150302T090000\r\nDTEND:20150302T091500\r\n",
                      "RRULE:FREQ=DAILY;COUNT=5\r\nEXDATE:20150304T090000\r\n") +
                    // Moved to the following Sunday afternoon, written in local time.
                    Event("d", "Standup moved", "DTSTART:20150308T150000\r\nDTEND:20150308T151500\r\n",
                          "RECURRENCE-ID:20150305T090000\r\n") +
                    // An exception whose series is not stored.
                    Event("orphan", "Orphan", "DTSTART:20150310T090000\r\nDTEND:20150310T100000\r\n",
                          "RECURRENCE-ID:20150310T090000\r\n"),
                "d.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Days("Standup"), (std::vector<std::string>{"03-02", "03-03", "03-06"}));
    EXPECT_EQ(Days("Standup moved"), (std::vector<std::string>{"03-08"}));
    EXPECT_TRUE(Days("Orphan").empty());
    EXPECT_EQ(view->FormatItemTime(Find("Standup moved")), CStringW(u"3p"));
}

TEST_F(Placement, AnExceptionGoneFromTheStoreSinceTheLoadStillShowsAsLoadedOnRedraw) {
    seed.Import("acc", "cal",
                Event("w", "Review", "DTSTART:20150302T090000\r\nDTEND:20150302T100000\r\n",
                      "RRULE:FREQ=WEEKLY;COUNT=3\r\n") +
                    Event("w", "Review moved", "DTSTART:20150310T140000\r\nDTEND:20150310T150000\r\n",
                          "RECURRENCE-ID:20150309T090000\r\n"),
                "w.ics");
    Start();
    Show(2015, 3);
    ASSERT_EQ(Days("Review moved"), (std::vector<std::string>{"03-10"}));
    // A synchronisation removes the exception; the grid redraws its loaded rows until it reloads.
    ASSERT_EQ(R_OK, seed.Store()->DeleteCalendarItem("w", "20150309T090000", "cal", "acc"));
    ASSERT_EQ(R_OK, view->ReDraw());
    EXPECT_EQ(Days("Review moved"), (std::vector<std::string>{"03-10"}));
    EXPECT_EQ(Days("Review"), (std::vector<std::string>{"03-02", "03-16"}));
    EXPECT_EQ(view->FormatItemTime(Find("Review moved")), CStringW(u"2p"));
    ASSERT_EQ(R_OK, view->Draw(Day(2015, 3, 15), true));
    EXPECT_EQ(Days("Review"), (std::vector<std::string>{"03-02", "03-09", "03-16"}));
    EXPECT_TRUE(Days("Review moved").empty());
}

TEST_F(Placement, AnExceptionWrittenInUtcReplacesTheOccurrenceAtTheSameInstant) {
    seed.Import("acc", "cal",
                std::string(kBerlin) +
                    Event("b", "Berlin call",
                          "DTSTART;TZID=Europe/Berlin:20150302T100000\r\nDTEND;TZID=Europe/Berlin:20150302T110000\r\n",
                          "RRULE:FREQ=WEEKLY;COUNT=4\r\n") +
                    Event("b", "Berlin call (moved)",
                          "DTSTART;TZID=Europe/Berlin:20150311T160000\r\nDTEND;TZID=Europe/Berlin:20150311T170000\r\n",
                          "RECURRENCE-ID:20150309T090000Z\r\n"),
                "b.ics");
    Start(100, "Europe/Berlin");
    Show(2015, 3);
    EXPECT_EQ(Days("Berlin call"), (std::vector<std::string>{"03-02", "03-16", "03-23"}));
    EXPECT_EQ(Days("Berlin call (moved)"), (std::vector<std::string>{"03-11"}));
}

TEST_F(Placement, RulesThatYieldNothingOrDoNotAdvanceEndQuietly) {
    seed.Import("acc", "cal",
                Event("x", "Thirtieth of February", "DTSTART:20150306T080000\r\nDTEND:20150306T090000\r\n",
                          "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\r\n") +
                    Event("z", "Zero interval", "DTSTART:20150307T080000\r\nDTEND:20150307T090000\r\n",
                          "RRULE:FREQ=DAILY;INTERVAL=0\r\n"),
                "odd.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Days("Thirtieth of February"), (std::vector<std::string>{"03-06"}));
    EXPECT_FALSE(Days("Zero interval").empty());
}

TEST_F(Placement, TimedOccurrencesOnTheGridsLastDayAreShown) {
    seed.Import("acc", "cal",
                Event("l", "Saturday run", "DTSTART:20150307T100000\r\nDTEND:20150307T110000\r\n",
                      "RRULE:FREQ=WEEKLY\r\n") +
                    Event("s", "Single late", "DTSTART:20150411T180000\r\nDTEND:20150411T190000\r\n"),
                "l.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Days("Saturday run").back(), "04-11");
    EXPECT_EQ(Days("Saturday run").size(), 6u);
    EXPECT_EQ(Days("Single late"), (std::vector<std::string>{"04-11"}));
}

TEST_F(Placement, SwitchedOffOwnersAreLeftOutAndUnknownCalendarsShown) {
    seed.AddCalendar("acc", "hidden", "Hidden", 1, "#00FF00FF", false);
    seed.AddAccount("acc2", "Work");
    seed.AddCalendar("acc2", "cal2", "Team", 0, "#0000FFFF");
    seed.Import("acc", "cal", Event("p", "Personal", "DTSTART:20150310T080000\r\nDTEND:20150310T090000\r\n"), "p.ics");
    seed.Import("acc", "hidden", Event("h", "Secret", "DTSTART:20150310T100000\r\nDTEND:20150310T110000\r\n"), "h.ics");
    seed.Import("acc2", "cal2", Event("t", "Team", "DTSTART:20150310T120000\r\nDTEND:20150310T130000\r\n"), "t.ics");
    // A calendar stored after the accounts were loaded: the account does not know it.
    seed.Accounts();
    seed.AddCalendar("acc", "gone", "Later", 2, "#FFFF00FF", false);
    seed.Import("acc", "gone", Event("g", "Stray", "DTSTART:20150310T140000\r\nDTEND:20150310T150000\r\n"), "g.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Summaries(2015, 3, 10), (Names{"Personal", "Team", "Stray"}));
    seed.Accounts()->FindAccountByGuid("acc2")->SetEnabled(0);
    view->ReDraw();
    EXPECT_EQ(Summaries(2015, 3, 10), (Names{"Personal", "Stray"}));
    const RItemRect stray = Find("Stray")->GetHitRect();
    EXPECT_GT(stray.bottom, stray.top);  // drawn, without colour
}

TEST_F(Placement, CellsOrderByRealInstantAndTimedItemsFileUnderTheirDisplayDate) {
    seed.Import("acc", "cal",
                std::string(kBrisbane) +
                    Event("f", "Floating nine", "DTSTART:20150312T090000\r\nDTEND:20150312T100000\r\n") +
                    Event("a", "All day", "DTSTART;VALUE=DATE:20150312\r\nDTEND;VALUE=DATE:20150313\r\n") +
                    Event("e1", "Early A", "DTSTART:20150312T070000Z\r\nDTEND:20150312T080000Z\r\n") +
                    Event("e2", "Early B", "DTSTART:20150312T070000Z\r\nDTEND:20150312T080000Z\r\n") +
                    Event("q", "Brisbane nine",
                          "DTSTART;TZID=Australia/Brisbane:20150312T090000\r\n"
                          "DTEND;TZID=Australia/Brisbane:20150312T100000\r\n"),
                "order.ics");
    Start();
    Show(2015, 3);
    EXPECT_EQ(Summaries(2015, 3, 12), (Names{"All day", "Early A", "Early B", "Floating nine"}));
    // 09:00 ten hours east of UTC is 23:00 the day before in the display zone.
    EXPECT_EQ(Summaries(2015, 3, 11), (Names{"Brisbane nine"}));
    EXPECT_EQ(view->FormatItemTime(Find("Brisbane nine")), CStringW(u"11p"));
}

// America/Mazatlan and America/Chihuahua once shared a zone key but not their rules (UTC-7 and UTC-6
// in 2024); the key kept Mazatlan's.
TEST_F(Placement, ZonesUnderOneKeyWithOtherRulesAreConverted) {
    seed.Import("acc", "cal",
                Event("m", "Mazatlan late",
                      "DTSTART;TZID=America/Mazatlan:20240315T233000\r\nDTEND;TZID=America/Mazatlan:20240315T234500\r\n") +
                    Event("k", "Key late",
                          "DTSTART;TZID=Mountain Standard Time (Mexico):20240315T233000\r\n"
                          "DTEND;TZID=Mountain Standard Time (Mexico):20240315T234500\r\n"),
                "key.ics");
    Start(100, "America/Chihuahua");
    Show(2024, 3);
    EXPECT_EQ(Days("Mazatlan late"), (Names{"03-16"}));
    EXPECT_EQ(view->FormatItemTime(Find("Mazatlan late")), CStringW(u"12:30a"));
    // The key converts as Mazatlan does.
    EXPECT_EQ(Days("Key late"), (Names{"03-16"}));
    EXPECT_EQ(view->FormatItemTime(Find("Key late")), CStringW(u"12:30a"));
}

TEST_F(Placement, TheAllDayListPutsLongerSpansFirstWhateverTheOrderPlaced) {
    seed.Import("acc", "cal",
                Event("one", "One day", "DTSTART;VALUE=DATE:20150317\r\nDTEND;VALUE=DATE:20150318\r\n") +
                    Event("three", "Three days", "DTSTART;VALUE=DATE:20150318\r\nDTEND;VALUE=DATE:20150321\r\n") +
                    Event("two", "Two days", "DTSTART;VALUE=DATE:20150316\r\nDTEND;VALUE=DATE:20150318\r\n"),
                "spans.ics");
    Start();
    Show(2015, 3);
    Names order;
    for (const auto& item : view->AllDayItems()) order.push_back(item->GetSummary().ToUtf8().GetString());
    EXPECT_EQ(order, (Names{"Three days", "Two days", "One day"}));
}

TEST_F(Placement, FormatsTwelveHourLabels) {
    const char* const times[][2] = {{"093000", "9:30a"}, {"150000", "3p"},  {"120000", "12p"},
                                    {"000000", "12a"},  {"003000", "12:30a"}, {"120500", "12:05p"}};
    std::string events;
    for (int i = 0; i < 6; ++i) {
        events += Event("f" + std::to_string(i), std::string("L") + times[i][1],
                        std::string("DTSTART:201503") + std::to_string(20 + i) + "T" + times[i][0] + "\r\n");
    }
    events += Event("d", "Dated", "DTSTART;VALUE=DATE:20150327\r\n");
    seed.Import("acc", "cal", events, "labels.ics");
    Start();
    Show(2015, 3);
    for (const auto& time : times) {
        ROrvaneCalendarItem* item = Find(std::string("L") + time[1]);
        ASSERT_NE(item, nullptr) << time[1];
        EXPECT_EQ(view->FormatItemTime(item).ToUtf8(), CStringA(time[1]));
    }
    ASSERT_NE(Find("Dated"), nullptr);
    EXPECT_EQ(view->FormatItemTime(Find("Dated")), CStringW());
}
