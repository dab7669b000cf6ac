// The machine zone list as the registry shape offers it: keys, display names, names and rules.
#include <algorithm>

#include <gtest/gtest.h>

#include "platform/string/CString.h"
#include "platform/timezone/ZoneKeySource.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

std::u16string TextValue(const std::u16string& key, const std::u16string& value) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!platform::ReadZoneKeyValue(key, value, type, data) || type != REG_SZ || data.size() % 2 != 0 || data.size() < 2) {
        return u"<missing>";
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    EXPECT_EQ(text.back(), u'\0');  // stored with its terminator
    text.pop_back();
    return text;
}

TEST(ZoneKeySource, ListsTheWindowsKeysOnce) {
    const auto keys = platform::ZoneKeyNames();
    EXPECT_GT(keys.size(), 130u);
    for (const char16_t* key : {u"Pacific Standard Time", u"W. Europe Standard Time", u"GMT Standard Time",
                                u"Azores Standard Time", u"UTC", u"AUS Eastern Standard Time"}) {
        EXPECT_EQ(std::count(keys.begin(), keys.end(), std::u16string(key)), 1) << CStringW(key).ToUtf8().GetString();
    }
}

TEST(ZoneKeySource, TextValuesHaveTheRegistryShape) {
    EXPECT_EQ(TextValue(u"Pacific Standard Time", u"Display"), u"(UTC-08:00) Pacific Time (US & Canada)");
    EXPECT_EQ(TextValue(u"W. Europe Standard Time", u"Display"),
              u"(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna");
    EXPECT_EQ(TextValue(u"UTC", u"Display"), u"(UTC) Coordinated Universal Time");
    EXPECT_EQ(TextValue(u"GMT Standard Time", u"Display"), u"(UTC+00:00) Dublin, Edinburgh, Lisbon, London");
    EXPECT_EQ(TextValue(u"India Standard Time", u"Display"), u"(UTC+05:30) Chennai, Kolkata, Mumbai, New Delhi");
    EXPECT_EQ(TextValue(u"Pacific Standard Time (Mexico)", u"Std"), u"Pacific Standard Time (Mexico)");
    EXPECT_EQ(TextValue(u"Pacific Standard Time (Mexico)", u"Dlt"), u"Pacific Daylight Time (Mexico)");
    // Names match without regard to case, as registry names do.
    EXPECT_EQ(TextValue(u"pacific standard time", u"dlt"), u"Pacific Daylight Time");
    EXPECT_EQ(TextValue(u"No Such Standard Time", u"Display"), u"<missing>");
    EXPECT_EQ(TextValue(u"UTC", u"Nothing"), u"<missing>");
}

TEST(ZoneKeySource, RuleImageFollowsTheZoneOfTheKey) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(platform::ReadZoneKeyValue(u"Pacific Standard Time", u"TZI", type, data));
    EXPECT_EQ(type, REG_BINARY);
    ASSERT_EQ(data.size(), platform::kTziBytes);
    TIME_ZONE_INFORMATION info{};
    platform::TziFromBytes(data.data(), data.size(), info);
    EXPECT_EQ(info.Bias, 480);
    EXPECT_EQ(info.StandardBias, 0);
    EXPECT_EQ(info.DaylightBias, -60);
    // Second Sunday of March, first Sunday of November, both at 02:00, every year.
    EXPECT_EQ(info.DaylightDate.wYear, 0);
    EXPECT_EQ(info.DaylightDate.wMonth, 3);
    EXPECT_EQ(info.DaylightDate.wDayOfWeek, 0);
    EXPECT_EQ(info.DaylightDate.wDay, 2);
    EXPECT_EQ(info.DaylightDate.wHour, 2);
    EXPECT_EQ(info.StandardDate.wMonth, 11);
    EXPECT_EQ(info.StandardDate.wDay, 1);

    // The last Sunday is written as week 5 (European rule).
    ASSERT_TRUE(platform::ReadZoneKeyValue(u"W. Europe Standard Time", u"TZI", type, data));
    platform::TziFromBytes(data.data(), data.size(), info);
    EXPECT_EQ(info.Bias, -60);
    EXPECT_EQ(info.DaylightDate.wMonth, 3);
    EXPECT_EQ(info.DaylightDate.wDay, 5);
    EXPECT_EQ(info.DaylightDate.wHour, 2);
    EXPECT_EQ(info.StandardDate.wMonth, 10);
    EXPECT_EQ(info.StandardDate.wDay, 5);
    EXPECT_EQ(info.StandardDate.wHour, 3);

    // A zone without daylight time has no dates.
    ASSERT_TRUE(platform::ReadZoneKeyValue(u"India Standard Time", u"TZI", type, data));
    platform::TziFromBytes(data.data(), data.size(), info);
    EXPECT_EQ(info.Bias, -330);
    EXPECT_EQ(info.StandardDate.wMonth, 0);
    EXPECT_EQ(info.DaylightDate.wMonth, 0);
}

TEST(ZoneKeySource, OlsonNamesFindTheirKeys) {
    std::u16string key;
    ASSERT_TRUE(platform::ZoneKeyForOlsonName("America/Vancouver", key));
    EXPECT_EQ(key, u"Pacific Standard Time");
    ASSERT_TRUE(platform::ZoneKeyForOlsonName("Europe/Dublin", key));
    EXPECT_EQ(key, u"GMT Standard Time");
    ASSERT_TRUE(platform::ZoneKeyForOlsonName("US/Pacific", key));  // a link
    EXPECT_EQ(key, u"Pacific Standard Time");
    ASSERT_TRUE(platform::ZoneKeyForOlsonName("UTC", key));
    EXPECT_EQ(key, u"UTC");
    EXPECT_FALSE(platform::ZoneKeyForOlsonName("Mars/Olympus_Mons", key));
    EXPECT_FALSE(platform::ZoneKeyForOlsonName("", key));
}

TEST(ZoneKeySource, ZoneNamesCannotLeaveTheZoneFolder) {
    TIME_ZONE_INFORMATION info{};
    EXPECT_FALSE(platform::ReadZoneRuleForYear("../../etc/passwd", 2026, info));
    EXPECT_FALSE(platform::ReadZoneRuleForYear("/etc/localtime", 2026, info));
    EXPECT_FALSE(platform::ReadZoneRuleForYear("", 2026, info));
    EXPECT_TRUE(platform::ReadZoneRuleForYear("Europe/Paris", 2026, info));
}

}  // namespace
