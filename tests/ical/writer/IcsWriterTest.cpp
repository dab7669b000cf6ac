// The writer's lines, in the program's property order.
#include <gtest/gtest.h>

#include <string>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "ical/writer/RIcsTextWriter.h"
#include "tests/ical/support/IcsTestSupport.h"

using ics_test::Parsed;
using ics_test::Str;

namespace {

constexpr const char* kCalendarHead =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//BrenmoorTech LLC.//Orvane 1.0.0//EN\r\nCALSCALE:GREGORIAN\r\n";

std::string EventText(const std::string& lines) {
    Parsed parsed("BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n");
    EXPECT_EQ(parsed.result, R_OK);
    return parsed->GetEventCount() > 0 ? Str(parsed->GetEventAt(0)->GetText()) : "<no event>";
}

RIcsDateTime* NewDateTime(const char* tzid, const char* text) {
    auto* value = new RIcsDateTime();
    value->SetFromIcs(tzid, text);
    return value;
}

std::string BufferText(RHeapBuffer* buffer) {
    std::string text = buffer != nullptr ? std::string(buffer->data) : std::string();
    RHeapBuffer::Free(buffer);
    return text;
}

}  // namespace

TEST(IcsWriter, EventPropertiesInTheProgramsOrder) {
    const std::string text = EventText(
        "DESCRIPTION:desc\r\n"
        "ATTENDEE;PARTSTAT=ACCEPTED;CN=Jo:mailto:jo@example.org\r\n"
        "ORGANIZER;EMAIL=\"b@example.org\";CN=Boss:mailto:b@example.org\r\n"
        "TRANSP:OPAQUE\r\nSTATUS:CONFIRMED\r\nSEQUENCE:3\r\n"
        "LAST-MODIFIED:20201201T080000Z\r\nCREATED:20201130T080000Z\r\nDTSTAMP:20201202T080000Z\r\n"
        "LOCATION:Room 1\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\nEXDATE:20201231T101530\r\n"
        "DTEND;TZID=Europe/Berlin:20201231T111530\r\nDTSTART;TZID=Europe/Berlin:20201231T101530\r\n"
        "SUMMARY:Meeting\r\nUID:uid-1\r\nURL:http://example.org/agenda\r\nX-KEPT:not written\r\n");
    EXPECT_EQ(text,
              "BEGIN:VEVENT\r\n"
              "UID:uid-1\r\n"
              "SUMMARY:Meeting\r\n"
              "DTSTART;TZID=Europe/Berlin:20201231T101530\r\n"
              "DTEND;TZID=Europe/Berlin:20201231T111530\r\n"
              "RRULE:FREQ=WEEKLY;COUNT=4\r\n"
              "EXDATE:20201231T101530\r\n"
              "LOCATION:Room 1\r\n"
              "URL:http://example.org/agenda\r\n"
              "DTSTAMP:20201202T080000Z\r\n"
              "CREATED:20201130T080000Z\r\n"
              "LAST-MODIFIED:20201201T080000Z\r\n"
              "SEQUENCE:3\r\n"
              "STATUS:CONFIRMED\r\n"
              "TRANSP:OPAQUE\r\n"
              "DESCRIPTION:desc\r\n"
              "ORGANIZER;CN=Boss;EMAIL=\"b@example.org\":mailto:b@example.org\r\n"
              "ATTENDEE;CN=Jo;PARTSTAT=ACCEPTED:mailto:jo@example.org\r\n"
              "END:VEVENT\r\n");
}

TEST(IcsWriter, AllDayEventGetsItsEndOnTheNextDay) {
    EXPECT_EQ(EventText("DTSTART;VALUE=DATE:20201231\r\nSEQUENCE:0\r\n"),
              "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20201231\r\nDTEND;VALUE=DATE:20210101\r\nEND:VEVENT\r\n");
    // A timed event without DTEND gets none.
    EXPECT_EQ(EventText("DTSTART:20201231T100000\r\n"), "BEGIN:VEVENT\r\nDTSTART:20201231T100000\r\nEND:VEVENT\r\n");
}

TEST(IcsWriter, RecurrenceIdWithOrWithoutARule) {
    EXPECT_EQ(EventText("DTSTART:20201231T100000Z\r\nRECURRENCE-ID;TZID=Europe/Berlin:20201231T101530\r\n"
                        "EXDATE:20201231T100000Z\r\n"),
              "BEGIN:VEVENT\r\nDTSTART:20201231T100000Z\r\n"
              "RECURRENCE-ID;TZID=Europe/Berlin:20201231T101530\r\nEND:VEVENT\r\n");
    // An exception that repeats on its own keeps its RECURRENCE-ID: without it, it would be a second series.
    EXPECT_EQ(EventText("DTSTART:20201231T100000Z\r\nRECURRENCE-ID:20201231T101530Z\r\nRRULE:FREQ=DAILY\r\n"),
              "BEGIN:VEVENT\r\nDTSTART:20201231T100000Z\r\nRRULE:FREQ=DAILY\r\n"
              "RECURRENCE-ID:20201231T101530Z\r\nEND:VEVENT\r\n");
    EXPECT_EQ(EventText("DTSTART:20201231T100000Z\r\nRECURRENCE-ID:20201231T101530Z\r\n"),
              "BEGIN:VEVENT\r\nDTSTART:20201231T100000Z\r\nRECURRENCE-ID:20201231T101530Z\r\nEND:VEVENT\r\n");
}

TEST(IcsWriter, ARuleKeepsItsCalendarScale) {
    EXPECT_EQ(EventText("DTSTART;VALUE=DATE:20240525\r\nRRULE:RSCALE=HEBREW;FREQ=YEARLY;BYMONTH=9;BYMONTHDAY=8\r\n"),
              "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20240525\r\nDTEND;VALUE=DATE:20240526\r\n"
              "RRULE:FREQ=YEARLY;RSCALE=HEBREW;BYMONTHDAY=8;BYMONTH=9\r\nEND:VEVENT\r\n");
}

TEST(IcsWriter, AZoneWritesEveryRuleBlockItWasReadWith) {
    std::string blocks;
    for (const char* year : {"1999", "2010", "2059"}) {
        blocks += std::string("BEGIN:STANDARD\r\nTZNAME:EET\r\nTZOFFSETFROM:+0300\r\nTZOFFSETTO:+0200\r\nDTSTART:") +
                  year + "1030T010000\r\nEND:STANDARD\r\n";
        blocks += std::string("BEGIN:DAYLIGHT\r\nTZNAME:EEST\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0300\r\nDTSTART:") +
                  year + "0327T000000\r\nEND:DAYLIGHT\r\n";
    }
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Asia/Gaza\r\n" + blocks + "END:VTIMEZONE\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    ASSERT_EQ(parsed->GetTimeZoneCount(), 1);
    EXPECT_EQ(Str(parsed->GetTimeZoneAt(0)->GetText()),
              "BEGIN:VTIMEZONE\r\nTZID:Asia/Gaza\r\n" + blocks + "END:VTIMEZONE\r\n");
}

TEST(IcsWriter, LongLinesAreFoldedAt75OctetsBetweenCharacters) {
    std::string summary;
    for (int i = 0; i < 40; ++i) summary += "\xC3\xBC\xE2\x82\xAC";  // ü and the euro sign: 2 and 3 octets
    const std::string description = "D" + std::string(300, 'x');
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:u\r\nDTSTART:20200101T100000Z\r\nSUMMARY:" + summary +
                  "\r\nDESCRIPTION:" + description + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    const std::string text = Str(parsed->GetText());
    std::size_t lines = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - at, 75u) << text.substr(at, end - at);
        const std::size_t first = at < end && text[at] == ' ' ? at + 1 : at;
        // No piece starts inside a UTF-8 sequence (nor, so, ends inside one).
        EXPECT_NE(static_cast<unsigned char>(text[first]) & 0xC0, 0x80) << text.substr(at, end - at);
        at = end + 2;
        ++lines;
    }
    EXPECT_GT(lines, 12u);
    Parsed back(text);
    ASSERT_EQ(back.result, R_OK);
    EXPECT_EQ(Str(back->GetEventAt(0)->GetSummary()), summary);
    EXPECT_EQ(Str(back->GetEventAt(0)->GetDescription()), description);
}

TEST(IcsWriter, EventWithoutStartWritesNothing) {
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\nEND:VEVENT\r\nBEGIN:VTODO\r\nUID:t\r\n"
                  "DTSTART:20200101\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    EXPECT_EQ(parsed->GetEventAt(0)->GetText(), nullptr);
    EXPECT_EQ(parsed->GetToDoAt(0)->GetText(), nullptr);
    EXPECT_EQ(Str(parsed->GetText()), std::string(kCalendarHead) + "END:VCALENDAR\r\n");
}

TEST(IcsWriter, ZoneWithOffsetsFromTextAndFromTheStore) {
    auto daylight = MakeRef<RIcsTimeZoneComponent>();
    auto standard = MakeRef<RIcsTimeZoneComponent>();
    daylight->Set("DAYLIGHT", "NDT", -3.5, -2.5, "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "2007-03-11 02:00");
    standard->Set("STANDARD", "NST", 1.0, -5.0, "", "");
    auto zone = MakeRef<RIcsTimeZone>();
    ASSERT_EQ(zone->Set("\"America/St_Johns\"", daylight.get(), standard.get()), R_OK);
    EXPECT_EQ(Str(zone->GetText()),
              "BEGIN:VTIMEZONE\r\nTZID:America/St_Johns\r\n"
              "BEGIN:DAYLIGHT\r\nTZNAME:NDT\r\nTZOFFSETFROM:-0330\r\nTZOFFSETTO:-0230\r\n"
              "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nDTSTART:20070311T020000\r\nEND:DAYLIGHT\r\n"
              "BEGIN:STANDARD\r\nTZNAME:NST\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
              "END:VTIMEZONE\r\n");
    const RIcsUtcOffset minusFourAndHalf = RIcsTimeZoneComponent::OffsetFromHours(-4.5);
    EXPECT_EQ(minusFourAndHalf.hours, -4);
    EXPECT_EQ(minusFourAndHalf.minutes, -30);
    EXPECT_EQ(RIcsTimeZoneComponent::OffsetFromHours(1e300).hours, 0);  // not an offset: no overflow
    // A rule without TZNAME (which is optional) still writes its offsets and rule.
    auto unnamed = MakeRef<RIcsTimeZoneComponent>();
    unnamed->Set("STANDARD", "", 1.0, 1.0, "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", nullptr);
    auto bare = MakeRef<RIcsTimeZone>();
    bare->Set("Custom", nullptr, unnamed.get());
    EXPECT_EQ(Str(bare->GetText()),
              "BEGIN:VTIMEZONE\r\nTZID:Custom\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\n"
              "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n");
}

TEST(IcsWriter, AttendeeAndOrganizerTexts) {
    auto full = MakeRef<RIcsAttendee>();
    ASSERT_EQ(full->Parse("DELEGATED-FROM=\"d\";SCHEDULE-STATUS=2.0;RSVP=TRUE;ROLE=CHAIR;PARTSTAT=TENTATIVE;"
                          "CUTYPE=GROUP;EMAIL=\"e@x\";CN=C:mailto:c@x"),
              R_OK);
    EXPECT_STREQ(full->GetText(),
                 ";CN=C;EMAIL=\"e@x\";CUTYPE=GROUP;PARTSTAT=TENTATIVE;ROLE=CHAIR;RSVP=TRUE;SCHEDULE-STATUS=2.0;"
                 "DELEGATED-FROM=\"d\":mailto:c@x");
    auto organizer = MakeRef<RIcsOrganizer>();
    ASSERT_EQ(organizer->Parse("ROLE=CHAIR;CN=Boss:mailto:b@x"), R_OK);
    EXPECT_STREQ(organizer->GetText(), ";CN=Boss:mailto:b@x");
    // A name with a comma stays one parameter value, and reads back the same.
    auto comma = MakeRef<RIcsAttendee>();
    ASSERT_EQ(comma->Parse("CN=\"Doe, Jo\":mailto:jo@x"), R_OK);
    EXPECT_STREQ(comma->GetText(), ";CN=\"Doe, Jo\":mailto:jo@x");
    auto again = MakeRef<RIcsAttendee>();
    ASSERT_EQ(again->Parse(comma->GetText() + 1), R_OK);
    EXPECT_STREQ(again->GetCn(), "Doe, Jo");
    auto commaOrganizer = MakeRef<RIcsOrganizer>();
    ASSERT_EQ(commaOrganizer->Parse("CN=\"Boss, The\":mailto:b@x"), R_OK);
    EXPECT_STREQ(commaOrganizer->GetText(), ";CN=\"Boss, The\":mailto:b@x");
}

TEST(IcsWriter, RuleListHelpers) {
    RHeapBuffer* buffer = nullptr;
    AppendByDay(&buffer, 0x02 | 0x08 | 0x40, 0);
    AppendByDay(&buffer, 0x01, 2);
    const std::int32_t full[2] = {7, 8};  // no terminator: the capacity bounds the walk
    AppendIntList(full, 2, &buffer);
    EXPECT_EQ(BufferText(buffer), "MO,WE,SA2SU7,8");
    EXPECT_EQ(AppendToHeapString("x", nullptr), R_E_INVALID_ARGUMENT);
}

TEST(IcsWriter, AssembledCalendarRebuildsAfterAnAdd) {
    auto calendar = MakeRef<RIcsCalendar>();
    EXPECT_EQ(Str(calendar->GetText()), std::string(kCalendarHead) + "END:VCALENDAR\r\n");
    auto event = MakeRef<RIcsEvent>();
    auto start = RRef<RIcsDateTime>::Adopt(NewDateTime("", "20201231"));
    event->SetUid("u");
    event->SetDtStart(start.get());
    ASSERT_EQ(calendar->AddEvent(event.get()), R_OK);
    EXPECT_EQ(event->RefCount(), 2);
    EXPECT_EQ(Str(calendar->GetText()), std::string(kCalendarHead) +
                                            "BEGIN:VEVENT\r\nUID:u\r\nDTSTART;VALUE=DATE:20201231\r\n"
                                            "DTEND;VALUE=DATE:20210101\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    // The text setters do not drop an event's built text.
    event->SetSummary("later");
    EXPECT_EQ(std::string(event->GetText()).find("later"), std::string::npos);
}

TEST(IcsWriter, OffsetsUnderOneHourKeepTheirSign) {
    Parsed parsed("BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Europe/Dublin\r\nBEGIN:STANDARD\r\nTZNAME:DMT\r\n"
                  "TZOFFSETFROM:-0025\r\nTZOFFSETTO:-0030\r\nDTSTART:19161001T020000\r\nEND:STANDARD\r\n"
                  "END:VTIMEZONE\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(parsed.result, R_OK);
    RIcsTimeZone* zone = nullptr;
    ASSERT_EQ(parsed->FindTimeZone("Europe/Dublin", &zone), R_OK);
    const std::string text = Str(zone->GetText());
    EXPECT_NE(text.find("TZOFFSETFROM:-0025\r\nTZOFFSETTO:-0030\r\n"), std::string::npos) << text;
}
