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

}  // namespace
}  // namespace orvane::test
