// VTIMEZONEs made from the platform's zone list carry rules that other clients can expand.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

#include "sync/PlatformZoneDefinition.h"

namespace {

std::string TextOf(const char* tzid) {
    RRef<RIcsTimeZone> zone = BuildPlatformVTimeZone(tzid);
    return zone ? std::string(zone->GetText()) : std::string();
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

TEST(PlatformZoneDefinition, OlsonIdsAndWindowsNamesGiveYearlyRulesOnRealDays) {
    const std::string berlin = TextOf("Europe/Berlin");
    ASSERT_FALSE(berlin.empty()) << "an Olson identifier is found as well as a Windows key";
    EXPECT_TRUE(Has(berlin, "TZID:Europe/Berlin\r\n")) << berlin;
    EXPECT_TRUE(Has(berlin, "BEGIN:DAYLIGHT\r\n")) << berlin;
    EXPECT_TRUE(Has(berlin, "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
                            "DTSTART:19700329T020000\r\n"))
        << berlin;
    EXPECT_TRUE(Has(berlin, "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
                            "DTSTART:19701025T030000\r\n"))
        << berlin;

    const std::string newYork = TextOf("Eastern Standard Time");
    EXPECT_TRUE(Has(newYork, "TZID:Eastern Standard Time\r\n")) << newYork;
    EXPECT_TRUE(Has(newYork, "TZOFFSETTO:-0400\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nDTSTART:19700308T020000"))
        << newYork;
    EXPECT_TRUE(Has(newYork, "TZOFFSETTO:-0500\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nDTSTART:19701101T020000"))
        << newYork;
}

TEST(PlatformZoneDefinition, ZonesWithoutDaylightSavingAndUnknownZones) {
    const std::string tokyo = TextOf("Asia/Tokyo");
    EXPECT_FALSE(Has(tokyo, "DAYLIGHT")) << tokyo;
    EXPECT_TRUE(Has(tokyo, "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\n")) << tokyo;
    EXPECT_TRUE(TextOf("Nowhere/Imaginary").empty());
    EXPECT_TRUE(TextOf("").empty());
}

}  // namespace
