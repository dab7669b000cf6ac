#include "ical/recurrence/RecurrenceCalendar.h"

#include "platform/timezone/CivilTime.h"

namespace recurrence {

int Weekday(int year, int month, int day) {
    return platform::civil::WeekdayFromDays(platform::civil::DaysFromCivil(year, month, day));
}

std::int64_t DaySerial(std::int64_t year, int month, int day) { return platform::civil::DaysFromCivil(year, month, day); }

void SetDateFromSerial(RDateTime& date, std::int64_t serial) {
    const platform::civil::Date civil = platform::civil::CivilFromDays(serial);
    date.year = static_cast<std::int32_t>(civil.year);
    date.month = static_cast<std::uint16_t>(civil.month);
    date.day = static_cast<std::uint16_t>(civil.day);
}

bool IsSteppable(const RDateTime& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31;
}

}  // namespace recurrence
