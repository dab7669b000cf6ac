#include "foundation/datetime/RDateTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

namespace {

RDateTime At(const char* text) {
    RDateTime record;
    record.Parse(text);
    return record;
}

// Every field, spare included, so that a stray value anywhere shows.
std::string Show(const RDateTime& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d/%d", r.year, r.month, r.day, r.hour,
                  r.minute, r.second, r.spare);
    return text;
}

bool IsAllZero(const RDateTime& r) {
    static const unsigned char zero[sizeof(RDateTime)] = {};
    return std::memcmp(&r, zero, sizeof r) == 0;
}

template <typename Change>
std::string After(const char* start, Change change) {
    RDateTime r = At(start);
    change(r);
    return Show(r);
}

TEST(RDateTimeParse, StoredLengthsAndEverythingElse) {
    EXPECT_EQ(Show(At("2014-03-05")), "2014-03-05 00:00:00/0");
    EXPECT_EQ(Show(At("2014-03-05 07:30")), "2014-03-05 07:30:00/0");
    EXPECT_EQ(Show(At("2014-03-05 07:30:15")), "2014-03-05 07:30:15/0");
    EXPECT_EQ(Show(At("2014-03-05T07:30:15")), "2014-03-05 00:00:00/0");  // 'T' stops the reading
    for (const char* text : {"2014-03-05 07:3", "", "20140305", static_cast<const char*>(nullptr)}) {
        EXPECT_TRUE(IsAllZero(At(text)));
    }
    EXPECT_TRUE(IsAllZero(At(std::string(5000, '9').c_str())));
}

// Texts of the stored lengths that are not written exactly still read as the C library's
// scanner reads them, field by field.
TEST(RDateTimeParse, NearlyExactTextsReadAsTheScannerReadsThem) {
    for (const char* text : {" 2014-3-05", "2014-03-05  7:30", "+014-03-05", "2014-03-05 07:30:1x", "2014-03-0x",
                             "-014-03-05 07:30", "2014-03-05 07:3a", "2014/03/05", "9999-99-99 99:99:99"}) {
        int f[6] = {0, 0, 0, 0, 0, 0};
        const std::size_t length = std::strlen(text);
        ASSERT_TRUE(length == 10 || length == 16 || length == 19) << text;
        const char* form = length == 10 ? "%04d-%02d-%02d" : length == 16 ? "%04d-%02d-%02d %02d:%02d"
                                                                           : "%04d-%02d-%02d %02d:%02d:%02d";
        const int read = std::sscanf(text, form, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d/0", f[0], f[1], f[2], f[3], f[4], f[5]);
        if (read <= 0) {
            EXPECT_TRUE(IsAllZero(At(text))) << text;
        } else {
            EXPECT_EQ(Show(At(text)), expected) << text;
        }
    }
}

TEST(RDateTimeArithmetic, LeapYearsMonthLengthsAndDayNumbers) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_EQ(DaysInMonth(2016, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2015, 13), 0);
    EXPECT_EQ(At("2014-03-05 12:00:00").ToDayNumber() - At("2014-03-05").ToDayNumber(), 0.5L);
    EXPECT_LT(At("2014-12-31 23:59").ToDayNumber(), At("2015-01-01").ToDayNumber());
    // Differences are durations, across New Year too (after a common and after a leap year),
    // and AddDays of such a difference lands on the later record.
    EXPECT_EQ(At("2015-01-01").ToDayNumber() - At("2014-12-31").ToDayNumber(), 1.0L);
    EXPECT_NEAR(static_cast<double>(At("2025-01-01 02:00").ToDayNumber() - At("2024-12-31 20:00").ToDayNumber()), 0.25,
                1e-9);
    EXPECT_EQ(At("2001-03-01").ToDayNumber() - At("1999-03-01").ToDayNumber(), 731.0L);
    RDateTime end = At("2024-12-31 20:00");
    end.AddDays(static_cast<double>(At("2025-01-01 02:00").ToDayNumber() - end.ToDayNumber()));
    EXPECT_EQ(Show(end), "2025-01-01 02:00:00/0");
    RDateTime odd = At("2014-03-05");
    odd.month = 60000;  // must not read past the month table
    EXPECT_GT(odd.ToDayNumber(), 0.0L);
}

TEST(RDateTimeArithmetic, AddDaysCrossesDaysMonthsAndYears) {
    EXPECT_EQ(After("2014-06-10 23:00", [](RDateTime& r) { r.AddDays(1.0 / 24); }), "2014-06-11 00:00:00/0");
    EXPECT_EQ(After("2014-12-31 18:00", [](RDateTime& r) { r.AddDays(0.5); }), "2015-01-01 06:00:00/0");
    EXPECT_EQ(After("2016-01-01", [](RDateTime& r) { r.AddDays(366); }), "2017-01-01 00:00:00/0");
    EXPECT_EQ(After("2016-02-28", [](RDateTime& r) { r.AddDays(1.5); }), "2016-02-29 12:00:00/0");
    EXPECT_EQ(After("2014-12-31 23:59", [](RDateTime& r) { r.AddDays(1.0 / 1440); }), "2015-01-01 00:00:00/0");
    // The month step keeps the day number: 31 January + 31 days reads 31 February.
    EXPECT_EQ(After("2015-01-31", [](RDateTime& r) { r.AddDays(31); }), "2015-02-31 00:00:00/0");
    // Seconds do not carry into minutes.
    EXPECT_EQ(After("2015-01-01 00:00:30", [](RDateTime& r) { r.AddDays(45.0 / 86400); }), "2015-01-01 00:00:75/0");
}

TEST(RDateTimeArithmetic, AddDaysOfWholeMinutesLosesNoSecond) {
    // Durations such as 30 minutes (30/1440 of a day) must not come out as 29:59. The expected
    // times come from the standard library's calendar.
    using namespace std::chrono;
    const sys_days start{year{2014} / March / 5};
    for (int minutes = 1; minutes < 2 * 1440; ++minutes) {
        RDateTime r = At("2014-03-05");
        r.AddDays(minutes / 1440.0);
        const sys_time<std::chrono::minutes> expected = start + std::chrono::minutes{minutes};
        const year_month_day date{floor<days>(expected)};
        const hh_mm_ss time{expected - floor<days>(expected)};
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:00/0", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                      static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()));
        ASSERT_EQ(Show(r), text) << minutes;
    }
}

TEST(RDateTimeArithmetic, AddDaysIgnoresAmountsItCannotStep) {
    for (double amount : {-1.0, 0.0, 1e300, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(After("2015-03-01 10:00", [amount](RDateTime& r) { r.AddDays(amount); }), "2015-03-01 10:00:00/0");
    }
    RDateTime zero;
    zero.AddDays(5);
    zero.NextDay();
    EXPECT_TRUE(IsAllZero(zero));
}

TEST(RDateTimeArithmetic, NextAndPreviousDayRollOver) {
    EXPECT_EQ(After("2016-02-28 08:15", [](RDateTime& r) { r.NextDay(); }), "2016-02-29 08:15:00/0");
    EXPECT_EQ(After("2015-02-28", [](RDateTime& r) { r.NextDay(); }), "2015-03-01 00:00:00/0");
    EXPECT_EQ(After("2015-12-31", [](RDateTime& r) { r.NextDay(); }), "2016-01-01 00:00:00/0");
    EXPECT_EQ(After("2016-03-01", [](RDateTime& r) { r.PreviousDay(); }), "2016-02-29 00:00:00/0");
    EXPECT_EQ(After("2015-03-01", [](RDateTime& r) { r.PreviousDay(); }), "2015-02-28 00:00:00/0");
    EXPECT_EQ(After("2015-01-01 23:00", [](RDateTime& r) { r.PreviousDay(); }), "2014-12-31 23:00:00/0");
}

TEST(RDateTimeArithmetic, DaysOfYearAndIsoWeeks) {
    auto dayOfYear = [](int number, int year) { RDateTime r; r.FromDayOfYear(number, year); return Show(r); };
    EXPECT_EQ(dayOfYear(60, 2016), "2016-02-29 00:00:00/0");
    EXPECT_EQ(dayOfYear(60, 2015), "2015-03-01 00:00:00/0");
    EXPECT_EQ(dayOfYear(366, 2015), "2016-01-01 00:00:00/0");
    EXPECT_EQ(dayOfYear(0, 2015), "2014-12-31 00:00:00/0");
    EXPECT_EQ(dayOfYear(146097 + 1, 2000), "2400-01-01 00:00:00/0");

    EXPECT_EQ(WeeksInIsoYear(2015), 53);  // starts on a Thursday
    EXPECT_EQ(WeeksInIsoYear(2020), 53);  // Wednesday in a leap year
    EXPECT_EQ(WeeksInIsoYear(2014), 52);
    EXPECT_EQ(WeeksInIsoYear(2019), 52);

    auto isoWeek = [](int year, int week) { RDateTime r; r.FromIsoWeek(year, week); return Show(r); };
    EXPECT_EQ(isoWeek(2015, 1), "2014-12-29 00:00:00/0");
    EXPECT_EQ(isoWeek(2017, 1), "2017-01-02 00:00:00/0");
    EXPECT_EQ(isoWeek(2020, 53), "2020-12-28 00:00:00/0");
    EXPECT_EQ(isoWeek(2015, 54), "2016-01-04 00:00:00/0");
    RDateTime far;
    far.FromIsoWeek(2015, 2000000000);  // no long loop, no overflow
    EXPECT_GT(far.year, 2015);
}

TEST(RDateTimeCompare, DateTimesAndSystemTimes) {
    EXPECT_EQ(CompareDateTime(At("2014-12-31 23:59:59"), At("2015-01-01")), -1);
    EXPECT_EQ(CompareDateTime(At("2015-01-01 00:00:01"), At("2015-01-01")), 1);
    EXPECT_EQ(CompareDateTime(At("2015-01-01"), At("2015-01-01 00:00")), 0);

    SYSTEMTIME a{2014, 12, 3, 31, 0, 0, 0, 0};
    SYSTEMTIME b{2015, 1, 4, 1, 0, 0, 0, 0};
    EXPECT_EQ(CompareSystemTime(a, b), -1);
    EXPECT_EQ(CompareSystemTime(b, a), 1);
    SYSTEMTIME c = a;
    c.wDayOfWeek = 6;  // the weekday is not compared
    EXPECT_EQ(CompareSystemTime(a, c), 0);
    c.wMilliseconds = 1;
    EXPECT_EQ(CompareSystemTime(a, c), -1);
}

TEST(RDateTimeSystemTime, CopiesFieldsAndTheCurrentTimeIsPerThread) {
    const SYSTEMTIME source{2015, 7, 2, 14, 9, 41, 7, 999};
    RDateTime r;
    r.FromSystemTime(&source);
    EXPECT_EQ(Show(r), "2015-07-14 09:41:07/0");
    r.FromSystemTime(nullptr);
    EXPECT_TRUE(IsAllZero(r));

    const RDateTime* mine = GetCurrentLocalDateTime();
    EXPECT_GE(mine->year, 2024);
    const RDateTime* other = nullptr;
    std::thread([&other] { other = GetCurrentLocalDateTime(); }).join();
    EXPECT_NE(mine, other);
}

}  // namespace
