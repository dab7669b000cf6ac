// Yearly rules built from zone data whose year does not fit the usual two changes: daylight time
// begun or ended for good, a standard offset that moves, and a year with three changes. The
// expected local times are the zone data's own, worked out by hand.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/timezone/CivilTime.h"
#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

using platform::TzifData;
using platform::TzifLocalType;

std::int64_t Utc(int y, int mo, int d, int h) { return platform::civil::DaysFromCivil(y, mo, d) * 86400 + h * 3600; }

// types: offsets in hours with their daylight flags; changes: (UTC instant, type index).
TzifData Zone(std::initializer_list<std::pair<double, bool>> types,
              std::initializer_list<std::pair<std::int64_t, std::uint8_t>> changes, std::string footer = "") {
    TzifData zone;
    for (const auto& [hours, daylight] : types) zone.localTypes.push_back({static_cast<std::int32_t>(hours * 3600), daylight});
    for (const auto& [at, type] : changes) {
        zone.transitionTimes.push_back(at);
        zone.transitionTypes.push_back(type);
    }
    zone.footer = std::move(footer);
    return zone;
}

// The local hour the year's rule shows at noon UTC of the given day.
int LocalHourAtNoon(const TIME_ZONE_INFORMATION& rule, int month, int day) {
    const SYSTEMTIME utc{2026, static_cast<WORD>(month), 0, static_cast<WORD>(day), 12, 0, 0, 0};
    SYSTEMTIME local{};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(&rule, &utc, &local));
    return local.wDay == day ? local.wHour : -1;
}

TIME_ZONE_INFORMATION RuleFor2026(const TzifData& zone) {
    TIME_ZONE_INFORMATION rule{};
    platform::ZoneRuleForYear(zone, 2026, rule);
    return rule;
}

TEST(ZoneYearRule, DaylightTimeBegunForGoodHoldsFromItsStartToTheYearsEnd) {
    // UTC-5, daylight UTC-4 from 8 March 2026 until November 2027.
    const auto rule = RuleFor2026(Zone({{-5, false}, {-4, true}},
                                       {{Utc(2025, 3, 9, 5), 1}, {Utc(2025, 11, 2, 5), 0}, {Utc(2026, 3, 8, 5), 1},
                                        {Utc(2027, 11, 7, 5), 0}}));
    EXPECT_EQ(LocalHourAtNoon(rule, 1, 15), 7);
    EXPECT_EQ(LocalHourAtNoon(rule, 3, 7), 7);
    EXPECT_EQ(LocalHourAtNoon(rule, 3, 9), 8);
    EXPECT_EQ(LocalHourAtNoon(rule, 12, 30), 8);
}

TEST(ZoneYearRule, DaylightTimeEndedForGoodHoldsFromTheYearsStart) {
    // UTC+4 as daylight time since 2025, UTC+3 standard from 29 March 2026 on.
    const auto rule = RuleFor2026(Zone({{3, false}, {4, true}}, {{Utc(2025, 3, 30, 0), 1}, {Utc(2026, 3, 29, 0), 0}}));
    EXPECT_EQ(LocalHourAtNoon(rule, 1, 2), 16);
    EXPECT_EQ(LocalHourAtNoon(rule, 3, 28), 16);
    EXPECT_EQ(LocalHourAtNoon(rule, 3, 30), 15);
    EXPECT_EQ(LocalHourAtNoon(rule, 12, 30), 15);
}

TEST(ZoneYearRule, StandardOffsetThatMovesIsRightOnBothSides) {
    // UTC+3 until 25 October 2026, UTC+4 after, neither marked daylight time.
    const auto rule = RuleFor2026(Zone({{3, false}, {4, false}}, {{Utc(2026, 10, 25, 0), 1}}));
    EXPECT_EQ(LocalHourAtNoon(rule, 1, 2), 15);
    EXPECT_EQ(LocalHourAtNoon(rule, 10, 24), 15);
    EXPECT_EQ(LocalHourAtNoon(rule, 10, 26), 16);
    EXPECT_EQ(LocalHourAtNoon(rule, 12, 30), 16);
}

TEST(ZoneYearRule, YearWithThreeChangesIsWrongOnlyInItsShortestStretch) {
    // UTC+1; UTC+0 marked daylight from 15 February to 22 March; UTC+0 for good from 20 September.
    const auto rule = RuleFor2026(Zone({{1, false}, {0, true}, {0, false}},
                                       {{Utc(2026, 2, 15, 2), 1}, {Utc(2026, 3, 22, 2), 0}, {Utc(2026, 9, 20, 1), 2}}));
    EXPECT_EQ(LocalHourAtNoon(rule, 1, 10), 13);
    EXPECT_EQ(LocalHourAtNoon(rule, 7, 1), 13);
    EXPECT_EQ(LocalHourAtNoon(rule, 9, 21), 12);
    EXPECT_EQ(LocalHourAtNoon(rule, 12, 30), 12);
}

TEST(ZoneYearRule, UsualYearsKeepTheirDaylightPartAndWeekdayDates) {
    // Central European time: last Sunday of March 01:00 UTC to last Sunday of October 01:00 UTC.
    const auto europe = RuleFor2026(Zone({{1, false}, {2, true}}, {{Utc(2026, 3, 29, 1), 1}, {Utc(2026, 10, 25, 1), 0}},
                                         "CET-1CEST,M3.5.0,M10.5.0/3"));
    EXPECT_EQ(europe.Bias, -60);
    EXPECT_EQ(europe.DaylightBias, -60);
    EXPECT_EQ(europe.DaylightDate.wMonth, 3);
    EXPECT_EQ(europe.DaylightDate.wDay, 5);
    EXPECT_EQ(europe.DaylightDate.wHour, 2);
    EXPECT_EQ(europe.StandardDate.wMonth, 10);
    EXPECT_EQ(europe.StandardDate.wHour, 3);

    // Southern: daylight UTC+11 until 5 April, again from 4 October.
    const auto south = RuleFor2026(Zone({{10, false}, {11, true}}, {{Utc(2025, 10, 4, 16), 1}, {Utc(2026, 4, 4, 16), 0}, {Utc(2026, 10, 3, 16), 1}}));
    EXPECT_EQ(south.Bias, -600);
    EXPECT_EQ(south.DaylightBias, -60);
    EXPECT_EQ(south.DaylightDate.wMonth, 10);
    EXPECT_EQ(south.StandardDate.wMonth, 4);
    EXPECT_EQ(LocalHourAtNoon(south, 1, 10), 23);
    EXPECT_EQ(LocalHourAtNoon(south, 7, 1), 22);
}

}  // namespace
