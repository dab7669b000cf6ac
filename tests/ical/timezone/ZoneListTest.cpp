// The zone list: its order, its look-ups, and its loading from several threads at once.
#include <atomic>
#include <latch>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ical/timezone/ZoneTable.h"
#include "platform/timezone/ZoneKeySource.h"

namespace {

int MachineZoneCount() { return static_cast<int>(platform::ZoneKeyNames().size()); }

// Empties the list so the next look-up loads it again.
struct FreshList {
    FreshList() { FreeZoneList(CompareZonesByDisplayName); }
    ~FreshList() { FreeZoneList(CompareZonesByDisplayName); }
};

TEST(ZoneList, IndexAtTheCountIsInvalidAndLeavesTheOutputs) {
    FreshList fresh;
    const int count = MachineZoneCount();
    CStringW key = u"k", olson = u"o", display = u"d";
    TIME_ZONE_INFORMATION info{};
    info.Bias = 12345;
    EXPECT_EQ(GetTimeZoneAt(count, &key, &olson, &display, &info), R_E_INVALID_INDEX);
    EXPECT_EQ(GetTimeZoneAt(-1, &key, &olson, &display, &info), R_E_INVALID_INDEX);
    EXPECT_EQ(key, u"k");
    EXPECT_EQ(olson, u"o");
    EXPECT_EQ(display, u"d");
    EXPECT_EQ(info.Bias, 12345);
    EXPECT_EQ(static_cast<std::uint32_t>(R_E_INVALID_INDEX), 0x80080585u);
    EXPECT_EQ(GetTimeZoneAt(count - 1, &key, nullptr, nullptr, nullptr), R_OK);
}

TEST(ZoneList, EntriesComeInDisplayOrderWithTheirFields) {
    FreshList fresh;
    CStringW previous, display;
    for (int i = 0; GetTimeZoneAt(i, nullptr, nullptr, &display, nullptr) == R_OK; ++i) {
        if (i > 0) {
            EXPECT_LE(previous.CompareNoCase(display.GetString()), 0) << i;
        }
        previous = display;
    }
    CStringW olson;
    TIME_ZONE_INFORMATION info{};
    ASSERT_EQ(FindTimeZoneByKey(u"pacific STANDARD time", &olson, &display, &info), R_OK);
    EXPECT_EQ(olson, u"America/Los_Angeles");
    EXPECT_EQ(display, u"(UTC-08:00) Pacific Time (US & Canada)");
    EXPECT_EQ(info.Bias, 480);
    EXPECT_EQ(info.DaylightBias, -60);
    EXPECT_EQ(info.DaylightDate.wMonth, 3);
    EXPECT_EQ(std::u16string(info.StandardName), u"Pacific Standard Time");
    EXPECT_EQ(std::u16string(info.DaylightName), u"Pacific Daylight Time");
    ASSERT_EQ(FindTimeZoneByKey(u"GMT Standard Time", &olson, nullptr, nullptr), R_OK);
    EXPECT_EQ(olson, u"UTC");

    CStringW key;
    ASSERT_EQ(FindTimeZoneByDisplay(u"(utc+01:00) amsterdam, berlin, bern, rome, stockholm, vienna", &key), R_OK);
    EXPECT_EQ(key, u"W. Europe Standard Time");
    EXPECT_EQ(FindTimeZoneByDisplay(u"(UTC+01:00) Nowhere", &key), STG_E_PATHNOTFOUND);
    EXPECT_EQ(FindTimeZoneByKey(u"Nowhere Standard Time", &olson, nullptr, nullptr), STG_E_PATHNOTFOUND);
}

TEST(ZoneList, ZuluFindsTheSameZoneAsUtc) {
    FreshList fresh;
    CStringW zulu, utc, display;
    ASSERT_EQ(FindWindowsZoneByOlsonId(u"Z", &zulu, &display, nullptr), R_OK);
    ASSERT_EQ(FindWindowsZoneByOlsonId(u"utc", &utc, nullptr, nullptr), R_OK);
    EXPECT_EQ(zulu, utc);
    EXPECT_EQ(zulu, u"UTC");
    EXPECT_EQ(display, u"(UTC) Coordinated Universal Time");
    CStringW key = u"untouched";
    ASSERT_EQ(FindWindowsZoneByOlsonId(u"europe/berlin", &key, nullptr, nullptr), R_OK);
    EXPECT_EQ(key, u"W. Europe Standard Time");
    key = u"untouched";
    EXPECT_EQ(FindWindowsZoneByOlsonId(u"Mars/Olympus_Mons", &key, nullptr, nullptr), STG_E_PATHNOTFOUND);
    EXPECT_EQ(key, u"untouched");
}

TEST(ZoneList, EqualDisplayNamesKeepTheirInsertionOrder) {
    FreshList fresh;
    const char16_t* keys[] = {u"First", u"Earlier", u"Second", u"Third"};
    const char16_t* displays[] = {u"(UTC+01:00) Same", u"(UTC) Before", u"(utc+01:00) SAME", u"(UTC+01:00) Same"};
    for (int i = 0; i < 4; ++i) {
        auto* entry = new WindowsZoneEntry();
        entry->zoneKey = keys[i];
        entry->displayName = displays[i];
        ASSERT_EQ(InsertZoneSorted(entry), R_OK);
    }
    const char16_t* expected[] = {u"Earlier", u"First", u"Second", u"Third"};
    for (int i = 0; i < 4; ++i) {
        CStringW key;
        ASSERT_EQ(GetTimeZoneAt(i, &key, nullptr, nullptr, nullptr), R_OK);
        EXPECT_EQ(key, expected[i]) << i;
    }
    CStringW key;
    ASSERT_EQ(FindTimeZoneByDisplay(u"(UTC+01:00) SAME", &key), R_OK);
    EXPECT_EQ(key, u"First");
    EXPECT_EQ(GetTimeZoneAt(4, &key, nullptr, nullptr, nullptr), R_E_INVALID_INDEX);
}

TEST(ZoneList, ConcurrentFirstUseLoadsEachListOnce) {
    const int count = MachineZoneCount();
    for (int round = 0; round < 5; ++round) {
        FreshList fresh;
        FreeAliasLines();
        constexpr int kThreads = 8;
        std::latch start(kThreads);
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                CStringW olson, key;
                bool ok = true;
                switch (t % 3) {
                    case 0: ok = GetTimeZoneAt(0, &key, nullptr, nullptr, nullptr) == R_OK; break;
                    case 1: ok = FindTimeZoneByKey(u"Azores Standard Time", &olson, nullptr, nullptr) == R_OK &&
                                 olson == u"Atlantic/Azores"; break;
                    default: ok = MapZoneKeyToOlsonId(u"Pacific Standard Time", olson) == R_OK; break;
                }
                if (!ok) ++failures;
            });
        }
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(failures.load(), 0);
        // A second load on top of the first would have doubled the entries.
        std::set<std::u16string> seen;
        CStringW key;
        int i = 0;
        for (; GetTimeZoneAt(i, &key, nullptr, nullptr, nullptr) == R_OK; ++i) {
            EXPECT_TRUE(seen.insert(key.Str()).second) << key.ToUtf8().GetString();
        }
        EXPECT_EQ(i, count);
    }
}

}  // namespace
