// The rule semantics of the conversions: the hour skipped in spring and the hour repeated in
// autumn, southern rules across the new year, absolute dates, and refusal of bad input.
#include <gtest/gtest.h>

#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

SYSTEMTIME At(int y, int mo, int d, int h, int mi, int s = 0) {
    return SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d), static_cast<WORD>(h),
                      static_cast<WORD>(mi), static_cast<WORD>(s), 0};
}

// Pacific time as the zone list gives it: second Sunday of March to first Sunday of November.
TIME_ZONE_INFORMATION Pacific() {
    TIME_ZONE_INFORMATION z{};
    z.Bias = 480;
    z.DaylightBias = -60;
    z.DaylightDate = SYSTEMTIME{0, 3, 0, 2, 2, 0, 0, 0};
    z.StandardDate = SYSTEMTIME{0, 11, 0, 1, 2, 0, 0, 0};
    return z;
}

// Sydney: daylight time from the first Sunday of October to the first Sunday of April.
TIME_ZONE_INFORMATION Sydney() {
    TIME_ZONE_INFORMATION z{};
    z.Bias = -600;
    z.DaylightBias = -60;
    z.DaylightDate = SYSTEMTIME{0, 10, 0, 1, 2, 0, 0, 0};
    z.StandardDate = SYSTEMTIME{0, 4, 0, 1, 3, 0, 0, 0};
    return z;
}

void ExpectTime(const SYSTEMTIME& t, int y, int mo, int d, int h, int mi) {
    EXPECT_EQ(t.wYear, y);
    EXPECT_EQ(t.wMonth, mo);
    EXPECT_EQ(t.wDay, d);
    EXPECT_EQ(t.wHour, h);
    EXPECT_EQ(t.wMinute, mi);
}

TEST(ZoneRuleSemantics, SkippedAndRepeatedHoursReadAsDaylightTime) {
    const TIME_ZONE_INFORMATION z = Pacific();
    SYSTEMTIME utc{};
    // 8 March 2026, 02:30 does not exist; it is taken as daylight time (= 01:30 standard).
    SYSTEMTIME local = At(2026, 3, 8, 2, 30);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    ExpectTime(utc, 2026, 3, 8, 9, 30);
    local = At(2026, 3, 8, 1, 59);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    ExpectTime(utc, 2026, 3, 8, 9, 59);
    // 1 November 2026, 01:30 happens twice; the first (daylight) one is chosen.
    local = At(2026, 11, 1, 1, 30);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    ExpectTime(utc, 2026, 11, 1, 8, 30);
    local = At(2026, 11, 1, 2, 0);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    ExpectTime(utc, 2026, 11, 1, 10, 0);

    // Both 08:30 and 09:30 UTC on 1 November show as 01:30 local.
    SYSTEMTIME shown{};
    SYSTEMTIME instant = At(2026, 11, 1, 8, 30);
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&z, &instant, &shown));
    ExpectTime(shown, 2026, 11, 1, 1, 30);
    instant = At(2026, 11, 1, 9, 30);
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&z, &instant, &shown));
    ExpectTime(shown, 2026, 11, 1, 1, 30);
    EXPECT_EQ(shown.wDayOfWeek, 0);
}

TEST(ZoneRuleSemantics, SouthernRuleSpansTheNewYear) {
    const TIME_ZONE_INFORMATION z = Sydney();
    SYSTEMTIME shown{};
    SYSTEMTIME instant = At(2026, 12, 31, 14, 0);  // daylight: UTC+11
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&z, &instant, &shown));
    ExpectTime(shown, 2027, 1, 1, 1, 0);
    instant = At(2026, 6, 30, 14, 0);  // standard: UTC+10
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&z, &instant, &shown));
    ExpectTime(shown, 2026, 7, 1, 0, 0);
    SYSTEMTIME utc{};
    SYSTEMTIME local = At(2027, 1, 1, 1, 0);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    ExpectTime(utc, 2026, 12, 31, 14, 0);
}

TEST(ZoneRuleSemantics, AbsoluteDatesApplyOnlyInTheirYear) {
    TIME_ZONE_INFORMATION z = Pacific();
    z.DaylightDate = SYSTEMTIME{2026, 4, 0, 1, 0, 0, 0, 0};
    z.StandardDate = SYSTEMTIME{2026, 10, 0, 1, 0, 0, 0, 0};
    SYSTEMTIME utc{};
    SYSTEMTIME local = At(2026, 6, 1, 12, 0);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    EXPECT_EQ(utc.wHour, 19);
    local = At(2027, 6, 1, 12, 0);
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(&z, &local, &utc));
    EXPECT_EQ(utc.wHour, 20);
}

TEST(ZoneRuleSemantics, BadTimesAndRulesAreRefusedWithoutTouchingTheOutput) {
    const TIME_ZONE_INFORMATION good = Pacific();
    const SYSTEMTIME untouched = At(1999, 1, 1, 1, 1);
    SYSTEMTIME out = untouched;
    for (const SYSTEMTIME& bad : {At(2026, 13, 1, 0, 0), At(2026, 2, 29, 0, 0), At(2026, 1, 1, 24, 0), At(1500, 1, 1, 0, 0)}) {
        EXPECT_FALSE(TzSpecificLocalTimeToSystemTime(&good, &bad, &out));
        EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&good, &bad, &out));
    }
    TIME_ZONE_INFORMATION broken = good;
    broken.DaylightDate.wDay = 6;  // there is no sixth week
    const SYSTEMTIME local = At(2026, 6, 1, 0, 0);
    EXPECT_FALSE(TzSpecificLocalTimeToSystemTime(&broken, &local, &out));
    broken = good;
    broken.Bias = 100000;
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&broken, &local, &out));
    EXPECT_FALSE(TzSpecificLocalTimeToSystemTime(&good, nullptr, &out));
    // A result before the record's first year is refused too.
    const SYSTEMTIME earliest = At(1601, 1, 1, 0, 0);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&good, &earliest, &out));
    EXPECT_EQ(out.wYear, untouched.wYear);
    EXPECT_EQ(out.wHour, untouched.wHour);
}

TEST(ZoneRuleSemantics, NullZoneMeansTheSystemZone) {
    // The test main runs in UTC.
    SYSTEMTIME local = At(2026, 7, 1, 12, 0), utc{};
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    ExpectTime(utc, 2026, 7, 1, 12, 0);
    TIME_ZONE_INFORMATION system{};
    EXPECT_EQ(GetTimeZoneInformation(&system), TIME_ZONE_ID_UNKNOWN);
    EXPECT_EQ(std::u16string(system.StandardName), u"UTC");
}

}  // namespace
