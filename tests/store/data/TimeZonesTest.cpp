#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class TimeZonesTest : public OpenStoreFixture {};

TEST_F(TimeZonesTest, AddInsertsOnceThenRewritesEveryColumn) {
    TimeZoneRecord zone;
    zone.timeZoneID = "Eastern";
    zone.standardName = "EST";
    zone.standardOffsetFrom = -4;
    zone.standardOffsetTo = -5;
    zone.daylightOffsetTo = 1.0 / 3;
    EXPECT_EQ(R_OK, store->AddTimeZone(&zone));
    EXPECT_EQ(1, Scalar("select count(*) from TimeZones where olsonID is null and standardOffsetTo = -5.0"));

    zone.olsonID = "America/New_York";
    zone.standardName = "";
    zone.daylightRrule = "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU";
    zone.standardOffsetFrom = 5.75;
    EXPECT_EQ(R_OK, store->AddTimeZone(&zone));
    EXPECT_EQ(1, store->GetTimeZoneCount());

    TimeZoneRecord read;
    ASSERT_EQ(R_OK, store->FindTimeZoneByOlsonID("America/New_York", &read));
    EXPECT_STREQ("Eastern", read.timeZoneID);
    EXPECT_STREQ("", read.standardName);
    EXPECT_STREQ("FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", read.daylightRrule);
    EXPECT_DOUBLE_EQ(5.75, read.standardOffsetFrom);
    EXPECT_DOUBLE_EQ(0.333, read.daylightOffsetTo);

    TimeZoneRecord key;
    key.timeZoneID = "Pacific";
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->FindTimeZone(key, &read));
    read.Clear();
    read.olsonID = "untouched";
    EXPECT_EQ(R_E_INVALID_INDEX, store->GetTimeZone(1, &read));
    EXPECT_STREQ("untouched", read.olsonID);
}

}  // namespace
}  // namespace orvane::test
