#include "ical/recurrence/RecurrenceCalendar.h"

#include <gtest/gtest.h>

namespace {

TEST(RecurrenceCalendar, WeekdaysOfKnownDates) {
    EXPECT_EQ(recurrence::Weekday(1970, 1, 1), 4);    // Thursday
    EXPECT_EQ(recurrence::Weekday(2000, 2, 29), 2);   // Tuesday
    EXPECT_EQ(recurrence::Weekday(1900, 3, 1), 4);    // Thursday: 1900 was not a leap year
    EXPECT_EQ(recurrence::Weekday(1969, 12, 27), 6);  // Saturday, before day 0
    EXPECT_EQ(recurrence::Weekday(2026, 1, 32), recurrence::Weekday(2026, 2, 1));
}

TEST(RecurrenceCalendar, SerialsRoundTripAndCountOnPastTheMonthEnd) {
    EXPECT_EQ(recurrence::DaySerial(1970, 1, 1), 0);
    EXPECT_EQ(recurrence::DaySerial(1969, 12, 31), -1);
    EXPECT_EQ(recurrence::DaySerial(2024, 2, 30), recurrence::DaySerial(2024, 3, 1));
    RDateTime date{};
    date.hour = 9;
    recurrence::SetDateFromSerial(date, recurrence::DaySerial(2024, 2, 29));
    EXPECT_EQ(date.year, 2024);
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 29);
    EXPECT_EQ(date.hour, 9);  // time fields stay
    recurrence::SetDateFromSerial(date, -1);
    EXPECT_EQ(date.year, 1969);
    EXPECT_EQ(date.month, 12);
    EXPECT_EQ(date.day, 31);
}

}  // namespace
