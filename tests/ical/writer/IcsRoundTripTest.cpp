// Parse, write, parse again: every field that the writer writes comes back unchanged.
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
#include "tests/ical/support/IcsSampleCalendar.h"
#include "tests/ical/support/IcsTestSupport.h"

using ics_test::Parsed;
using ics_test::Str;

namespace {

std::string DateTimeKey(RIcsDateTime* value) {
    if (value == nullptr) {
        return "<none>";
    }
    return std::string(value->GetDbText()) + "|" + value->tzid + "|" + (value->dateOnly ? "date" : "time");
}

std::string RuleKey(RIcsRecurrence* rule) { return rule != nullptr ? Str(rule->GetText()) : "<none>"; }

void ExpectSameEvent(RIcsEvent* a, RIcsEvent* b) {
    SCOPED_TRACE(Str(a->GetUid()));
    EXPECT_EQ(Str(a->GetUid()), Str(b->GetUid()));
    EXPECT_EQ(Str(a->GetSummary()), Str(b->GetSummary()));
    EXPECT_EQ(Str(a->GetLocation()), Str(b->GetLocation()));
    EXPECT_EQ(Str(a->GetDescription()), Str(b->GetDescription()));
    EXPECT_EQ(Str(a->GetUrl()), Str(b->GetUrl()));
    EXPECT_EQ(DateTimeKey(a->GetDtStart()), DateTimeKey(b->GetDtStart()));
    EXPECT_EQ(DateTimeKey(a->GetEffectiveDtEnd()), DateTimeKey(b->GetEffectiveDtEnd()));
    EXPECT_EQ(DateTimeKey(a->GetDtStamp()), DateTimeKey(b->GetDtStamp()));
    EXPECT_EQ(DateTimeKey(a->GetCreated()), DateTimeKey(b->GetCreated()));
    EXPECT_EQ(DateTimeKey(a->GetLastModified()), DateTimeKey(b->GetLastModified()));
    EXPECT_EQ(RuleKey(a->GetRecurrence()), RuleKey(b->GetRecurrence()));
    if (a->GetRecurrence() != nullptr) {
        EXPECT_EQ(Str(a->GetExDateLines()), Str(b->GetExDateLines()));
    } else {
        EXPECT_STREQ(a->GetRecurrenceId(), b->GetRecurrenceId());
    }
    EXPECT_EQ(a->GetSequence(), b->GetSequence());
    EXPECT_STREQ(a->GetStatus(), b->GetStatus());
    EXPECT_STREQ(a->GetTransp(), b->GetTransp());
    EXPECT_EQ(a->GetOrganizer() != nullptr ? Str(a->GetOrganizer()->GetText()) : "<none>",
              b->GetOrganizer() != nullptr ? Str(b->GetOrganizer()->GetText()) : "<none>");
    EXPECT_EQ(Str(a->GetAttendeeLines()), Str(b->GetAttendeeLines()));
}

void ExpectSameRule(RIcsTimeZoneComponent* a, RIcsTimeZoneComponent* b) {
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (a == nullptr) {
        return;
    }
    EXPECT_STREQ(a->GetTzName(), b->GetTzName());
    EXPECT_EQ(a->GetOffsetFrom().hours, b->GetOffsetFrom().hours);
    EXPECT_EQ(a->GetOffsetFrom().minutes, b->GetOffsetFrom().minutes);
    EXPECT_EQ(a->GetOffsetTo().hours, b->GetOffsetTo().hours);
    EXPECT_EQ(a->GetOffsetTo().minutes, b->GetOffsetTo().minutes);
    EXPECT_EQ(RuleKey(a->GetRecurrence()), RuleKey(b->GetRecurrence()));
    EXPECT_EQ(DateTimeKey(a->GetDtStart()), DateTimeKey(b->GetDtStart()));
}

// Each zone of the first calendar against the zone at the same place in the second; the caller
// has checked that both hold as many.
void ExpectSameZones(RIcsCalendar* a, RIcsCalendar* b) {
    for (int i = 0; i < a->GetTimeZoneCount(); ++i) {
        EXPECT_STREQ(a->GetTimeZoneAt(i)->GetTzid(), b->GetTimeZoneAt(i)->GetTzid());
        ExpectSameRule(a->GetTimeZoneAt(i)->GetDaylight(), b->GetTimeZoneAt(i)->GetDaylight());
        ExpectSameRule(a->GetTimeZoneAt(i)->GetStandard(), b->GetTimeZoneAt(i)->GetStandard());
    }
}

}  // namespace

TEST(IcsRoundTrip, WrittenCalendarParsesBackToTheSameModel) {
    Parsed first(ics_test::SampleCalendar(200));
    ASSERT_EQ(first.result, R_OK);
    const std::string written = Str(first->GetText());
    Parsed second(written);
    ASSERT_EQ(second.result, R_OK);

    ASSERT_EQ(second->GetTimeZoneCount(), first->GetTimeZoneCount());
    ExpectSameZones(first.calendar.get(), second.calendar.get());
    ASSERT_EQ(second->GetEventCount(), 200);
    for (int i = 0; i < first->GetEventCount(); ++i) {
        ExpectSameEvent(first->GetEventAt(i), second->GetEventAt(i));
    }
    ASSERT_EQ(second->GetTimeZoneIds().Count(), first->GetTimeZoneIds().Count());
    // A second write gives the same text again.
    EXPECT_EQ(Str(second->GetText()), written);
}

TEST(IcsRoundTrip, AwkwardValuesSurvive) {
    Parsed first(
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:u\nSUMMARY;LANGUAGE=de-DE:Text mit \xC3\xA4\\, Komma\n"
        "DESCRIPTION;ALTREP=\"cid:x\":y\nLOCATION:VALUE=odd\nDTSTART:20200229T235959\n"
        "DTEND;TZID=\"Quoted/Zone\":20200301T000000\nRECURRENCE-ID;VALUE=DATE:20200229\n"
        "ATTENDEE;CN=\"Jo Smith\":mailto:b@x\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_EQ(first.result, R_OK);
    Parsed second(Str(first->GetText()));
    ASSERT_EQ(second.result, R_OK);
    ASSERT_EQ(second->GetEventCount(), 1);
    ExpectSameEvent(first->GetEventAt(0), second->GetEventAt(0));
    EXPECT_STREQ(second->GetEventAt(0)->GetSummary(), "Text mit \xC3\xA4\\, Komma");
    EXPECT_STREQ(second->GetEventAt(0)->GetAttendeeAt(0)->GetCn(), "Jo Smith");
}

TEST(IcsRoundTrip, EveryTestFileAndFuzzSeedReadsBackAsWritten) {
    const std::filesystem::path tests = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    int files = 0;
    for (const auto& folder : {tests / "ical" / "data", tests / "fuzz" / "corpus" / "ics"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            std::ifstream file(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            Parsed first(text.str());
            if (first.result != R_OK) {
                continue;  // a seed that is meant to fail
            }
            ++files;
            const std::string written = Str(first->GetText());
            Parsed second(written);
            ASSERT_EQ(second.result, R_OK);
            ASSERT_EQ(second->GetTimeZoneCount(), first->GetTimeZoneCount());
            ExpectSameZones(first.calendar.get(), second.calendar.get());
            // Events without DTSTART write nothing, so only those with one come back.
            int withStart = 0;
            for (int i = 0; i < first->GetEventCount(); ++i) {
                RIcsEvent* event = first->GetEventAt(i);
                if (event->GetDtStart() != nullptr) {
                    ASSERT_LT(withStart, second->GetEventCount());
                    ExpectSameEvent(event, second->GetEventAt(withStart++));
                }
            }
            EXPECT_EQ(second->GetEventCount(), withStart);
            EXPECT_EQ(Str(second->GetText()), written);
        }
    }
    EXPECT_GE(files, 8);
}
