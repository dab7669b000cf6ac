// The component structure the parser builds and the result codes it gives for bad structure.
#include <gtest/gtest.h>

#include <string>

#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/value/RIcsDateTime.h"
#include "tests/ical/support/IcsSampleCalendar.h"
#include "tests/ical/support/IcsTestSupport.h"

using ics_test::Parsed;
using ics_test::Str;

namespace {

std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

// The sample's zones (Berlin, New York, St John's), events, a to-do and a journal; LF line ends.
const std::string kCalendar =
    "BEGIN:VCALENDAR\n"
    "VERSION:2.0\n"
    "PRODID:-//Sample//EN\n"
    "X-WR-TIMEZONE:Europe/Berlin\n" +
    WithoutCr(ics_test::SampleTimeZones()) +
    "BEGIN:VEVENT\n"
    "UID:one\n"
    "SUMMARY:First\n"
    "DTSTART;TZID=Europe/Berlin:20201231T101530\n"
    "DTEND;TZID=Europe/Berlin:20201231T111530\n"
    "BEGIN:VALARM\n"
    "ACTION:DISPLAY\n"
    "DESCRIPTION:alarm text\n"
    "END:VALARM\n"
    "DESCRIPTION:event text\n"
    "END:VEVENT\n"
    "BEGIN:VTODO\n"
    "UID:todo\n"
    "END:VTODO\n"
    "BEGIN:VJOURNAL\n"
    "UID:journal\n"
    "BEGIN:VEVENT\n"
    "UID:inside-journal\n"
    "END:VEVENT\n"
    "END:VJOURNAL\n"
    "BEGIN:VEVENT\n"
    "UID:two\n"
    "DTSTART:20210101T090000Z\n"
    "END:VEVENT\n"
    "END:VCALENDAR\n";

void ExpectSampleStructure(const Parsed& parsed) {
    ASSERT_EQ(parsed.result, R_OK);
    EXPECT_STREQ(parsed->GetName(), "VCALENDAR");
    EXPECT_STREQ(parsed->GetProdId(), "-//Sample//EN");
    ASSERT_EQ(parsed->GetTimeZoneCount(), 3);
    RIcsTimeZone* zone = parsed->GetTimeZoneAt(0);
    EXPECT_STREQ(zone->GetTzid(), "Europe/Berlin");
    ASSERT_NE(zone->GetDaylight(), nullptr);
    EXPECT_STREQ(zone->GetDaylight()->GetTzName(), "CEST");
    EXPECT_EQ(zone->GetDaylight()->GetOffsetTo().hours, 2);
    EXPECT_NE(zone->GetDaylight()->GetRecurrence(), nullptr);
    RIcsTimeZoneComponent* newfoundland = parsed->GetTimeZoneAt(2)->GetStandard();
    EXPECT_EQ(parsed->GetTimeZoneAt(2)->GetDaylight(), nullptr);
    EXPECT_EQ(newfoundland->GetOffsetTo().hours, -3);
    EXPECT_EQ(newfoundland->GetOffsetTo().minutes, 30);
    EXPECT_STREQ(newfoundland->GetDtStart()->GetDbText(), "2007-11-04 00:01");

    // The journal and everything inside it is skipped; VALARM content does not leak.
    ASSERT_EQ(parsed->GetEventCount(), 2);
    RIcsEvent* first = parsed->GetEventAt(0);
    EXPECT_STREQ(first->GetUid(), "one");
    EXPECT_STREQ(first->GetDescription(), "event text");
    EXPECT_STREQ(first->GetDefaultTimeZone(), "Europe/Berlin");
    EXPECT_STREQ(parsed->GetEventAt(1)->GetUid(), "two");
    EXPECT_EQ(first->RefCount(), 1);  // the list holds the only reference
    ASSERT_EQ(parsed->GetToDoCount(), 1);
    EXPECT_STREQ(parsed->GetToDoAt(0)->GetUid(), "todo");

    ASSERT_EQ(parsed->GetTimeZoneIds().Count(), 2u);
    EXPECT_EQ(parsed->GetTimeZoneIds().At(0), "Europe/Berlin");
    EXPECT_EQ(parsed->GetTimeZoneIds().At(1), "Z");
}

}  // namespace

TEST(IcsParserStructure, SameResultForEveryLineEnd) {
    for (const char* lineEnd : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(lineEnd)));
        ExpectSampleStructure(Parsed(ics_test::WithLineEnds(kCalendar, lineEnd)));
    }
}

TEST(IcsParserStructure, ByteOrderMarkIsSkipped) {
    ExpectSampleStructure(Parsed(std::string("\xEF\xBB\xBF") + kCalendar));
}

TEST(IcsParserStructure, TextNotStartingWithBeginIsBadFormat) {
    EXPECT_EQ(Parsed("").result, R_E_BAD_FORMAT);
    EXPECT_EQ(Parsed("  \r\n").result, R_E_BAD_FORMAT);
    EXPECT_EQ(Parsed("VERSION:2.0\nBEGIN:VCALENDAR\n").result, R_E_BAD_FORMAT);
    // Names compare without case: a lower-case file is a calendar like any other.
    EXPECT_EQ(Parsed("begin:vcalendar\nend:vcalendar\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN").result, R_E_END_OF_TEXT);
}

TEST(IcsParserStructure, TopLevelComponentsOtherThanACalendar) {
    Parsed event("BEGIN:VEVENT\nUID:x\nEND:VEVENT\n");
    ASSERT_EQ(event.result, R_OK);
    ASSERT_EQ(event->GetEventCount(), 1);
    EXPECT_STREQ(event->GetEventAt(0)->GetUid(), "x");

    EXPECT_EQ(Parsed("BEGIN:VALARM\nACTION:AUDIO\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN:VJOURNAL\nUID:x\nEND:VJOURNAL\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN:VJOURNAL\nUID:x\n").result, R_E_END_OF_TEXT);
}

TEST(IcsParserStructure, NestedComponentsBelongToTheirParent) {
    Parsed parsed(
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:outer\nBEGIN:VEVENT\nUID:inner\nEND:VEVENT\n"
        "BEGIN:DAYLIGHT\nTZNAME:X\nEND:DAYLIGHT\nSUMMARY:after\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 1);
    RIcsEvent* outer = parsed->GetEventAt(0);
    EXPECT_STREQ(outer->GetUid(), "outer");
    EXPECT_STREQ(outer->GetSummary(), "after");
    ASSERT_EQ(outer->GetEventCount(), 1);
    EXPECT_STREQ(outer->GetEventAt(0)->GetUid(), "inner");
}

TEST(IcsParserStructure, TextEndingInsideAComponentIsAFormatError) {
    // A text cut short gives no item that may have lost its later lines.
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nSUMMARY:open\n").result, R_E_BAD_FORMAT);
    // Only the calendar may lack its END: the events it holds all ended.
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nEND:VEVENT\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN:VEVENT\nUID:a\n").result, R_E_BAD_FORMAT);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nBEGIN:VALARM\nACTION:AUDIO\n").result, R_E_BAD_FORMAT);
    // The same text with its END lines parses.
    Parsed whole("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nSUMMARY:open\nEND:VEVENT\nEND:VCALENDAR");
    ASSERT_EQ(whole.result, R_OK);
    ASSERT_EQ(whole->GetEventCount(), 1);
    EXPECT_STREQ(whole->GetEventAt(0)->GetSummary(), "open");
    // An END of another name is ignored.
    Parsed other("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nEND:VTODO\nSUMMARY:kept\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(other->GetEventCount(), 1);
    EXPECT_STREQ(other->GetEventAt(0)->GetSummary(), "kept");
}

TEST(IcsParserStructure, ALineWithoutAColonIsSkippedAndTheRestKept) {
    Parsed parsed(
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nX\nSUMMARY:kept\nno colon on this line\nBEGIN:VALARM\nX\n"
        "END:VALARM\nDESCRIPTION:after the alarm\nEND:VEVENT\nBEGIN:VEVENT\nUID:b\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 2);
    EXPECT_STREQ(parsed->GetEventAt(0)->GetSummary(), "kept");
    EXPECT_STREQ(parsed->GetEventAt(0)->GetDescription(), "after the alarm");
    EXPECT_STREQ(parsed->GetEventAt(1)->GetUid(), "b");
}

TEST(IcsParserStructure, ACalendarWithoutItsEndKeepsTheComponentsItHolds) {
    const std::string events = "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\nEND:VEVENT\nBEGIN:VEVENT\nUID:b\nEND:VEVENT\n";
    for (const std::string& end : {std::string(), std::string("END:VCALENDER\n"), std::string("END:VCAL")}) {
        Parsed parsed(events + end);
        ASSERT_EQ(parsed.result, R_OK) << end;
        ASSERT_EQ(parsed->GetEventCount(), 2) << end;
        EXPECT_STREQ(parsed->GetEventAt(1)->GetUid(), "b") << end;
    }
}

TEST(IcsParserStructure, TruncatedInsideALineFailsTheWholeParse) {
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMM").result, R_E_END_OF_TEXT);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND").result, R_E_END_OF_TEXT);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART;").result, R_E_END_OF_TEXT);
}

TEST(IcsParserStructure, NamesOfComponentsPropertiesAndParametersIgnoreCase) {
    Parsed parsed(
        "BEGIN:VCALENDAR\nBegin:vevent\nuid:x\ndtstart;tzid=Europe/Berlin:20200101T100000\nsummary:s\n"
        "begin:valarm\nSummary:alarm\nend:VALARM\nLocation;Language=de:Ort\nend:Vevent\nBEGIN:VEVENT\nUID:y\n"
        "END:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetEventCount(), 2);
    RIcsEvent* event = parsed->GetEventAt(0);
    EXPECT_STREQ(event->GetUid(), "x");
    ASSERT_NE(event->GetDtStart(), nullptr);
    EXPECT_STREQ(event->GetDtStart()->tzid, "Europe/Berlin");
    EXPECT_STREQ(event->GetSummary(), "s");  // the alarm's summary stays in the skipped alarm
    EXPECT_STREQ(event->GetLocation(), "Ort");
    EXPECT_STREQ(parsed->GetEventAt(1)->GetUid(), "y");
}

TEST(IcsParserStructure, OverLongNamesAreRefused) {
    const std::string name63(63, 'N');
    const std::string name64(64, 'N');
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nX-" + name63.substr(2) + ":v\nEND:VCALENDAR\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nX-" + name64.substr(2) + ":v\nEND:VCALENDAR\n").result, R_E_BUFFER_TOO_SMALL);
    // The failure climbs out of the event into the calendar.
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\n" + name64 + ":v\nEND:VEVENT\nEND:VCALENDAR\n").result,
              R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:" + name63 + "\nEND:" + name63 + "\nEND:VCALENDAR\n").result, R_OK);
    EXPECT_EQ(Parsed("BEGIN:VCALENDAR\nBEGIN:" + name64 + "\nEND:" + name64 + "\nEND:VCALENDAR\n").result,
              R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(Parsed("BEGIN:" + name64 + "\n").result, R_E_BUFFER_TOO_SMALL);
}

TEST(IcsParserStructure, SkippedComponentsAreSkippedWholeWhateverTheirTokens) {
    const std::string longName = "X-" + std::string(80, 'N');
    for (const char* skipped : {"VALARM", "VJOURNAL"}) {
        const std::string name = skipped;
        Parsed parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nDESCRIPTION:event\nBEGIN:" + name + "\n" + longName +
                      ":1\nDESCRIPTION:skipped\nEND:" + name + "\nSUMMARY:s\nEND:VEVENT\nEND:VCALENDAR\n");
        ASSERT_EQ(parsed.result, R_OK) << name;
        ASSERT_EQ(parsed->GetEventCount(), 1) << name;
        EXPECT_STREQ(parsed->GetEventAt(0)->GetDescription(), "event") << name;
        EXPECT_STREQ(parsed->GetEventAt(0)->GetSummary(), "s") << name;
    }
}

TEST(IcsParserStructure, AFailingChildIsNotKeptAndFailsItsParents) {
    Parsed parsed("BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:a\n" + std::string(64, 'N') + ":v\nEND:VEVENT\nEND:VCALENDAR\n");
    EXPECT_EQ(parsed.result, R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(parsed->GetEventCount(), 0);
}

TEST(IcsParserStructure, DeepNestingEndsWithAResultInsteadOfExhaustingTheStack) {
    std::string deep = "BEGIN:VCALENDAR\n";
    for (int i = 0; i < 100000; ++i) {
        deep += "BEGIN:VEVENT\n";
    }
    EXPECT_EQ(Parsed(deep).result, R_E_BAD_FORMAT);
    std::string deepSkip = "BEGIN:VCALENDAR\n";
    for (int i = 0; i < 100000; ++i) {
        deepSkip += i % 2 == 0 ? "BEGIN:X\n" : "BEGIN:VCALENDAR\n";
    }
    EXPECT_EQ(Parsed(deepSkip).result, R_E_BAD_FORMAT);
}


TEST(IcsParserStructure, AFoldAnywhereReadsAsTheTextWithoutIt) {
    // The sample, then a second calendar with names in any case, quoted parameters holding
    // delimiters and an X- property: the fold lands inside every name, parameter and value.
    const std::string text = ics_test::WithLineEnds(kCalendar, "\r\n") +
                             "begin:vcalendar\r\nBEGIN:VEVENT\r\nUID:two\r\n"
                             "DTSTART;TZID=\"(UTC+01:00) A:b\";X-P=1:20200101T100000\r\n"
                             "ATTENDEE;CN=\"Jo; Smith\";Role=CHAIR:mailto:jo@x\r\n"
                             "x-custom;a=\"q\":v\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const Parsed plain(text);
    ASSERT_EQ(plain.result, R_OK);
    ASSERT_GT(plain->GetEventCount(), 1);
    const std::string written = Str(plain->GetText());
    for (const std::string fold : {"\r\n ", "\n\t"}) {
        for (std::size_t at = 0; at <= text.size(); ++at) {
            if (fold[0] == '\n' && at > 0 && text[at - 1] == '\r') {
                continue;  // the fold would take the CR before it as its own
            }
            const Parsed folded(text.substr(0, at) + fold + text.substr(at));
            ASSERT_EQ(folded.result, R_OK) << "fold at " << at;
            ASSERT_EQ(folded->GetEventCount(), plain->GetEventCount()) << "fold at " << at;
            ASSERT_EQ(Str(folded->GetText()), written) << "fold at " << at;
            const RIcsEvent* last = folded->GetEventAt(folded->GetEventCount() - 1);
            ASSERT_EQ(last->GetXProperties().size(), 1u) << "fold at " << at;
            ASSERT_EQ(last->GetXProperties()[0].name, "X-CUSTOM") << "fold at " << at;
            ASSERT_EQ(last->GetXProperties()[0].value, "v") << "fold at " << at;
        }
    }
}
