#include "store/StoredZoneOffsets.h"

#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneTable.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class StoredZoneOffsetsTest : public OpenStoreFixture {
protected:
    void TearDown() override {
        RemoveStoredZoneOffsetsFinder();
        OpenStoreFixture::TearDown();
    }
};

TEST_F(StoredZoneOffsetsTest, UnknownTzidResolvesThroughItsStoredOffsets) {
    TimeZoneRecord zone;
    zone.Clear();
    zone.timeZoneID = "Custom Eastern";
    zone.olsonID = "Custom/Eastern";
    zone.standardOffsetTo = -5;
    zone.daylightOffsetTo = -4;
    EXPECT_EQ(R_OK, store->AddTimeZone(&zone));

    CStringW key;
    EXPECT_EQ(STG_E_PATHNOTFOUND, MapTzidToWindowsZone(CStringW(u"Custom/Eastern"), key));

    InstallStoredZoneOffsetsFinder(store);
    ASSERT_EQ(R_OK, MapTzidToWindowsZone(CStringW(u"Custom/Eastern"), key));
    TIME_ZONE_INFORMATION info{};
    ASSERT_EQ(R_OK, FindTimeZoneByKey(key, nullptr, nullptr, &info));
    EXPECT_EQ(300, info.Bias + info.StandardBias);
    EXPECT_EQ(240, info.Bias + info.DaylightBias);
    EXPECT_EQ(STG_E_PATHNOTFOUND, MapTzidToWindowsZone(CStringW(u"Custom/Nowhere"), key));

    // The look-up holds its own reference: the store stays usable after the fixture lets go.
    store->Release();
    store = nullptr;
    EXPECT_EQ(R_OK, MapTzidToWindowsZone(CStringW(u"Custom/Eastern"), key));
}

TEST_F(StoredZoneOffsetsTest, StoreThatCannotBeReadHasNoStoredZones) {
    ROrvaneDataManager* closed = new ROrvaneDataManager();  // never opened: every select fails
    InstallStoredZoneOffsetsFinder(closed);
    closed->Release();
    CStringW key;
    testing::internal::CaptureStderr();
    EXPECT_EQ(STG_E_PATHNOTFOUND, MapTzidToWindowsZone(CStringW(u"Custom/Eastern"), key));
    testing::internal::GetCapturedStderr();
}

TEST_F(StoredZoneOffsetsTest, ImportedZoneIsFoundByItsTzidAndConvertsByItsOwnRules) {
    // Import leaves the Olson name empty for a zone the alias table does not know.
    TimeZoneRecord zone;
    zone.Clear();
    zone.timeZoneID = "Head Office";
    zone.standardOffsetTo = -5.0;
    zone.daylightOffsetTo = -4.0;
    zone.daylightRrule = "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU";
    zone.daylightDTStart = "2007-03-11 02:00";
    zone.standardRrule = "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU";
    zone.standardDTStart = "2007-11-04 02:00";
    store->AddTimeZone(&zone);
    InstallStoredZoneOffsetsFinder(store);

    auto utcHourOf = [](const char* when) {
        auto* time = new RIcsDateTime();
        time->SetFromDbText(when, "Head Office");
        SYSTEMTIME utc{};
        const RResult result = ItemTimeToUtc(&utc, time);
        time->Release();
        return result == R_OK ? static_cast<int>(utc.wHour) : -1;
    };
    EXPECT_EQ(14, utcHourOf("2026-07-01 10:00"));
    EXPECT_EQ(15, utcHourOf("2026-01-15 10:00"));
    CStringW key;
    EXPECT_EQ(R_OK, MapTzidToWindowsZone(CStringW(u"Head Office"), key));

    // A change of the table is seen at once, although answers are kept per TZID.
    zone.standardOffsetTo = -6.0;
    zone.daylightOffsetTo = -5.0;
    store->AddTimeZone(&zone);
    EXPECT_EQ(15, utcHourOf("2026-07-01 10:00"));
}

}  // namespace
}  // namespace orvane::test
