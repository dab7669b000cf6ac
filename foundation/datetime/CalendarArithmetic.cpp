#include "foundation/datetime/RDateTime.h"

#include "platform/timezone/CivilTime.h"

#include <climits>
#include <cmath>

namespace {

constexpr int kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr double kHour = 1.0 / 24;       // 0.041666666666666664
// Beyond about ten thousand years the day loops below would run for very long; such an
// amount is no date arithmetic the program does, so it is ignored.
constexpr double kMaxAddDays = 3660000.0;
constexpr int kDaysIn400Years = 146097;

bool HasValidMonth(const RDateTime& record) { return record.month >= 1 && record.month <= 12; }

int YearLength(int year) { return IsLeapYear(static_cast<unsigned>(year)) ? 366 : 365; }

void NextMonth(RDateTime& record) {
    if (record.month >= 12) {
        record.month = 1;
        ++record.year;
    } else {
        ++record.month;
    }
}

// One day forward as the day step of AddDays does it: a day at or past the month's end
// becomes day 1 of the next month.
void StepOneDay(RDateTime& record) {
    if (record.day < DaysInMonth(record.year, record.month)) {
        ++record.day;
    } else {
        record.day = 1;
        NextMonth(record);
    }
}

}  // namespace

bool IsLeapYear(unsigned year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) {
        return 0;
    }
    if (month == 2 && IsLeapYear(static_cast<unsigned>(year))) {
        return 29;
    }
    return kMonthLengths[month - 1];
}

long double RDateTime::ToDayNumber() const {
    // The days of all earlier years counted with their leap days: a flat 365.25 per year would
    // put 1.25 days between 31 December and 1 January (0.25 after a leap year), so a duration
    // across New Year came out hours too long, or even negative.
    long double value = static_cast<long double>(platform::civil::DaysFromCivil(year, 1, 1));
    const int lastFullMonth = month > 12 ? 12 : month - 1;
    for (int m = 1; m <= lastFullMonth; ++m) {
        value += DaysInMonth(year, m);
    }
    value += day;
    if (hour != 0 || minute != 0 || second != 0) {
        value += static_cast<long double>(hour * 3600 + minute * 60 + second) / 86400.0L;
    }
    return value;
}

void RDateTime::AddDays(double days) {
    if (!(days > 0.0) || days > kMaxAddDays || !HasValidMonth(*this) || year > INT_MAX - 20000) {
        return;
    }
    double rest = days;
    while (rest >= YearLength(year)) {
        rest -= YearLength(year);
        ++year;
    }
    while (rest >= DaysInMonth(year, month)) {
        rest -= DaysInMonth(year, month);
        NextMonth(*this);
    }
    while (rest >= 1.0) {
        StepOneDay(*this);
        rest -= 1.0;
    }
    // An hour that lost its last bits to rounding still counts as an hour.
    if (rest > 0.041666 && rest < kHour) {
        rest += 0.0000004;
    }
    // The rest of the day is counted in whole seconds: subtracting hours and minutes as
    // binary fractions drifts, and 30 minutes would come out as 29:59.
    long long seconds = std::llround(rest * 86400.0);
    while (seconds >= 3600) {
        if (++hour > 23) {
            hour = 0;
            StepOneDay(*this);
        }
        seconds -= 3600;
    }
    while (seconds >= 60) {
        if (++minute == 60) {
            minute = 0;
            if (++hour > 23) {
                hour = 0;
                StepOneDay(*this);
            }
        }
        seconds -= 60;
    }
    // Seconds do not carry into minutes.
    second = static_cast<std::int16_t>(second + seconds);
}

void RDateTime::NextDay() {
    if (!HasValidMonth(*this)) {
        return;
    }
    ++day;
    if (day > DaysInMonth(year, month)) {
        day = 1;
        NextMonth(*this);
    }
}

void RDateTime::PreviousDay() {
    if (!HasValidMonth(*this)) {
        return;
    }
    if (day > 1) {
        --day;
        return;
    }
    if (month == 1) {
        month = 12;
        --year;
    } else {
        --month;
    }
    day = static_cast<std::uint16_t>(DaysInMonth(year, month));
}

void RDateTime::FromDayOfYear(int dayNumber, int yearNumber) {
    *this = RDateTime{};
    long long rest = dayNumber;
    long long y = yearNumber;
    // Whole 400-year cycles first so that large numbers cost no long loop.
    if (rest > kDaysIn400Years) {
        const long long cycles = (rest - 1) / kDaysIn400Years;
        rest -= cycles * kDaysIn400Years;
        y += cycles * 400;
    }
    while (rest > YearLength(static_cast<int>(y))) {
        rest -= YearLength(static_cast<int>(y));
        ++y;
    }
    // Day 0 and below count back into the previous years.
    while (rest < 1) {
        --y;
        rest += YearLength(static_cast<int>(y));
    }
    year = static_cast<std::int32_t>(y);
    month = 1;
    while (rest > DaysInMonth(year, month)) {
        rest -= DaysInMonth(year, month);
        ++month;
    }
    day = static_cast<std::uint16_t>(rest);
}
