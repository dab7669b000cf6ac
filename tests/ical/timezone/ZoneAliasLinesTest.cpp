// The built-in alias lines and the look-up of a name among them.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "ical/timezone/ZoneAliasLines.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/timezone/ZoneKeySource.h"

namespace {

std::u16string Tabbed(std::initializer_list<const char16_t*> fields) {
    std::u16string line;
    for (const char16_t* f : fields) {
        if (!line.empty()) line += u'\t';
        line += f;
    }
    return line;
}

TEST(ZoneAliasLines, KnownRowsStandAtTheirIds) {
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13001)),
              Tabbed({u"UTC", u"Universal Time Coordinated", u"Coordinated Universal Time", u"Universal", u"Etc/GMT",
                      u"Etc/GMT+0", u"Etc/UCT", u"Etc/Universal", u"Etc/UTC", u"Zulu", u"Etc/Zulu", u"UCT", u"GMT",
                      u"Greenwich Mean Time", u"GMT+0", u"GMT0", u"GMT-0", u"Greenwich", u"GMT Daylight Time",
                      u"GMT Standard Time"}));
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13002)),
              Tabbed({u"Europe/London", u"Europe/Belfast", u"Europe/Guernsey", u"Europe/Isle_of_Man", u"Europe/Jersey",
                      u"GB", u"GB-Eire"}));
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13004)),
              Tabbed({u"Atlantic/Azores", u"Azores Daylight Time", u"Azores Standard Time"}));
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13150)),
              Tabbed({u"America/Tijuana", u"America/Ensenada", u"Mexico/BajaNorte", u"Pacific Daylight Time (Mexico)",
                      u"Pacific Standard Time (Mexico)"}));
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13153)),
              Tabbed({u"America/Los_Angeles", u"PST8PDT", u"US/Pacific", u"US/Pacific-New", u"Pacific Daylight Time",
                      u"Pacific Standard Time"}));
    EXPECT_EQ(std::u16string(LoadZoneAliasString(13387)), u"America/Scoresbysund");
    EXPECT_EQ(LoadZoneAliasString(13000), nullptr);
    EXPECT_EQ(LoadZoneAliasString(kFirstZoneAliasId + kZoneAliasLineCount), nullptr);
}

TEST(ZoneAliasLines, EveryNameBelongsToOneLineAndEveryKeyToSome) {
    std::map<std::u16string, int> owner;
    for (int i = 0; i < kZoneAliasLineCount; ++i) {
        const std::u16string line = kZoneAliasLineTexts[i];
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t end = line.find(u'\t', start);
            if (end == std::u16string::npos) end = line.size();
            const std::u16string field = line.substr(start, end - start);
            EXPECT_FALSE(field.empty()) << "line " << kFirstZoneAliasId + i;
            EXPECT_TRUE(owner.emplace(field, kFirstZoneAliasId + i).second)
                << CStringW(field.c_str()).ToUtf8().GetString() << " is on two lines";
            start = end + 1;
        }
    }
    for (const std::u16string& key : platform::ZoneKeyNames()) {
        CStringW olson;
        EXPECT_EQ(MapZoneKeyToOlsonId(CStringW(key), olson), R_OK) << CStringW(key).ToUtf8().GetString();
    }
}

TEST(ZoneAliasLines, MapZoneKeyToOlsonIdTakesTheFirstLineThatNamesTheWholeField) {
    CStringW olson;
    EXPECT_EQ(MapZoneKeyToOlsonId(u"Azores Standard Time", olson), R_OK);
    EXPECT_EQ(olson, u"Atlantic/Azores");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"Pacific Standard Time", olson), R_OK);
    EXPECT_EQ(olson, u"America/Los_Angeles");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"Pacific Standard Time (Mexico)", olson), R_OK);
    EXPECT_EQ(olson, u"America/Tijuana");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"GMT Standard Time", olson), R_OK);
    EXPECT_EQ(olson, u"UTC");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"US/Pacific", olson), R_OK);
    EXPECT_EQ(olson, u"America/Los_Angeles");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"America/Scoresbysund", olson), R_OK);
    EXPECT_EQ(olson, u"America/Scoresbysund");

    // Parts of fields, other letter case and the empty name match nothing; the output stays.
    olson = u"unchanged";
    for (const char16_t* miss : {u"Standard Time", u"pacific standard time", u"", u"America/Los", u"UTC\tGMT"}) {
        EXPECT_EQ(MapZoneKeyToOlsonId(miss, olson), STG_E_PATHNOTFOUND);
        EXPECT_EQ(olson, u"unchanged");
    }
}

TEST(ZoneAliasLines, ZuluNeedsNoLinesAndFreedLinesComeBack) {
    FreeAliasLines();
    CStringW olson;
    EXPECT_EQ(MapZoneKeyToOlsonId(u"Z", olson), R_OK);
    EXPECT_EQ(olson, u"Z");
    EXPECT_EQ(MapZoneKeyToOlsonId(u"Etc/GMT+0", olson), R_OK);
    EXPECT_EQ(olson, u"UTC");
}

}  // namespace
