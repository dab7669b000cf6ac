// The converter a month of occurrences goes through gives the answers of the one-off
// conversions, however its remembered zones and times are mixed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory/RRef.h"
#include "ical/timezone/ItemTimeConverter.h"
#include "ical/timezone/ZoneConversions.h"
#include "tests/ical/timezone/ItemTimeUtc.h"

namespace {

using orvane::test::MakeTime;

struct Case {
    const char* local;
    const char* tzid;  // null: floating
};

// Times around both changes of the year in zones on either side of UTC, one name with no
// zone, UTC itself and floating time, each asked for twice and interleaved with the others.
const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"2026-03-29 01:30", "Europe/Berlin"},      {"2026-03-29 02:30", "Europe/Berlin"},
        {"2026-03-29 02:30", "America/New_York"},   {"2026-03-08 02:30", "America/New_York"},
        {"2026-10-25 02:30", "Europe/Berlin"},      {"2026-11-01 01:30", "America/New_York"},
        {"2026-03-29 02:30", "Z"},                  {"2026-03-29 02:30", nullptr},
        {"2026-03-29 02:30", "Mars/Olympus_Mons"},  {"2026-04-05 02:30", "Australia/Sydney"},
        {"2026-12-31 23:30", "Pacific/Auckland"},   {"2026-07-01 10:00", "W. Europe Standard Time"},
    };
    return cases;
}

std::string Text(const SYSTEMTIME& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

std::string Text(const RDateTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

TEST(ItemTimeConverter, GivesTheOneOffConversionsAnswersForEveryKindOfTime) {
    for (const char* target : {"Pacific Standard Time", "UTC", "Tokyo Standard Time", "Nowhere Standard Time"}) {
        RItemTimeConverter converter{CStringW::FromUtf8(target)};
        for (int round = 0; round < 2; ++round) {
            for (const Case& c : Cases()) {
                SCOPED_TRACE(std::string(target) + " <- " + c.local + " " + (c.tzid ? c.tzid : "floating"));
                auto time = RRef<RIcsDateTime>::Adopt(MakeTime(c.local, c.tzid));

                SYSTEMTIME expected{2001, 1, 0, 1, 0, 0, 0, 0}, got = expected;
                const RResult expectedResult = ItemTimeToUtc(&expected, time.get());
                EXPECT_EQ(converter.ToUtc(*time, &got), expectedResult);
                EXPECT_EQ(Text(got), Text(expected));

                RDateTime shown = time->dateTime;
                RIcsDateTime* converted = nullptr;
                if (ConvertItemTimeToZone(time.get(), &converted, CStringW::FromUtf8(target)) == R_OK) {
                    shown = converted->dateTime;
                }
                if (converted != nullptr) converted->Release();
                EXPECT_EQ(Text(converter.ToTarget(*time)), Text(shown));

                SYSTEMTIME both{2001, 1, 0, 1, 0, 0, 0, 0};
                RDateTime bothShown;
                EXPECT_EQ(converter.ToUtcAndTarget(*time, &both, &bothShown), expectedResult);
                EXPECT_EQ(Text(both), Text(expected));
                EXPECT_EQ(Text(bothShown), Text(shown));
            }
        }
    }
}

TEST(ItemTimeConverter, OneLocalTimeInTwoZonesIsNotTakenForTheOther) {
    RItemTimeConverter converter{u"UTC"};
    auto berlin = RRef<RIcsDateTime>::Adopt(MakeTime("2026-07-01 10:00", "Europe/Berlin"));
    auto newYork = RRef<RIcsDateTime>::Adopt(MakeTime("2026-07-01 10:00", "America/New_York"));
    EXPECT_EQ(Text(converter.ToTarget(*berlin)), "2026-07-01 08:00:00");
    EXPECT_EQ(Text(converter.ToTarget(*newYork)), "2026-07-01 14:00:00");
    SYSTEMTIME utc{};
    ASSERT_EQ(converter.ToUtc(*berlin, &utc), R_OK);
    EXPECT_EQ(Text(utc), "2026-07-01 08:00:00");
    EXPECT_EQ(converter.ToUtc(*berlin, nullptr), R_E_INVALID_ARGUMENT);
}

}  // namespace
