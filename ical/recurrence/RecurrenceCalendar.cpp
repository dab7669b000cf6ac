#include "ical/recurrence/RecurrenceCalendar.h"

namespace recurrence {

int Weekday(int year, int month, int day) {
    static constexpr int kMonthOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const std::int64_t y = month < 3 ? static_cast<std::int64_t>(year) - 1 : year;
    const std::int64_t w = (y + y / 4 - y / 100 + y / 400 + kMonthOffsets[(month - 1) % 12] + day) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

// Howard Hinnant's days-from-civil: exact for every proleptic Gregorian date.
std::int64_t DaySerial(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void SetDateFromSerial(RDateTime& date, std::int64_t serial) {
    serial += 719468;
    const std::int64_t era = (serial >= 0 ? serial : serial - 146096) / 146097;
    const std::int64_t dayOfEra = serial - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    date.year = static_cast<std::int32_t>(year);
    date.month = static_cast<std::uint16_t>(month);
    date.day = static_cast<std::uint16_t>(day);
}

bool IsSteppable(const RDateTime& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

}  // namespace recurrence
