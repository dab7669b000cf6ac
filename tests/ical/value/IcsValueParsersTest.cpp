#include "ical/value/IcsStringSet.h"
#include "ical/value/IcsValueParsers.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::vector<int> Fields(const char* text) {
    RDateTime r;
    ParseIcsDateTimeDigits(&r, text);
    return {r.year, r.month, r.day, r.hour, r.minute, r.second};
}

std::vector<int> Offset(const char* text) {
    RIcsUtcOffset o;
    ParseUtcOffset(&o, text);
    return {o.hours, o.minutes, o.seconds};
}

TEST(IcsValueParsers, DateTimeDigitsArePairsFromTheRight) {
    EXPECT_EQ(Fields("20201231T101530Z"), (std::vector<int>{2020, 12, 31, 10, 15, 30}));
    EXPECT_EQ(Fields("20200229"), (std::vector<int>{2020, 2, 29, 0, 0, 0}));
    EXPECT_EQ(Fields(nullptr), (std::vector<int>{0, 0, 0, 0, 0, 0}));
    // Only the first 127 characters are looked at: their last pairs are zeros.
    const std::string text = "20201231T1015" + std::string(114, '0') + std::string(500, '9');
    EXPECT_EQ(Fields(text.c_str())[3], 0);
}

TEST(IcsValueParsers, UtcOffsetSignBelongsToTheHours) {
    EXPECT_EQ(Offset("-0530"), (std::vector<int>{-5, 30, 0}));
    // With zero hours the minutes carry the sign, so the offset keeps its direction.
    EXPECT_EQ(Offset("-0030"), (std::vector<int>{0, -30, 0}));
    EXPECT_EQ(Offset("-003015"), (std::vector<int>{0, -30, -15}));
    EXPECT_EQ(Offset("+013045"), (std::vector<int>{1, 30, 45}));
    EXPECT_EQ(Offset("+0000"), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Offset(std::string(400, '1').c_str())[1], 11);  // no overrun
}

TEST(IcsValueParsers, IntListsAreSortedBoundedAndCut) {
    std::int32_t days[32] = {};
    ParseIntList("1,15,-1", days, 31);
    EXPECT_EQ(std::vector<int>(days, days + 4), (std::vector<int>{-1, 1, 15, 0}));
    std::int32_t two[3] = {0, 0, 77};
    ParseIntList("5,4,3,2", two, 2);
    EXPECT_EQ(std::vector<int>(two, two + 3), (std::vector<int>{4, 5, 77}));
    std::int32_t one[1] = {9};
    ParseIntList("", one, 1);
    EXPECT_EQ(one[0], 9);
    ParseIntList("12345678901234567890", one, 1);  // read from its first 15 characters
    EXPECT_EQ(one[0], INT_MAX);
}

TEST(IcsValueParsers, WeekdayMasksAndSignedOrdinals) {
    std::int32_t ordinal = 0;
    std::uint32_t mask = 0;
    ParseWeekdays(&ordinal, "MO,WE,FR", &mask);
    EXPECT_EQ(mask, 0x2Au);
    EXPECT_EQ(ordinal, 0);
    ParseWeekdays(&ordinal, "=2TU", &mask);
    EXPECT_EQ(mask, kWeekdayTU);
    EXPECT_EQ(ordinal, 2);
    ParseWeekdays(&ordinal, "-1FR", &mask);  // the last Friday keeps its sign
    EXPECT_EQ(mask, kWeekdayFR);
    EXPECT_EQ(ordinal, -1);
    ParseWeekdays(&ordinal, "123456789SA", &mask);
    EXPECT_EQ(ordinal, 1234567);
    EXPECT_EQ(mask, kWeekdaySA);
    ParseWeekdays(nullptr, "XX,M", &mask);
    EXPECT_EQ(mask, 0u);
}

TEST(IcsValueParsers, StringSetsKeepOneOfEqualValues) {
    RList set;
    set.compare = CompareSetStrings;
    char a[] = "20201231T101530", b[] = "20201231T101530", c[] = "20201231t101530";
    for (char* value : {a, b, c}) {
        EXPECT_EQ(set.AddUnique(value), 0);
    }
    ASSERT_EQ(set.count, 2);
    EXPECT_EQ(set.PayloadAt(0), a);
    EXPECT_EQ(set.tail->payload, c);
    FreeListNodes(&set);
    EXPECT_EQ(set.count, 0);
    RList plain;  // no callback: every value is taken
    plain.AddUnique(a);
    plain.AddUnique(a);
    EXPECT_EQ(plain.count, 2);
    plain.RemoveAll();
}

}  // namespace
