// The yearly rule built from each zone file, run through the conversions, must give the same
// local times as the C library's own reading of the tz database, all year round.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneYearRule.h"
#include "tests/support/CLibraryTime.h"

namespace {

using orvane::test::FromTm;
using orvane::test::ScopedTz;
using orvane::test::UtcSeconds;

std::string Text(const SYSTEMTIME& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return buffer;
}

struct YearCheck {
    int changes = 0;       // instants at which the C library's offset changed
    std::int64_t shortestStretch = 0;  // seconds of the shortest time between changes or the year's ends
    int mismatches = 0;
    std::string firstMismatch;
};

// Every quarter hour of the year, UTC to local and (away from the changes) back.
YearCheck CheckYear(const std::string& zone, int year) {
    YearCheck check;
    TIME_ZONE_INFORMATION rule{};
    if (!platform::ReadZoneRuleForYear(zone, year, rule)) {
        check.mismatches = 1;
        check.firstMismatch = "zone file not readable";
        return check;
    }
    ScopedTz tz(zone);
    const std::int64_t from = UtcSeconds(year, 1, 2);
    const std::int64_t to = UtcSeconds(year, 12, 31);
    long previousOffset = 0;
    std::int64_t lastChange = from - 86400;
    std::int64_t stretchStart = from;
    check.shortestStretch = to - from;
    for (std::int64_t t = from; t < to; t += 900) {
        const std::time_t instant = static_cast<std::time_t>(t);
        std::tm local{}, utc{};
        localtime_r(&instant, &local);
        gmtime_r(&instant, &utc);
        if (t != from && local.tm_gmtoff != previousOffset) {
            ++check.changes;
            lastChange = t;
            check.shortestStretch = std::min(check.shortestStretch, t - stretchStart);
            stretchStart = t;
        }
        previousOffset = local.tm_gmtoff;

        const SYSTEMTIME utcTime = FromTm(utc);
        const SYSTEMTIME expected = FromTm(local);
        SYSTEMTIME got{};
        const bool ok = SystemTimeToTzSpecificLocalTime(&rule, &utcTime, &got);
        if (!ok || Text(got) != Text(expected) || got.wDayOfWeek != expected.wDayOfWeek) {
            if (check.mismatches++ == 0) check.firstMismatch = "UTC " + Text(utcTime) + " gave " + Text(got) + ", not " + Text(expected);
            continue;
        }
        // Local times within a few hours after a change may be ambiguous; the rest must map back.
        if (t - lastChange > 3 * 3600 && (t + 3 * 3600 < to)) {
            std::tm later{};
            const std::time_t ahead = static_cast<std::time_t>(t + 3 * 3600);
            localtime_r(&ahead, &later);
            if (later.tm_gmtoff != local.tm_gmtoff) continue;
            SYSTEMTIME back{};
            if (!TzSpecificLocalTimeToSystemTime(&rule, &expected, &back) || Text(back) != Text(utcTime)) {
                if (check.mismatches++ == 0) check.firstMismatch = "local " + Text(expected) + " gave UTC " + Text(back);
            }
        }
    }
    check.shortestStretch = std::min(check.shortestStretch, to - stretchStart);
    return check;
}

class ZoneRulesAgainstTzdata : public ::testing::TestWithParam<const char*> {};

TEST_P(ZoneRulesAgainstTzdata, WholeYearAgreesWithTheCLibrary) {
    const int year = platform::CurrentUtcYear();
    const YearCheck check = CheckYear(GetParam(), year);
    if (check.changes <= 2) {
        EXPECT_EQ(check.mismatches, 0) << GetParam() << ": " << check.firstMismatch;
    } else {
        // A yearly rule holds two changes. In a year with more (a zone that also moves its
        // standard offset) it may be wrong, but for no longer than the shortest stretch.
        EXPECT_LE(std::int64_t{check.mismatches} * 900, check.shortestStretch) << GetParam() << ": " << check.firstMismatch;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneRulesAgainstTzdata,
    ::testing::Values("America/Los_Angeles", "America/Denver", "America/Phoenix", "America/Chicago", "America/New_York",
                      "America/Halifax", "America/St_Johns", "America/Havana", "America/Mexico_City",
                      "America/Santiago", "America/Sao_Paulo", "America/Nuuk", "America/Miquelon", "Atlantic/Azores",
                      "Europe/London", "Europe/Dublin", "Europe/Berlin", "Europe/Athens", "Europe/Chisinau",
                      "Europe/Moscow", "Africa/Casablanca", "Africa/Cairo", "Asia/Jerusalem", "Asia/Beirut",
                      "Asia/Tehran", "Asia/Kolkata", "Asia/Kathmandu", "Asia/Tokyo", "Australia/Sydney",
                      "Australia/Adelaide", "Australia/Lord_Howe", "Pacific/Auckland", "Pacific/Chatham",
                      "Antarctica/Troll", "Etc/GMT+5", "UTC"),
    [](const ::testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        for (char& c : name) {
            if (c == '/' || c == '+' || c == '-') c = '_';
        }
        return name;
    });

TEST(ZoneRulesAgainstTzdataCoverage, AYearWhoseClocksMoveOnceKeepsBothParts) {
    // A zone that starts daylight time on 8 March 2026 and keeps it into 2027 (as Havana's did),
    // then ends it on 7 November 2027; a flag-only change (daylight offset made standard) moves
    // no clock.
    platform::TzifData zone;
    zone.localTypes = {{-5 * 3600, false}, {-4 * 3600, true}, {-4 * 3600, false}};
    zone.transitionTimes = {UtcSeconds(2026, 3, 8, 5),
                            UtcSeconds(2027, 11, 7, 5),
                            UtcSeconds(2028, 3, 12, 5),
                            UtcSeconds(2028, 11, 5, 4)};
    zone.transitionTypes = {1, 0, 1, 2};
    auto hourAt = [&zone](int year, int month) {
        TIME_ZONE_INFORMATION rule{};
        platform::ZoneRuleForYear(zone, year, rule);
        SYSTEMTIME utc{static_cast<WORD>(year), static_cast<WORD>(month), 0, 15, 12, 0, 0, 0}, local{};
        EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(&rule, &utc, &local));
        return local.wHour;
    };
    EXPECT_EQ(hourAt(2026, 1), 7);
    EXPECT_EQ(hourAt(2026, 7), 8);
    EXPECT_EQ(hourAt(2026, 12), 8);
    EXPECT_EQ(hourAt(2027, 1), 8);
    EXPECT_EQ(hourAt(2027, 7), 8);
    EXPECT_EQ(hourAt(2027, 12), 7);
    EXPECT_EQ(hourAt(2028, 1), 7);
    EXPECT_EQ(hourAt(2028, 7), 8);
    EXPECT_EQ(hourAt(2028, 12), 8);  // the flag changed, the clock did not
}

TEST(ZoneRulesAgainstTzdataCoverage, DaylightZonesChangeTwiceAYear) {
    // Guards the comparison above against passing on zones that never change.
    const int year = platform::CurrentUtcYear();
    for (const char* zone : {"America/Los_Angeles", "Europe/Berlin", "Australia/Sydney", "America/Santiago"}) {
        EXPECT_EQ(CheckYear(zone, year).changes, 2) << zone;
    }
}

}  // namespace
