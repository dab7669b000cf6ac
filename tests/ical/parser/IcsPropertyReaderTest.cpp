// Values as the property readers store them: text, date-times, rules, EXDATEs, attendees,
// zone rules, and the limit rule of each bounded field.
#include <gtest/gtest.h>

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

// Parses one VEVENT made of the given property lines.
struct EventOf {
    explicit EventOf(const std::string& lines)
        : parsed("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n") {}
    RIcsEvent* operator->() const { return parsed->GetEventCount() > 0 ? parsed->GetEventAt(0) : nullptr; }
    Parsed parsed;
};

}  // namespace

TEST(IcsPropertyReader, TextValuesKeepEscapesAndStartAfterTheirParameters) {
    EventOf event(
        "SUMMARY;LANGUAGE=en:Hello\r\n"
        "LOCATION;LANGUAGE=en-GB:Hello\r\n"
        "DESCRIPTION;ALTREP=\"cid:part1.0001@example.org\";LANGUAGE=de:y\r\n"
        "UID;X-A=\"a;b:c\":a\\,b\r\n"
        "URL;VALUE=URI:http://example.org/x\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_STREQ(event->GetSummary(), "Hello");
    EXPECT_STREQ(event->GetLocation(), "Hello");
    EXPECT_STREQ(event->GetDescription(), "y");
    EXPECT_STREQ(event->GetUid(), "a\\,b");
    EXPECT_STREQ(event->GetUrl(), "http://example.org/x");
}

TEST(IcsPropertyReader, FoldedLinesUnfoldAtASpaceOrATab) {
    for (const char* lineEnd : {"\r\n", "\n", "\r"}) {
        const std::string le = lineEnd;
        EventOf event("DESCRIPTION:abc" + le + " def" + le + "\tghi" + le + "SUMMARY:s" + le + "\tt" + le + "URL:u" + le +
                      "DTSTART" + le + " ;TZID=Europe/Berlin" + le + " :20200101T" + le + "\t100000" + le);
        ASSERT_EQ(event.parsed.result, R_OK);
        EXPECT_STREQ(event->GetDescription(), "abcdefghi");
        EXPECT_STREQ(event->GetSummary(), "st");
        EXPECT_STREQ(event->GetUrl(), "u");  // the line after a TAB fold is not lost
        ASSERT_NE(event->GetDtStart(), nullptr);
        EXPECT_STREQ(event->GetDtStart()->GetDbText(), "2020-01-01 10:00");
        EXPECT_STREQ(event->GetDtStart()->tzid, "Europe/Berlin");
    }
    // A fold right after the colon.
    EXPECT_STREQ(EventOf("LOCATION:\n folded\n")->GetLocation(), "folded");
    EXPECT_STREQ(EventOf("LOCATION:\r folded\r")->GetLocation(), "folded");
    EXPECT_STREQ(EventOf("LOCATION:\r\n folded\r\n")->GetLocation(), "folded");
    EventOf empty("SUMMARY:\r\nLOCATION:x\r\n");
    EXPECT_STREQ(empty->GetSummary(), "");
    EXPECT_STREQ(empty->GetLocation(), "x");
}

TEST(IcsPropertyReader, DateTimeForms) {
    EventOf event(
        "DTSTART;VALUE=DATE:20201231\r\n"
        "DTEND:20201231T100000Z\r\n"
        "DTSTAMP;TZID=\"Europe/Berlin\":20201231T101530\r\n"
        "CREATED;TZID=Europe/Berlin:20201231T101530Z\r\n"
        "LAST-MODIFIED;X-A=1;TZID=America/New_York;VALUE=DATE-TIME:20201231T101530\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_TRUE(event->GetDtStart()->dateOnly);
    EXPECT_STREQ(event->GetDtStart()->GetDbText(), "2020-12-31");
    EXPECT_STREQ(event->GetDtEnd()->tzid, "Z");
    EXPECT_STREQ(event->GetDtStamp()->tzid, "Europe/Berlin");
    EXPECT_STREQ(event->GetCreated()->tzid, "Z");  // a final Z wins over the parameter
    EXPECT_STREQ(event->GetLastModified()->tzid, "America/New_York");
    EXPECT_STREQ(event->GetLastModified()->GetDbText(), "2020-12-31 10:15:30");
}

TEST(IcsPropertyReader, DateTimeParameterValueRunsToTheNextSemicolonOrColon) {
    EventOf event("DTSTART;TZID=a=b:20201231T101530\r\nDTEND;TZID=;VALUE=DATE:20201231\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_STREQ(event->GetDtStart()->tzid, "a=b");
    EXPECT_STREQ(event->GetDtStart()->GetDbText(), "2020-12-31 10:15:30");
    EXPECT_STREQ(event->GetDtEnd()->tzid, "");
    EXPECT_TRUE(event->GetDtEnd()->dateOnly);
}

TEST(IcsPropertyReader, QuotedDateTimeParameterValuesMayHoldDelimiters) {
    EventOf event(
        "DTSTART;TZID=\"(UTC+01:00) Amsterdam; Berlin\":20201231T101530\r\n"
        "DTEND;TZID=\"open:20201231T111530\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_STREQ(event->GetDtStart()->tzid, "(UTC+01:00) Amsterdam; Berlin");
    EXPECT_STREQ(event->GetDtStart()->GetDbText(), "2020-12-31 10:15:30");
    // A quote that is never closed is an ordinary character.
    EXPECT_STREQ(event->GetDtEnd()->tzid, "\"open");
    EXPECT_STREQ(event->GetDtEnd()->GetDbText(), "2020-12-31 11:15:30");
    // A long line folded inside a parameter, quoted or not, reads as if unfolded.
    for (const std::string fold : {"\r\n ", "\n ", "\r "}) {
        EventOf folded("DTSTART;TZID=\"(UTC+01:00) Amsterdam, Sto" + fold + "ckholm\":20201231T101530\r\n"
                       "DTEND;TZID=Europe/Ber" + fold + "lin:20201231T111530\r\n");
        ASSERT_EQ(folded.parsed.result, R_OK);
        EXPECT_STREQ(folded->GetDtStart()->tzid, "(UTC+01:00) Amsterdam, Stockholm");
        EXPECT_STREQ(folded->GetDtStart()->GetDbText(), "2020-12-31 10:15:30");
        EXPECT_STREQ(folded->GetDtEnd()->tzid, "Europe/Berlin");
    }
}

TEST(IcsPropertyReader, EmptyDateTimeAndExDateValuesAreNotKept) {
    EventOf event("DTSTART:20201231T101530Z\r\nDTEND:\r\nDTSTAMP;TZID=Europe/Berlin:\r\nRRULE:FREQ=DAILY\r\nEXDATE:\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_EQ(event->GetDtEnd(), nullptr);
    EXPECT_EQ(event->GetDtStamp(), nullptr);
    EXPECT_TRUE(event->GetExDates().IsEmpty());
    EXPECT_EQ(event->GetRecurrence()->exDates.count, 0);
    EXPECT_EQ(Str(event->GetText()),
              "BEGIN:VEVENT\r\nDTSTART:20201231T101530Z\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n");
}

TEST(IcsPropertyReader, OverLongDateTimeParametersAreRefused) {
    const std::string tzid127(127, 'z');
    EventOf fits("DTSTART;TZID=" + tzid127 + ":20201231T101530\r\n");
    ASSERT_EQ(fits.parsed.result, R_OK);
    EXPECT_EQ(std::string(fits->GetDtStart()->tzid), tzid127);
    EXPECT_EQ(EventOf("DTSTART;TZID=" + tzid127 + "z:20201231T101530\r\n").parsed.result, R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(EventOf("DTSTART;TZID=" + std::string(100, 'a') + "=" + std::string(100, 'b') + ":20201231\r\n")
                  .parsed.result,
              R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(EventOf("DTSTART;" + std::string(128, 'P') + "=1:20201231\r\n").parsed.result, R_E_BUFFER_TOO_SMALL);
}

TEST(IcsPropertyReader, ExDatesBeforeAndAfterTheRuleReachIt) {
    EventOf event(
        "EXDATE:20200102T090000Z\r\n"
        "RRULE:FREQ=DAILY;COUNT=5\r\n"
        "EXDATE;TZID=Europe/Berlin:20200103T090000\r\n"
        "EXDATE:20200102T090000Z\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    EXPECT_EQ(event->GetExDates().Count(), 2u);
    EXPECT_STREQ(event->GetExDateLines(),
                 "EXDATE:20200102T090000Z\r\nEXDATE;TZID=Europe/Berlin:20200103T090000\r\n");
    RIcsRecurrence* rule = event->GetRecurrence();
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->exDates.count, 2);
    RIcsDateTime occurrence;
    occurrence.SetFromIcs("", "20200102T090000");
    EXPECT_TRUE(rule->IsExcluded(&occurrence));
    RIcsDateTime other;
    other.SetFromIcs("", "20200103T090000");
    EXPECT_TRUE(rule->IsExcluded(&other));
}

TEST(IcsPropertyReader, ExDateValueIsCutAt639Characters) {
    std::string list = "20200101T090000Z";
    while (list.size() < 700) {
        list += ",20200101T090000Z";
    }
    EventOf event("EXDATE:" + list + "\r\n");
    ASSERT_EQ(event->GetExDates().Count(), 1u);
    EXPECT_EQ(event->GetExDates().At(0), list.substr(0, 639));
}

TEST(IcsPropertyReader, AttendeesAndOrganizer) {
    EventOf event(
        "ORGANIZER;CN=Boss:mailto:boss@example.org\r\n"
        "ATTENDEE;CN=\"Jo Smith\";EMAIL=\"jo@example.org\";PARTSTAT=ACCEPTED:mailto:jo@example.org\r\n"
        "ATTENDEE:mailto:plain@example.org\r\n"
        "ATTENDEE;CN='Al';ROLE=REQ-PARTICIPANT;RSVP=TRUE;CUTYPE=INDIVIDUAL;SCHEDULE-STATUS=1.1;"
        "DELEGATED-FROM=\"mailto:x@example.org\":mailto:al@example.org\r\n"
        "ATTENDEE;CN=NoAddress;\r\n"
        "ATTENDEE;CN=Kept\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    ASSERT_NE(event->GetOrganizer(), nullptr);
    EXPECT_STREQ(event->GetOrganizer()->GetCn(), "Boss");
    EXPECT_STREQ(event->GetOrganizer()->GetAddress(), "mailto:boss@example.org");
    ASSERT_EQ(event->GetAttendeeCount(), 4);
    RIcsAttendee* jo = event->GetAttendeeAt(0);
    EXPECT_STREQ(jo->GetCn(), "Jo Smith");
    EXPECT_STREQ(jo->GetEmail(), "jo@example.org");
    EXPECT_STREQ(jo->GetPartStat(), "ACCEPTED");
    EXPECT_STREQ(jo->GetAddress(), "mailto:jo@example.org");
    EXPECT_STREQ(event->GetAttendeeAt(1)->GetAddress(), "mailto:plain@example.org");
    RIcsAttendee* al = event->GetAttendeeAt(2);
    EXPECT_STREQ(al->GetCn(), "Al");
    EXPECT_STREQ(al->GetRole(), "REQ-PARTICIPANT");
    EXPECT_STREQ(al->GetRsvp(), "TRUE");
    EXPECT_STREQ(al->GetCuType(), "INDIVIDUAL");
    EXPECT_STREQ(al->GetScheduleStatus(), "1.1");
    // A ':' inside a quoted value does not end the parameters there.
    EXPECT_STREQ(al->GetDelegatedFrom(), "mailto:x@example.org");
    EXPECT_STREQ(al->GetAddress(), "mailto:al@example.org");
    // Parameters without an address: dropped when the value ends in a delimiter, else kept empty.
    EXPECT_STREQ(event->GetAttendeeAt(3)->GetCn(), "Kept");
    EXPECT_STREQ(event->GetAttendeeAt(3)->GetAddress(), "");
    EXPECT_EQ(event->GetAttendeeAt(3)->GetText(), nullptr);
}

TEST(IcsPropertyReader, QuotedAttendeeParameterValuesMayHoldDelimiters) {
    EventOf event(
        "ORGANIZER;SENT-BY=\"mailto:aide@example.org\";CN=\"Room: A; B\":mailto:boss@example.org\r\n"
        "ATTENDEE;CN=\"Open:mailto:open@example.org\r\n");
    ASSERT_EQ(event.parsed.result, R_OK);
    RIcsOrganizer* organizer = event->GetOrganizer();
    ASSERT_NE(organizer, nullptr);
    EXPECT_STREQ(organizer->GetCn(), "Room: A; B");
    EXPECT_STREQ(organizer->GetAddress(), "mailto:boss@example.org");
    // Written back in quotes, the name reads back whole.
    auto again = MakeRef<RIcsOrganizer>();
    ASSERT_EQ(again->Parse(organizer->GetText() + 1), R_OK);
    EXPECT_STREQ(again->GetCn(), "Room: A; B");
    EXPECT_STREQ(again->GetAddress(), "mailto:boss@example.org");
    // A quote that is never closed is an ordinary character.
    ASSERT_EQ(event->GetAttendeeCount(), 1);
    EXPECT_STREQ(event->GetAttendeeAt(0)->GetCn(), "\"Open");
    EXPECT_STREQ(event->GetAttendeeAt(0)->GetAddress(), "mailto:open@example.org");
}

TEST(IcsPropertyReader, AttendeeLimitsCutParametersAndAddress) {
    auto attendee = MakeRef<RIcsAttendee>();
    const std::string address = "mailto:" + std::string(600, 'a');
    ASSERT_EQ(attendee->Parse(("CN=" + std::string(200, 'c') + ";ROLE=X=Y:" + address).c_str()), R_OK);
    EXPECT_EQ(std::string(attendee->GetCn()), std::string(127, 'c'));
    EXPECT_STREQ(attendee->GetRole(), "X=Y");
    EXPECT_EQ(std::string(attendee->GetAddress()), address.substr(0, 511));
}

TEST(IcsPropertyReader, FixedFieldsAreCutAtTheirCapacity) {
    const std::string longText(200, 'x');
    // A cut never splits a UTF-8 character: 31 bytes of two-byte characters keep 15 of them.
    std::string umlauts;
    for (int i = 0; i < 20; ++i) {
        umlauts += "\xC3\xA4";
    }
    Parsed parsed("BEGIN:VCALENDAR\r\nPRODID:" + longText + "\r\nBEGIN:VEVENT\r\nSTATUS:" + longText +
                  "\r\nTRANSP:" + umlauts + "\r\nEND:VEVENT\r\nBEGIN:VTIMEZONE\r\nTZID:" + longText +
                  "\r\nBEGIN:STANDARD\r\nTZNAME:" + longText + "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    EXPECT_EQ(std::string(parsed->GetProdId()), longText.substr(0, 63));
    EXPECT_EQ(std::string(parsed->GetEventAt(0)->GetStatus()), longText.substr(0, 31));
    EXPECT_EQ(std::string(parsed->GetEventAt(0)->GetTransp()), umlauts.substr(0, 30));
    EXPECT_EQ(std::string(parsed->GetTimeZoneAt(0)->GetTzid()), longText.substr(0, 127));
    EXPECT_EQ(std::string(parsed->GetTimeZoneAt(0)->GetStandard()->GetTzName()), longText.substr(0, 63));
}

TEST(IcsPropertyReader, EveryZoneAnEventCanNameIsFound) {
    const std::string tzid = "(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna - " + std::string(60, 'z');
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:" + tzid +
                  "\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:u\r\nDTSTART;TZID=\"" + tzid +
                  "\":20201231T101530\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    const RIcsDateTime* start = parsed->GetEventAt(0)->GetDtStart();
    ASSERT_NE(start, nullptr);
    RIcsTimeZone* zone = nullptr;
    EXPECT_EQ(parsed->FindTimeZone(start->tzid, &zone), R_OK);
}

TEST(IcsPropertyReader, OverLongRecurrenceIdIsRefusedNotCut) {
    EventOf fits("RECURRENCE-ID;TZID=Europe/Berlin:20201231T101530\r\n");
    ASSERT_EQ(fits.parsed.result, R_OK);
    EXPECT_STREQ(fits->GetRecurrenceId(), "TZID=Europe/Berlin:20201231T101530");
    EXPECT_EQ(EventOf("RECURRENCE-ID;TZID=" + std::string(120, 'z') + ":20201231T101530\r\n").parsed.result,
              R_E_BUFFER_TOO_SMALL);
}

TEST(IcsPropertyReader, NumbersAndXProperties) {
    Parsed parsed(
        "BEGIN:VCALENDAR\r\nVERSION:2.5\r\nX-WR-CALNAME:dropped\r\nX-CUSTOM;P=1:value\r\n"
        "BEGIN:VEVENT\r\nSEQUENCE:99999999999999\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nSEQUENCE:-3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    EXPECT_FLOAT_EQ(parsed->GetVersion(), 2.5f);
    ASSERT_EQ(parsed->GetXProperties().size(), 1u);
    EXPECT_EQ(parsed->GetXProperties()[0].name, "X-CUSTOM");
    EXPECT_EQ(parsed->GetXProperties()[0].value, "value");
    EXPECT_EQ(parsed->GetEventAt(0)->GetSequence(), INT32_MAX);
    EXPECT_EQ(parsed->GetEventAt(1)->GetSequence(), -3);
}


TEST(IcsPropertyReader, ADurationGivesTheEndThatADtendWouldHave) {
    struct Case {
        const char* lines;
        const char* end;  // stored text of the effective end, "" for none
    };
    const Case cases[] = {
        {"DTSTART:20240301T100000\r\nDURATION:PT1H30M\r\n", "2024-03-01 11:30"},
        {"DTSTART;TZID=Europe/Berlin:20240301T233000\r\nDURATION:PT45M\r\n", "2024-03-02 00:15"},
        {"DTSTART:20240228T120000Z\r\nDURATION:P1DT12H\r\n", "2024-03-01 00:00"},
        {"DTSTART;VALUE=DATE:20240301\r\nDURATION:P2D\r\n", "2024-03-03"},
        {"DTSTART;VALUE=DATE:20241231\r\nDURATION:P1W\r\n", "2025-01-07"},
        {"DTSTART:20240301T100000\r\nDURATION:+PT0S\r\n", "2024-03-01 10:00"},
        // A DTEND wins; negative, malformed and endless durations give no end.
        {"DTSTART:20240301T100000\r\nDTEND:20240301T101500\r\nDURATION:PT5H\r\n", "2024-03-01 10:15"},
        {"DTSTART:20240301T100000\r\nDURATION:-PT1H\r\n", ""},
        {"DTSTART:20240301T100000\r\nDURATION:P1H\r\n", ""},
        {"DTSTART:20240301T100000\r\nDURATION:PT\r\n", ""},
        {"DTSTART:20240301T100000\r\nDURATION:P999999999D\r\n", ""},
    };
    for (const Case& c : cases) {
        EventOf event(c.lines);
        ASSERT_EQ(event.parsed.result, R_OK) << c.lines;
        RIcsDateTime* end = event->GetEffectiveDtEnd();
        EXPECT_EQ(end != nullptr ? std::string(end->GetDbText()) : std::string(), c.end) << c.lines;
    }
    EventOf zoned("DTSTART;TZID=Europe/Berlin:20240301T100000\r\nDURATION:PT1H\r\n");
    EXPECT_STREQ(zoned->GetEffectiveDtEnd()->tzid, "Europe/Berlin");
}
