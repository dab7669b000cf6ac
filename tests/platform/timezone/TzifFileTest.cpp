// The zone-file reader against real files, every truncation of one, and damaged counts.
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "platform/timezone/PosixTzString.h"
#include "platform/timezone/TzifFile.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(TzifFile, ReadsARealZoneWithItsFooter) {
    platform::TzifData zone;
    ASSERT_TRUE(platform::ReadTzifFile(platform::ZoneInfoDirectory() + "/America/Los_Angeles", zone));
    EXPECT_EQ(zone.footer, "PST8PDT,M3.2.0,M11.1.0");
    EXPECT_GT(zone.transitionTimes.size(), 100u);
    // 1 July 2026 12:00 UTC is daylight time, UTC-7.
    EXPECT_EQ(zone.TypeAt(1782907200).utcOffset, -7 * 3600);
    EXPECT_TRUE(zone.TypeAt(1782907200).isDaylight);
    EXPECT_FALSE(platform::ReadTzifFile(platform::ZoneInfoDirectory() + "/No/Such_Zone", zone));
}

TEST(TzifFile, EveryTruncationIsRefusedOrReadSafely) {
    const std::vector<std::uint8_t> bytes = ReadBytes(platform::ZoneInfoDirectory() + "/Europe/Berlin");
    ASSERT_GT(bytes.size(), 100u);
    platform::TzifData zone;
    for (std::size_t n = 0; n < bytes.size() - 1; ++n) {
        EXPECT_FALSE(platform::ParseTzif(bytes.data(), n, zone)) << "length " << n;
    }
    EXPECT_TRUE(platform::ParseTzif(bytes.data(), bytes.size(), zone));
    EXPECT_FALSE(platform::ParseTzif(nullptr, 10, zone));
}

TEST(TzifFile, DamagedCountsAndIndexesAreRefused) {
    const std::vector<std::uint8_t> good = ReadBytes(platform::ZoneInfoDirectory() + "/Europe/Berlin");
    platform::TzifData zone;
    auto damaged = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> copy = good;
        copy[at] = value;
        return copy;
    };
    // Magic, then a huge transition count in the first and in the second header.
    std::vector<std::uint8_t> bad = damaged(0, 'X');
    EXPECT_FALSE(platform::ParseTzif(bad.data(), bad.size(), zone));
    bad = damaged(32, 0x7F);
    EXPECT_FALSE(platform::ParseTzif(bad.data(), bad.size(), zone));
    bad = damaged(39, 0);  // no local types
    EXPECT_FALSE(platform::ParseTzif(bad.data(), bad.size(), zone));
    // Flipping any single byte never makes the reader run past the data.
    for (std::size_t at = 0; at < good.size(); at += 7) {
        bad = damaged(at, static_cast<std::uint8_t>(good[at] ^ 0xFF));
        platform::ParseTzif(bad.data(), bad.size(), zone);
        for (std::uint8_t index : zone.transitionTypes) EXPECT_LT(index, zone.localTypes.size());
    }
}

TEST(PosixTzString, ReadsTheFormsOfTheDatabase) {
    platform::PosixTz tz;
    ASSERT_TRUE(platform::ParsePosixTz("<-02>2<-01>,M3.5.0/-1,M10.5.0/0", tz));
    EXPECT_EQ(tz.standardOffset, -7200);
    EXPECT_EQ(tz.daylightOffset, -3600);
    EXPECT_EQ(tz.daylightStart.time, -3600);
    EXPECT_EQ(tz.daylightEnd.month, 10);
    ASSERT_TRUE(platform::ParsePosixTz("IST-2IDT,M3.4.4/26,M10.5.0", tz));
    EXPECT_EQ(tz.daylightStart.time, 26 * 3600);
    EXPECT_EQ(tz.daylightEnd.time, 7200);
    ASSERT_TRUE(platform::ParsePosixTz("<+0545>-5:45", tz));
    EXPECT_EQ(tz.standardOffset, 5 * 3600 + 45 * 60);
    EXPECT_FALSE(tz.hasDaylight);
    ASSERT_TRUE(platform::ParsePosixTz("EST5EDT,J60/2,300", tz));
    // J60 is 1 March in every year; day 300 (from 0) is 28 October in 2026.
    EXPECT_EQ(tz.daylightStart.LocalMoment(2024), 19783 * 86400LL + 7200);
    EXPECT_EQ(tz.daylightEnd.LocalMoment(2026), (20454 + 300) * 86400LL + 7200);
    for (const char* bad : {"", "PS8", "PST", "PST8PDT,M13.1.0,M11.1.0", "PST8PDT,M3.6.0,M11.1.0", "PST8PDT,M3.2.0",
                            "PST8PDT,M3.2.0,M11.1.0,", "<AB>5", "PST999", "PST8PDT,M3.2.0/200,M11.1.0"}) {
        EXPECT_FALSE(platform::ParsePosixTz(bad, tz)) << bad;
    }
}

}  // namespace
