// Item times between their zones and the display zone.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "foundation/memory/RRef.h"
#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/StoredZoneLookup.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneTable.h"
#include "tests/ical/timezone/ItemTimeUtc.h"
#include "tests/support/CLibraryTime.h"

namespace {

using ValueHolder = RRef<RIcsDateTime>;

using orvane::test::MakeTime;
using orvane::test::ScopedTz;
using orvane::test::UtcOf;

TEST(ZoneConversions, ItemTimesReachUtcThroughEveryKindOfTzid) {
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Z"), "2026-07-01 10:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "America/Los_Angeles"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "America/Los_Angeles"), "2026-01-15 18:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Pacific Standard Time"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "US/Pacific"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Australia/Sydney"), "2026-07-01 00:00");
    EXPECT_EQ(UtcOf("2026-12-01 10:00", "Australia/Sydney"), "2026-11-30 23:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Asia/Kolkata"), "2026-07-01 04:30");
    // Floating time passes through unchanged.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", nullptr), "2026-07-01 10:00");
}

TEST(ZoneConversions, ZonesWithoutAnEntryOfTheirOwnKeepTheirSummerTime) {
    // Europe/London and America/Vancouver share their Windows keys with other zones, and the key
    // GMT Standard Time itself is filed under "UTC" by the alias lines.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Europe/London"), "2026-07-01 09:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "GMT Standard Time"), "2026-07-01 09:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "America/Vancouver"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "America/Santa_Isabel"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "UTC"), "2026-07-01 10:00");
}

TEST(ZoneConversions, UnknownTzidIsReportedAndTheOutputsStay) {
    auto time = ValueHolder::Adopt(MakeTime("2026-07-01 10:00", "Mars/Olympus_Mons"));
    SYSTEMTIME utc{};
    utc.wYear = 1999;
    EXPECT_EQ(ItemTimeToUtc(&utc, time.get()), STG_E_PATHNOTFOUND);
    EXPECT_EQ(utc.wYear, 1999);
    RIcsDateTime* converted = nullptr;
    EXPECT_EQ(ConvertItemTimeToZone(time.get(), &converted, u"Pacific Standard Time"), STG_E_PATHNOTFOUND);
    EXPECT_EQ(converted, nullptr);
    auto good = ValueHolder::Adopt(MakeTime("2026-07-01 10:00", "Europe/Berlin"));
    EXPECT_EQ(ConvertItemTimeToZone(good.get(), &converted, u"Nowhere Standard Time"), STG_E_PATHNOTFOUND);
    EXPECT_EQ(converted, nullptr);
    EXPECT_EQ(ConvertItemTimeToZone(nullptr, &converted, u"UTC"), R_E_INVALID_ARGUMENT);
}

TEST(ZoneConversions, ConvertItemTimeToZoneGivesANewValueInTheTargetZone) {
    auto source = ValueHolder::Adopt(MakeTime("2026-07-01 10:00", "America/Los_Angeles"));
    ValueHolder converted;
    ASSERT_EQ(ConvertItemTimeToZone(source.get(), converted.receive(), u"W. Europe Standard Time"), R_OK);
    ASSERT_NE(converted.get(), nullptr);
    EXPECT_NE(converted.get(), source.get());
    EXPECT_STREQ(converted->GetDbText(), "2026-07-01 19:00");
    EXPECT_STREQ(converted->tzid, "Europe/Berlin");
    EXPECT_STREQ(source->GetDbText(), "2026-07-01 10:00");
    EXPECT_EQ(converted->RefCount(), 1);

    // Across the date line and the new year.
    auto late = ValueHolder::Adopt(MakeTime("2026-12-31 20:00", "Z"));
    ValueHolder inAuckland;
    ASSERT_EQ(ConvertItemTimeToZone(late.get(), inAuckland.receive(), u"New Zealand Standard Time"), R_OK);
    EXPECT_STREQ(inAuckland->GetDbText(), "2027-01-01 09:00");
    EXPECT_STREQ(inAuckland->tzid, "Pacific/Auckland");

    auto floating = ValueHolder::Adopt(MakeTime("2026-07-01 10:00", nullptr));
    ValueHolder copy;
    ASSERT_EQ(ConvertItemTimeToZone(floating.get(), copy.receive(), u"Tokyo Standard Time"), R_OK);
    EXPECT_STREQ(copy->GetDbText(), "2026-07-01 10:00");
    EXPECT_STREQ(copy->tzid, "");
    EXPECT_TRUE(copy->floating);
}

TEST(ZoneConversions, SystemTimeMovesBetweenTwoZones) {
    SYSTEMTIME t{2026, 3, 0, 20, 9, 0, 0, 0};
    ASSERT_EQ(ConvertSystemTimeBetweenZones(u"America/New_York", u"Asia/Tokyo", &t), R_OK);
    EXPECT_EQ(t.wDay, 20);
    EXPECT_EQ(t.wHour, 22);  // 13:00 UTC
    SYSTEMTIME kept{2026, 3, 0, 20, 9, 0, 0, 0};
    EXPECT_EQ(ConvertSystemTimeBetweenZones(u"", u"Asia/Tokyo", &kept), R_OK);
    EXPECT_EQ(kept.wHour, 9);
    EXPECT_EQ(ConvertSystemTimeBetweenZones(u"America/New_York", u"Mars/Base", &kept), STG_E_PATHNOTFOUND);
    EXPECT_EQ(ConvertSystemTimeBetweenZones(u"America/New_York", u"", &kept), STG_E_PATHNOTFOUND);
    EXPECT_EQ(kept.wHour, 9);
}

TEST(ZoneConversions, StoredZoneOffsetsPickTheFirstMatchingZoneInDisplayOrder) {
    SetStoredZoneFinder([](const CStringW& id, StoredZoneRules& zone) -> RResult {
        if (id != u"Custom/Eastern") return STG_E_PATHNOTFOUND;
        zone.standardOffsetTo = -5.0;
        zone.daylightOffsetTo = -4.0;
        return R_OK;
    });
    CStringW expected;
    TIME_ZONE_INFORMATION info{};
    CStringW key;
    for (int i = 0; GetTimeZoneAt(i, &key, nullptr, nullptr, &info) == R_OK; ++i) {
        if (info.Bias + info.StandardBias == 300 && info.Bias + info.DaylightBias == 240) {
            expected = key;
            break;
        }
    }
    ASSERT_FALSE(expected.IsEmpty());
    CStringW found;
    EXPECT_EQ(MapTzidToWindowsZone(u"Custom/Eastern", found), R_OK);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Custom/Eastern"), "2026-07-01 14:00");
    found = u"untouched";
    EXPECT_EQ(MapTzidToWindowsZone(u"Custom/Other", found), STG_E_PATHNOTFOUND);
    EXPECT_EQ(found, u"untouched");
    SetStoredZoneFinder(nullptr);
    EXPECT_EQ(MapTzidToWindowsZone(u"Custom/Eastern", found), STG_E_PATHNOTFOUND);
}

TEST(ZoneConversions, CurrentZoneComesFromTheSettingElseTheSystem) {
    ASSERT_EQ(WriteTimeZoneSetting(u"Tokyo Standard Time"), ERROR_SUCCESS);
    CStringW key, olson;
    GetCurrentTimeZone(&key, &olson);
    EXPECT_EQ(key, u"Tokyo Standard Time");
    EXPECT_EQ(olson, u"Asia/Tokyo");

    ASSERT_EQ(WriteTimeZoneSetting(u""), ERROR_SUCCESS);
    {
        ScopedTz tz("America/Los_Angeles");
        GetCurrentTimeZone(&key, &olson);
        EXPECT_EQ(key, u"Pacific Standard Time");
        EXPECT_EQ(olson, u"America/Los_Angeles");
        GetCurrentTimeZone(nullptr, nullptr);
    }
    {
        // A system zone that no key stands for leaves the outputs alone.
        ScopedTz tz("Mars/Olympus_Mons");
        key = u"kept";
        olson = u"kept";
        GetCurrentTimeZone(&key, &olson);
        EXPECT_EQ(key, u"kept");
        EXPECT_EQ(olson, u"kept");
    }
}

}  // namespace
