// Setters, stored lines, children and zones of the component model.
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

TEST(IcsComponentModel, TextSettersKeepEqualValuesAndDropShortLanguageTags) {
    auto event = MakeRef<RIcsEvent>();
    event->SetSummary("LANGUAGE=en:Hello");
    EXPECT_STREQ(event->GetSummary(), "Hello");
    event->SetSummary("LANGUAGE=en-GB:Hello");
    EXPECT_STREQ(event->GetSummary(), "LANGUAGE=en-GB:Hello");
    event->SetSummary("LANGUAGE=");  // shorter than a tag: kept, and nothing is read past its end
    EXPECT_STREQ(event->GetSummary(), "LANGUAGE=");
    event->SetUid("u");
    event->SetUid(nullptr);
    EXPECT_EQ(event->GetUid(), nullptr);
    event->SetTransp(std::string(40, 't').c_str());
    EXPECT_EQ(std::string(event->GetTransp()), std::string(31, 't'));
    EXPECT_EQ(event->SetRecurrenceId(std::string(128, '1').c_str()), R_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(event->SetRecurrenceId("20201231T101530Z"), R_OK);
    EXPECT_STREQ(event->GetRecurrenceId(), "20201231T101530Z");
}

TEST(IcsComponentModel, ExDatesReachTheRuleAndComeBackFromStoredLines) {
    auto event = MakeRef<RIcsEvent>();
    event->AddExDate("20200102T090000Z");
    auto rule = MakeRef<RIcsRecurrence>();
    ASSERT_EQ(rule->Parse("FREQ=DAILY"), R_OK);
    event->SetRecurrence(rule.get());
    event->AddExDate("TZID=Europe/Berlin:20200103T090000");
    event->AddExDate("VALUE=DATE:20200104");
    const std::string longList = "20200105T090000Z" + std::string(200, ',');  // longer than 127 characters
    event->AddExDate(longList.c_str());
    EXPECT_EQ(rule->exDates.count, 3);  // the one added before the rule was set stays the event's own
    const std::string lines = Str(event->GetExDateLines());
    EXPECT_EQ(lines, "EXDATE:20200102T090000Z\r\nEXDATE;TZID=Europe/Berlin:20200103T090000\r\n"
                     "EXDATE;VALUE=DATE:20200104\r\nEXDATE:" + longList + "\r\n");

    auto copy = MakeRef<RIcsEvent>();
    ASSERT_EQ(copy->SetExDatesFromLines(lines.c_str()), R_OK);
    ASSERT_EQ(copy->GetExDates().Count(), 4u);
    EXPECT_EQ(copy->GetExDates().At(3), longList);
    EXPECT_EQ(Str(copy->GetExDateLines()), lines);
    EXPECT_EQ(copy->SetExDatesFromLines(nullptr), R_OK);
    EXPECT_EQ(copy->SetExDatesFromLines(";;:=\r\n"), R_OK);
}

TEST(IcsComponentModel, AttendeesComeBackFromStoredLines) {
    Parsed parsed(
        "BEGIN:VEVENT\nATTENDEE;CN=Jo;PARTSTAT=ACCEPTED:mailto:jo@x\nATTENDEE;CN=NoAddress\n"
        "ATTENDEE;EMAIL=\"al@x\":mailto:al@x\nEND:VEVENT\n");
    ASSERT_EQ(parsed.result, R_OK);
    RIcsEvent* event = parsed->GetEventAt(0);
    ASSERT_EQ(event->GetAttendeeCount(), 3);
    const std::string lines = Str(event->GetAttendeeLines());
    // The attendee without an address writes nothing, so it has no line.
    EXPECT_EQ(lines, "ATTENDEE;CN=Jo;PARTSTAT=ACCEPTED:mailto:jo@x\r\nATTENDEE;EMAIL=\"al@x\":mailto:al@x\r\n");

    auto copy = MakeRef<RIcsEvent>();
    copy->SetAttendeesFromLines(lines.c_str());
    ASSERT_EQ(copy->GetAttendeeCount(), 2);
    EXPECT_STREQ(copy->GetAttendeeAt(1)->GetEmail(), "al@x");
    EXPECT_EQ(Str(copy->GetAttendeeLines()), lines);

    // A line that does not parse ends the reading.
    auto partial = MakeRef<RIcsEvent>();
    partial->SetAttendeesFromLines("ATTENDEE:mailto:a@x\r\nATTENDEE;CN=Broken;\r\nATTENDEE:mailto:c@x\r\n");
    ASSERT_EQ(partial->GetAttendeeCount(), 1);
    EXPECT_STREQ(partial->GetAttendeeAt(0)->GetAddress(), "mailto:a@x");
}

TEST(IcsComponentModel, AddingEventsCollectsZonesAndEndsAllDayEvents) {
    auto calendar = MakeRef<RIcsCalendar>();
    auto allDay = MakeRef<RIcsEvent>();
    auto day = MakeRef<RIcsDateTime>();
    day->SetFromIcs(nullptr, "20201231");
    allDay->SetDtStart(day.get());
    auto zoned = MakeRef<RIcsEvent>();
    auto start = MakeRef<RIcsDateTime>();
    start->SetFromIcs("Europe/Berlin", "20201231T101530");
    auto end = MakeRef<RIcsDateTime>();
    end->SetFromIcs("Z", "20201231T111530Z");
    zoned->SetDtStart(start.get());
    zoned->SetDtEnd(end.get());
    EXPECT_EQ(start->RefCount(), 2);

    ASSERT_EQ(calendar->AddEvent(allDay.get()), R_OK);
    ASSERT_EQ(calendar->AddEvent(zoned.get()), R_OK);
    ASSERT_NE(allDay->GetDtEnd(), nullptr);
    EXPECT_STREQ(allDay->GetDtEnd()->GetDbText(), "2021-01-01");
    EXPECT_TRUE(allDay->GetDtEnd()->dateOnly);
    ASSERT_EQ(calendar->GetTimeZoneIds().Count(), 2u);
    EXPECT_EQ(calendar->GetTimeZoneIds().At(0), "Europe/Berlin");
    EXPECT_EQ(calendar->GetTimeZoneIds().At(1), "Z");
    EXPECT_EQ(calendar->AddEvent(nullptr), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(calendar->GetEventAt(5), nullptr);
}

TEST(IcsComponentModel, ZonesAndTheirRules) {
    auto calendar = MakeRef<RIcsCalendar>();
    auto daylight = MakeRef<RIcsTimeZoneComponent>();
    auto standard = MakeRef<RIcsTimeZoneComponent>();
    auto other = MakeRef<RIcsTimeZoneComponent>();
    daylight->Set("DAYLIGHT", "CEST", 1.0, 2.0, nullptr, "1970-03-29 02:00:00");
    standard->Set("STANDARD", "CET", 2.0, 1.0, "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "1970-10-25");
    other->Set("OTHER", "X", 0, 0, nullptr, nullptr);
    auto zone = MakeRef<RIcsTimeZone>();
    ASSERT_EQ(zone->Set("Europe/Berlin", daylight.get(), standard.get()), R_OK);
    EXPECT_EQ(zone->SetRule(other.get()), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(zone->SetRule(nullptr), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(daylight->RefCount(), 2);
    EXPECT_TRUE(standard->GetDtStart()->dateOnly);
    EXPECT_FALSE(daylight->GetDtStart()->dateOnly);
    EXPECT_EQ(daylight->GetRecurrence(), nullptr);
    ASSERT_NE(standard->GetRecurrence(), nullptr);

    // Replacing a rule releases the old one.
    auto newer = MakeRef<RIcsTimeZoneComponent>();
    newer->Set("DAYLIGHT", "CEST2", 1.0, 2.0, nullptr, nullptr);
    ASSERT_EQ(zone->SetRule(newer.get()), R_OK);
    EXPECT_EQ(daylight->RefCount(), 1);
    EXPECT_EQ(zone->GetDaylight(), newer.get());

    ASSERT_EQ(calendar->AddTimeZone(zone.get()), R_OK);
    RIcsTimeZone* found = nullptr;
    EXPECT_EQ(calendar->FindTimeZone("Europe/Berlin", &found), R_OK);
    EXPECT_EQ(found, zone.get());
    found = nullptr;
    EXPECT_EQ(calendar->FindTimeZone("europe/berlin", &found), STG_E_PATHNOTFOUND);
    EXPECT_EQ(found, nullptr);
}
