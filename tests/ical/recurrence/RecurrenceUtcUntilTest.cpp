// A UTC UNTIL ends a zoned series at an instant, wherever the series' zone lies.
#include "tests/ical/recurrence/RecurrenceTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace recurrence_test;

// The occurrences after a zoned start, all of them (at most 50).
Dates ZonedSteps(const char* rrule, const char* start, const char* tzid) {
    Rule rule = MakeRule(rrule);
    auto current = MakeRef<RIcsDateTime>();
    current->SetFromDbText(start, tzid);
    Dates out;
    for (int i = 0; i < 50; ++i) {
        Value next = Value::Adopt(rule->GetNextOccurrence(current.get(), nullptr));
        if (next == nullptr) {
            break;
        }
        out.emplace_back(next->GetDbText());
        current = std::move(next);
    }
    return out;
}

TEST(RecurrenceUtcUntil, EastOfUtcKeepsItsLastOccurrence) {
    // 09:00 in Berlin is 08:00 UTC: the fifth is the last occurrence, not lost.
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260105T080000Z", "2026-01-01 09:00", "Europe/Berlin"),
              (Dates{"2026-01-02 09:00", "2026-01-03 09:00", "2026-01-04 09:00", "2026-01-05 09:00"}));
}

TEST(RecurrenceUtcUntil, WestOfUtcGainsNoOccurrence) {
    // 09:00 in New York is 14:00 UTC, after the end at 10:00 UTC on the fifth.
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260105T100000Z", "2026-01-01 09:00", "America/New_York"),
              (Dates{"2026-01-02 09:00", "2026-01-03 09:00", "2026-01-04 09:00"}));
    // Summer time counts: 09:30 EDT on 31 March 2025 is 13:30 UTC, the end itself.
    const Dates mondays = ZonedSteps("FREQ=WEEKLY;UNTIL=20250331T133000Z;BYDAY=MO", "2025-03-17 09:30",
                                     "(UTC-05:00) Eastern Time (US & Canada)");
    EXPECT_EQ(mondays, (Dates{"2025-03-24 09:30", "2025-03-31 09:30"}));
}

TEST(RecurrenceUtcUntil, UnknownZonesFloatingTimesAndLocalEndsCompareWallClocks) {
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260103T090000Z", "2026-01-01 09:00", "Mars/Olympus_Mons"),
              (Dates{"2026-01-02 09:00", "2026-01-03 09:00"}));
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260103T090000Z", "2026-01-01 09:00", nullptr),
              (Dates{"2026-01-02 09:00", "2026-01-03 09:00"}));
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260103T090000", "2026-01-01 09:00", "Asia/Tokyo"),
              (Dates{"2026-01-02 09:00", "2026-01-03 09:00"}));
    EXPECT_EQ(ZonedSteps("FREQ=DAILY;UNTIL=20260103T000000Z", "2026-01-01 09:00", "Z"), (Dates{"2026-01-02 09:00"}));
    // A series whose zone changes between steps (never in practice) is looked up again.
    Rule rule = MakeRule("FREQ=DAILY;UNTIL=20260102T120000Z");
    auto tokyo = MakeRef<RIcsDateTime>();
    tokyo->SetFromDbText("2026-01-01 20:00", "Asia/Tokyo");
    Value next = Value::Adopt(rule->GetNextOccurrence(tokyo.get(), nullptr));
    ASSERT_NE(next, nullptr);  // 11:00 UTC on the second
    auto honolulu = MakeRef<RIcsDateTime>();
    honolulu->SetFromDbText("2026-01-01 20:00", "Pacific/Honolulu");
    EXPECT_EQ(Value::Adopt(rule->GetNextOccurrence(honolulu.get(), nullptr)), nullptr);  // 06:00 UTC on the third
}

}  // namespace
