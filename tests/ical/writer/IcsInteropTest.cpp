// Files as other clients write them, and text that other clients must read back as written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "tests/ical/support/IcsTestSupport.h"

using ics_test::Parsed;
using ics_test::Str;

namespace {

std::string ReadDataFile(const char* name) {
    const std::filesystem::path path = std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name;
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The (unfolded) lines of a text that start with a prefix, joined by "|".
std::string LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::string found;
    std::string unfolded = text;
    for (std::size_t fold = unfolded.find("\r\n "); fold != std::string::npos; fold = unfolded.find("\r\n ", fold)) {
        unfolded.erase(fold, 3);
    }
    std::istringstream lines(unfolded);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            found += (found.empty() ? "" : "|") + line.substr(0, line.find('\r'));
        }
    }
    return found;
}

}  // namespace

TEST(IcsInterop, SeveralCalendarsInOneFileAreAllRead) {
    Parsed parsed(ReadDataFile("several-calendars.ics"));
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 3);
    EXPECT_STREQ(parsed->GetEventAt(0)->GetUid(), "first");
    EXPECT_STREQ(parsed->GetEventAt(1)->GetUid(), "second");
    EXPECT_STREQ(parsed->GetEventAt(2)->GetUid(), "third");
    ASSERT_EQ(parsed->GetTimeZoneCount(), 1);
    EXPECT_STREQ(parsed->GetTimeZoneAt(0)->GetTzid(), "(UTC-03:00) Bras\xC3\xADlia");
    // Each calendar's default zone is its own: the first one's does not reach the later events.
    EXPECT_STREQ(parsed->GetEventAt(0)->GetDefaultTimeZone(), "Europe/Berlin");
    EXPECT_EQ(parsed->GetEventAt(2)->GetDefaultTimeZone(), nullptr);
}

TEST(IcsInterop, ZoneNamesWithDelimitersAreQuotedAndReadBack) {
    Parsed parsed(ReadDataFile("several-calendars.ics"));
    ASSERT_EQ(parsed.result, R_OK);
    RIcsEvent* event = parsed->GetEventAt(1);
    const std::string written = Str(event->GetText());
    EXPECT_NE(written.find("DTSTART;TZID=\"(UTC-03:00) Bras\xC3\xADlia\":20200303T100000\r\n"), std::string::npos)
        << written;
    Parsed again(written);
    ASSERT_EQ(again.result, R_OK);
    ASSERT_EQ(again->GetEventCount(), 1);
    RIcsDateTime* start = again->GetEventAt(0)->GetDtStart();
    ASSERT_NE(start, nullptr);
    EXPECT_STREQ(start->tzid, "(UTC-03:00) Bras\xC3\xADlia");
    EXPECT_STREQ(start->GetDbText(), "2020-03-03 10:00");
    // A plain zone name stays unquoted.
    Parsed plain("BEGIN:VEVENT\nDTSTART;TZID=Europe/Berlin:20200101T100000\nEND:VEVENT\n");
    EXPECT_NE(Str(plain->GetEventAt(0)->GetText()).find("DTSTART;TZID=Europe/Berlin:2020"), std::string::npos);
}

TEST(IcsInterop, AnOutlookSeriesKeepsWhatOtherClientsNeed) {
    Parsed parsed(ReadDataFile("outlook-series.ics"));
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 2);
    RIcsEvent* master = parsed->GetEventAt(0);
    EXPECT_STREQ(master->GetSummary(), "Weekly sync");
    EXPECT_STREQ(master->GetDescription(), "Agenda:\\nItem one");
    EXPECT_STREQ(master->GetLocation(), "Room 4");
    EXPECT_STREQ(master->GetUrl(), "https://example.org/meet/1");
    const std::string written = Str(master->GetText());
    // UNTIL in UTC stays in UTC, and the URL is written.
    EXPECT_EQ(LinesStartingWith(written, "RRULE"), "RRULE:FREQ=WEEKLY;UNTIL=20250331T133000Z;BYDAY=MO;WKST=SU");
    EXPECT_EQ(LinesStartingWith(written, "URL"), "URL:https://example.org/meet/1");
    EXPECT_EQ(LinesStartingWith(written, "EXDATE"),
              "EXDATE;TZID=\"(UTC-05:00) Eastern Time (US & Canada)\":20250120T093000");
    // A parameter of RECURRENCE-ID stays a parameter.
    const std::string exception = Str(parsed->GetEventAt(1)->GetText());
    EXPECT_EQ(LinesStartingWith(exception, "RECURRENCE-ID"),
              "RECURRENCE-ID;RANGE=THISANDFUTURE;TZID=\"(UTC-05:00) Eastern Time (US & Canada)\":20250217T093000");
    // Each written text reads back to the same lines.
    Parsed again(Str(parsed->GetText()));
    ASSERT_EQ(again.result, R_OK);
    ASSERT_EQ(again->GetEventCount(), 2);
    EXPECT_EQ(Str(again->GetEventAt(0)->GetText()), written);
    EXPECT_EQ(Str(again->GetEventAt(1)->GetText()), exception);
    EXPECT_EQ(Str(again->GetTimeZoneAt(0)->GetText()), Str(parsed->GetTimeZoneAt(0)->GetText()));
}

TEST(IcsInterop, NoValueCanEndItsLine) {
    auto event = MakeRef<RIcsEvent>();
    auto* start = new RIcsDateTime();
    start->SetFromIcs(nullptr, "20200101T100000");
    event->SetDtStart(start);
    start->Release();
    event->SetUid("u1");
    // Raw line breaks of every kind, and an attempt to add a property line through a setter.
    event->SetSummary("line one\r\nATTENDEE:mailto:intruder@example.org");
    event->SetDescription("a\rb\nc\\nd");  // the escaped \n stays as it is: nothing is escaped twice
    event->SetLocation("x\n\ny");
    event->SetRecurrenceId("20200101T100000\r\nRRULE:FREQ=DAILY");
    const std::string text = Str(event->GetText());
    EXPECT_NE(text.find("SUMMARY:line one\\nATTENDEE:mailto:intruder@example.org\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DESCRIPTION:a\\nb\\nc\\nd\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("LOCATION:x\\n\\ny\r\n"), std::string::npos) << text;
    Parsed parsed(text);
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 1);
    EXPECT_EQ(parsed->GetEventAt(0)->GetAttendeeCount(), 0);
    EXPECT_EQ(parsed->GetEventAt(0)->GetRecurrence(), nullptr);
    // Every line of the text is a property line of its own: each ends in CR LF, none is bare.
    for (std::size_t at = text.find_first_of("\r\n"); at != std::string::npos; at = text.find_first_of("\r\n", at + 2)) {
        ASSERT_EQ(text.compare(at, 2, "\r\n"), 0) << at;
    }
    // The same holds for stored EXDATE and ATTENDEE lines.
    event->AddExDate("20200102T100000\r\nATTENDEE:mailto:x@example.org");
    EXPECT_EQ(Str(event->GetExDateLines()), "EXDATE:20200102T100000\\nATTENDEE:mailto:x@example.org\r\n");
}

TEST(IcsInterop, ZoneRulesWithoutNamesKeepTheirOffsetsThroughAWrite) {
    Parsed parsed(ReadDataFile("outlook-series.ics"));
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetTimeZoneCount(), 1);
    const std::string zone = Str(parsed->GetTimeZoneAt(0)->GetText());
    Parsed again("BEGIN:VCALENDAR\r\n" + zone + "END:VCALENDAR\r\n");
    ASSERT_EQ(again->GetTimeZoneCount(), 1);
    RIcsTimeZone* reread = again->GetTimeZoneAt(0);
    ASSERT_NE(reread->GetStandard(), nullptr);
    ASSERT_NE(reread->GetDaylight(), nullptr);
    EXPECT_EQ(reread->GetStandard()->GetOffsetTo().hours, -5);
    EXPECT_EQ(reread->GetDaylight()->GetOffsetTo().hours, -4);
    ASSERT_NE(reread->GetDaylight()->GetRecurrence(), nullptr);
    EXPECT_STREQ(reread->GetDaylight()->GetRecurrence()->GetText(), "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU");
}

TEST(IcsInterop, OddValuesWriteTextThatReadsBackTheSame) {
    const char* inputs[] = {
        // A zone whose name starts with Z is not UTC.
        "BEGIN:VEVENT\r\nDTSTART;TZID=Zulu:20200101T100000\r\nEND:VEVENT\r\n",
        // Raw values that start with a delimiter.
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nRECURRENCE-ID:;x\r\nEND:VEVENT\r\n",
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nRECURRENCE-ID::x\r\nEND:VEVENT\r\n",
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nSUMMARY:;-)\r\nUID::u\r\nEND:VEVENT\r\n",
        // A quoted zone name with a quote inside, and one read across a bare line break.
        "BEGIN:VEVENT\r\nDTSTART;TZID=\"a\"\"b:c\":20200101T100000\r\nEND:VEVENT\r\n",
        "BEGIN:VEVENT\r\nDTSTART;TZID=Eu\rrope:20200101T100000\r\nEND:VEVENT\r\n",
        // Text that is no date, and an end that is no date.
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nDTEND:202502170217T110000\r\nEND:VEVENT\r\n",
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nRRULE:FREQ=DAILY;UNTIL=40500662P133000Z\r\nEND:VEVENT\r\n",
        // Parameter values with quotes, delimiters and leading blanks; an address that looks like
        // parameters.
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nATTENDEE;CN=\" Jo\";ROLE=\"a:b\";DELEGATED-FROM=\"\"x\":mailto:j@x\r\n"
        "ATTENDEE:d@x\";ROLE=a=b:mailto:q@x\r\nEND:VEVENT\r\n",
        // A value cut to its field's length that the writer must quote.
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nATTENDEE;PARTSTAT=A,"
        "YYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYY"
        ":mailto:x@y\r\nEND:VEVENT\r\n",
        // A zone name as long as its field may be, which the writer quotes.
        "BEGIN:VEVENT\r\nDTSTART;TZID=Europe/"
        "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"
        "=lin:20200101T100000\r\nEND:VEVENT\r\n",
        // A name that is left in apostrophes once its quotes are gone.
        "BEGIN:VEVENT\r\nDTSTART:20200101T100000\r\nATTENDEE;CN=\"'Jo'\";ROLE='x':mailto:x@y\r\nEND:VEVENT\r\n",
        // A rule without FREQ: the event is written as one without a rule.
        "BEGIN:VEVENT\r\nDTSTART:20200101\r\nEXDATE:20200229\r\nRRULE:INTERVAL=2\r\nEND:VEVENT\r\n",
    };
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        Parsed first(input);
        ASSERT_EQ(first.result, R_OK);
        const std::string written = Str(first->GetText());
        Parsed second(written);
        ASSERT_EQ(second.result, R_OK);
        EXPECT_EQ(Str(second->GetText()), written);
    }
    Parsed noDate("BEGIN:VEVENT\r\nDTSTART:20251317T1030\r\nDTEND:20200230T250000\r\nEND:VEVENT\r\n");
    EXPECT_EQ(noDate->GetEventAt(0)->GetDtStart(), nullptr);
    EXPECT_EQ(noDate->GetEventAt(0)->GetDtEnd(), nullptr);
    Parsed zulu(inputs[0]);
    EXPECT_NE(Str(zulu->GetText()).find("DTSTART;TZID=Zulu:20200101T100000\r\n"), std::string::npos);
}
