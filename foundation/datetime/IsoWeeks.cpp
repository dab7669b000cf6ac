#include "foundation/datetime/RDateTime.h"

#include <climits>

namespace {

// Weekday of 1 January, 0 = Sunday .. 6 = Saturday.
int WeekdayOfNewYear(int year) {
    const long long y = static_cast<long long>(year) - 1;
    const long long w = (y + y / 4 - y / 100 + y / 400 + 1) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

constexpr int kIsoWeeksIn400Years = 146097 / 7;

}  // namespace

int WeeksInIsoYear(int year) {
    const int w = WeekdayOfNewYear(year);
    if (w == 4 || (w == 3 && IsLeapYear(static_cast<unsigned>(year)))) {
        return 53;
    }
    return 52;
}

void RDateTime::FromIsoWeek(int yearNumber, int week) {
    int y = yearNumber;
    // The Gregorian calendar repeats its weeks every 400 years.
    if (week > kIsoWeeksIn400Years + 53) {
        const int cycles = (week - 53) / kIsoWeeksIn400Years;
        week -= cycles * kIsoWeeksIn400Years;
        y += cycles * 400;
    }
    while (week > WeeksInIsoYear(y)) {
        week -= WeeksInIsoYear(y);
        ++y;
    }
    // Day of the Monday of week 1, less one, by the weekday of 1 January.
    static constexpr int kOffsets[7] = {1, 0, -1, -2, -3, 3, 2};
    long long dayNumber = kOffsets[WeekdayOfNewYear(y)] + 7LL * week - 6;
    if (dayNumber <= 0) {
        --y;
        dayNumber += IsLeapYear(static_cast<unsigned>(y)) ? 366 : 365;
    }
    FromDayOfYear(dayNumber < INT_MIN ? INT_MIN : static_cast<int>(dayNumber), y);
}
