// TZIDs as other clients write them, zones whose Windows key is not their own, the display zone's
// key, and local times that the clocks skip.
#include <string>

#include <gtest/gtest.h>

#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/StoredZoneLookup.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneResolver.h"
#include "ical/timezone/ZoneTable.h"
#include "tests/ical/timezone/ItemTimeUtc.h"

namespace {

using orvane::test::UtcOf;

TEST(ZoneTzidForms, PrefixedAndDisplayNamesResolve) {
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "/mozilla.org/20050126_1/Europe/Berlin"), "2026-07-01 08:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "/freeassociation.sourceforge.net/Tzfile/Europe/London"), "2026-07-01 09:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "/softwarestudio.org/Olson_20011030_5/America/Argentina/Buenos_Aires"),
              "2026-07-01 13:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(UTC-05:00) Eastern Time (US & Canada)"), "2026-07-01 14:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "(UTC-05:00) Eastern Time (US & Canada)"), "2026-01-15 15:00");
    // Older programs wrote GMT, and the offset in the name may be out of date.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"),
              "2026-07-01 08:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "/mozilla.org/20050126_1/Nowhere/Special"), "failed");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(UTC-05:00) Nowhere in particular"), "failed");
}

TEST(ZoneTzidForms, OlderGmtDisplayNamesResolveAsTheNewerOnes) {
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(GMT-08.00) Pacific Time (US & Canada); Tijuana"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "(GMT-05.00) Eastern Time (US & Canada)"), "2026-01-15 15:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London"),
              "2026-07-01 09:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "(GMT+01.00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"),
              "2026-07-01 08:00");
}

TEST(ZoneTzidForms, TzNamesConvertByTheirOwnZone) {
    // Zones whose Windows key stands for another zone with other offsets.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "America/Mazatlan"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Asia/Urumqi"), "2026-07-01 04:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Asia/Bishkek"), "2026-07-01 04:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Indian/Chagos"), "2026-07-01 04:00");
    // Names that the key table does not list.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Africa/Asmara"), "2026-07-01 07:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Pacific/Chuuk"), "2026-07-01 00:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "America/Atikokan"), "2026-07-01 15:00");
    // A key keeps its own zone's summer time.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "GMT Standard Time"), "2026-07-01 09:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "GMT Standard Time"), "2026-01-15 10:00");
}

TEST(ZoneTzidForms, TzNamesResolveWhateverTheirCase) {
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "europe/berlin"), "2026-07-01 08:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "AMERICA/NEW_YORK"), "2026-01-15 15:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "america/argentina/buenos_aires"), "2026-07-01 13:00");
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "us/pacific"), "2026-07-01 17:00");
}

TEST(ZoneTzidForms, AKeyKeepsTheOffsetOfThePlacesItStillNames) {
    // Chihuahua left UTC-7 in 2022; La Paz and Mazatlan, named by the same key, did not.
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Mountain Standard Time (Mexico)"), "2026-07-01 17:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "Mountain Standard Time (Mexico)"), "2026-01-15 17:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "(UTC-07:00) Chihuahua, La Paz, Mazatlan"), "2026-01-15 17:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "Mountain Daylight Time (Mexico)"), "2026-01-15 17:00");
    CStringW olson;
    ASSERT_EQ(MapZoneKeyToOlsonId(u"Mountain Standard Time (Mexico)", olson), R_OK);
    EXPECT_EQ(olson, CStringW(u"America/Mazatlan"));
}

TEST(ZoneTzidForms, SkippedLocalTimesUseTheOffsetBeforeTheGap) {
    // 02:30 on the night the clocks go forward does not exist; read with the offset before it.
    EXPECT_EQ(UtcOf("2026-03-08 02:30", "America/New_York"), "2026-03-08 07:30");
    EXPECT_EQ(UtcOf("2026-03-29 02:30", "Europe/Berlin"), "2026-03-29 01:30");
    EXPECT_EQ(UtcOf("2026-10-04 02:30", "Australia/Sydney"), "2026-10-03 16:30");
    // The hour that repeats in autumn is its first (summer) occurrence; times around the gap
    // are as they were.
    EXPECT_EQ(UtcOf("2026-11-01 01:30", "America/New_York"), "2026-11-01 05:30");
    EXPECT_EQ(UtcOf("2026-03-08 01:59", "America/New_York"), "2026-03-08 06:59");
    EXPECT_EQ(UtcOf("2026-03-08 03:00", "America/New_York"), "2026-03-08 07:00");
}

TEST(ZoneTzidForms, TheDisplayZoneKeepsItsOwnKey) {
    ASSERT_EQ(WriteTimeZoneSetting(u"GMT Standard Time"), ERROR_SUCCESS);
    CStringW key, olson;
    GetCurrentTimeZone(&key, &olson);
    EXPECT_EQ(key, u"GMT Standard Time");
    EXPECT_EQ(olson, u"Europe/London");
    ASSERT_EQ(WriteTimeZoneSetting(u""), ERROR_SUCCESS);

    auto* noon = new RIcsDateTime();
    noon->SetFromDbText("2026-07-01 12:00", "Z");
    RIcsDateTime* shown = nullptr;
    ASSERT_EQ(ConvertItemTimeToZone(noon, &shown, u"GMT Standard Time"), R_OK);
    EXPECT_STREQ(shown->GetDbText(), "2026-07-01 13:00");
    EXPECT_STREQ(shown->tzid, "Europe/London");
    // The converted time reads back to the same instant.
    EXPECT_EQ(UtcOf(shown->GetDbText(), shown->tzid), "2026-07-01 12:00");
    shown->Release();
    noon->Release();
}

TEST(ZoneTzidForms, StoredZonesConvertByTheirOwnRulesAndAreAskedOncePerTzid) {
    int asked = 0;
    SetStoredZoneFinder([&asked](const CStringW& tzid, StoredZoneRules& zone) -> RResult {
        ++asked;
        if (tzid != u"Head Office") return STG_E_PATHNOTFOUND;
        // Daylight time from the last Sunday of March to the last Sunday of October, at +3/+4.
        zone.timeZoneId = "Head Office";
        zone.standardOffsetTo = 3.0;
        zone.daylightOffsetTo = 4.0;
        zone.daylightRrule = "FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU";
        zone.daylightStart = "1970-03-29 02:00";
        zone.standardRrule = "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU";
        zone.standardStart = "1970-10-25 03:00";
        return R_OK;
    });
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Head Office"), "2026-07-01 06:00");
    EXPECT_EQ(UtcOf("2026-01-15 10:00", "Head Office"), "2026-01-15 07:00");
    for (int i = 0; i < 50; ++i) {
        UtcOf("2026-02-01 10:00", "Head Office");
        UtcOf("2026-02-01 10:00", "Branch Office");
    }
    EXPECT_EQ(asked, 2);
    NoteStoredZonesChanged();
    UtcOf("2026-02-01 10:00", "Head Office");
    EXPECT_EQ(asked, 3);
    SetStoredZoneFinder(nullptr);
    EXPECT_EQ(UtcOf("2026-07-01 10:00", "Head Office"), "failed");
}

TEST(ZoneTzidForms, StoredZoneDefinitions) {
    TIME_ZONE_INFORMATION info{};
    StoredZoneRules oneOffset;
    oneOffset.standardOffsetTo = -3.0;
    oneOffset.standardStart = "1601-01-01 00:00";
    ASSERT_TRUE(DefinitionFromStoredZone(oneOffset, info));
    EXPECT_EQ(info.Bias, 180);
    EXPECT_EQ(info.StandardDate.wMonth, 0);
    // The older form of "second Sunday": the days 8 to 14 that are a Sunday.
    StoredZoneRules older;
    older.standardOffsetTo = -5.0;
    older.daylightOffsetTo = -4.0;
    older.daylightRrule = "FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8,9,10,11,12,13,14;BYDAY=SU";
    older.daylightStart = "2007-03-11 02:00";
    older.standardRrule = "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU";
    older.standardStart = "2007-11-04 02:00";
    ASSERT_TRUE(DefinitionFromStoredZone(older, info));
    EXPECT_EQ(info.DaylightDate.wMonth, 3);
    EXPECT_EQ(info.DaylightDate.wDay, 2);
    EXPECT_EQ(info.DaylightDate.wHour, 2);
    EXPECT_EQ(info.StandardDate.wDay, 1);
    EXPECT_EQ(info.DaylightBias, -60);
    // Offsets alone say nothing of when they change.
    StoredZoneRules bare;
    bare.standardOffsetTo = -5.0;
    bare.daylightOffsetTo = -4.0;
    EXPECT_FALSE(DefinitionFromStoredZone(bare, info));
}

}  // namespace
