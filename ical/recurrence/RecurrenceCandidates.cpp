#include "ical/recurrence/RecurrenceCandidates.h"

#include "ical/recurrence/RecurrenceCalendar.h"
#include "platform/timezone/CivilTime.h"

#include <algorithm>

namespace recurrence {

namespace {

// A list entry counted from the end when negative (-1: the last); 0 when out of range.
int Resolve(int value, int length) {
    const int resolved = value > 0 ? value : length + 1 + value;
    return resolved >= 1 && resolved <= length ? resolved : 0;
}

bool MonthDayAllowed(const RIcsRecurrence& rule, int year, int month, int day) {
    if (rule.byMonthDay[0] == 0) {
        return true;
    }
    const int length = DaysInMonth(year, month);
    for (const std::int32_t* entry = rule.byMonthDay; *entry != 0; ++entry) {
        if (Resolve(*entry, length) == day) {
            return true;
        }
    }
    return false;
}

bool WeekdayAllowed(std::uint32_t mask, int weekday) { return mask == 0 || (mask & (1u << weekday)) != 0; }

// Days of the month whose weekday is in the mask, limited to the ordinal-th (from the end
// when negative) of each weekday when an ordinal is given.
std::uint64_t WeekdaysInMonth(int year, int month, std::uint32_t mask, int ordinal) {
    const int length = DaysInMonth(year, month);
    const int firstWeekday = Weekday(year, month, 1);
    std::uint64_t days = 0;
    for (int day = 1; day <= length; ++day) {
        if ((mask & (1u << ((firstWeekday + day - 1) % 7))) == 0) {
            continue;
        }
        const int fromStart = (day - 1) / 7 + 1;
        const int fromEnd = (length - day) / 7 + 1;
        if (ordinal == 0 || (ordinal > 0 && fromStart == ordinal) || (ordinal < 0 && fromEnd == -ordinal)) {
            days |= std::uint64_t{1} << day;
        }
    }
    return days;
}

}  // namespace

int WeekdayOfSerial(std::int64_t serial) { return platform::civil::WeekdayFromDays(serial); }

bool MonthAllowed(const RIcsRecurrence& rule, int month) {
    if (rule.byMonth[0] == 0) {
        return true;
    }
    for (const std::int32_t* entry = rule.byMonth; *entry != 0; ++entry) {
        if (*entry == month) {
            return true;
        }
    }
    return false;
}

bool PassesLimits(const RIcsRecurrence& rule, const RDateTime& date) {
    return MonthAllowed(rule, date.month) && MonthDayAllowed(rule, date.year, date.month, date.day) &&
           WeekdayAllowed(rule.byDayMask, Weekday(date.year, date.month, date.day));
}

std::uint64_t MonthDayCandidates(const RIcsRecurrence& rule, int year, int month, int fallbackDay) {
    const int length = DaysInMonth(year, month);
    if (rule.byMonthDay[0] != 0) {
        std::uint64_t days = 0;
        for (const std::int32_t* entry = rule.byMonthDay; *entry != 0; ++entry) {
            if (const int day = Resolve(*entry, length); day != 0) {
                days |= std::uint64_t{1} << day;
            }
        }
        if (rule.byDayMask != 0) {
            days &= WeekdaysInMonth(year, month, rule.byDayMask, rule.byDayOrdinal);
        }
        return days;
    }
    if (rule.byDayMask != 0) {
        return WeekdaysInMonth(year, month, rule.byDayMask, rule.byDayOrdinal);
    }
    // A month without the series' day (31 April, 29 February) has no occurrence.
    return fallbackDay >= 1 && fallbackDay <= length ? std::uint64_t{1} << fallbackDay : 0;
}

void YearCandidates(const RIcsRecurrence& rule, int year, const RDateTime& from,
                    std::vector<std::int64_t>& out) {
    out.clear();
    const std::int64_t newYear = DaySerial(year, 1, 1);
    if (rule.byYearDay[0] != 0) {
        const int length = IsLeapYear(static_cast<unsigned>(year)) ? 366 : 365;
        for (const std::int32_t* entry = rule.byYearDay; *entry != 0; ++entry) {
            const int dayOfYear = Resolve(*entry, length);
            if (dayOfYear == 0) {
                continue;
            }
            RDateTime date;
            SetDateFromSerial(date, newYear + dayOfYear - 1);
            if (PassesLimits(rule, date)) {
                out.push_back(newYear + dayOfYear - 1);
            }
        }
    } else if (rule.byWeekNo[0] != 0) {
        const int weeks = WeeksInIsoYear(year);
        const int seriesWeekday = Weekday(from.year, from.month, from.day);
        for (const std::int32_t* entry = rule.byWeekNo; *entry != 0; ++entry) {
            const int week = Resolve(*entry, weeks);
            if (week == 0) {
                continue;
            }
            RDateTime monday;
            monday.FromIsoWeek(year, week);
            const std::int64_t first = DaySerial(monday.year, monday.month, monday.day);
            for (int offset = 0; offset < 7; ++offset) {
                const int weekday = WeekdayOfSerial(first + offset);
                const bool dayMatches = rule.byDayMask != 0 ? (rule.byDayMask & (1u << weekday)) != 0
                                                            : weekday == seriesWeekday;
                RDateTime date;
                SetDateFromSerial(date, first + offset);
                if (dayMatches && MonthAllowed(rule, date.month)) {
                    out.push_back(first + offset);
                }
            }
        }
    } else if (rule.byMonth[0] == 0 && rule.byDayMask != 0 && rule.byDayOrdinal != 0) {
        // Without BYMONTH an ordinal counts within the whole year (20MO: the year's 20th Monday).
        std::vector<std::int64_t> matching;
        const int length = IsLeapYear(static_cast<unsigned>(year)) ? 366 : 365;
        for (int offset = 0; offset < length; ++offset) {
            if ((rule.byDayMask & (1u << WeekdayOfSerial(newYear + offset))) != 0) {
                matching.push_back(newYear + offset);
            }
        }
        const int count = static_cast<int>(matching.size());
        const int ordinal = rule.byDayOrdinal;
        const int index = ordinal > 0 ? ordinal - 1 : count + ordinal;
        if (index >= 0 && index < count) {
            RDateTime date;
            SetDateFromSerial(date, matching[static_cast<std::size_t>(index)]);
            if (MonthDayAllowed(rule, date.year, date.month, date.day)) {
                out.push_back(matching[static_cast<std::size_t>(index)]);
            }
        }
    } else {
        // Without BYMONTH, a BYDAY or BYMONTHDAY part expands over every month of the year;
        // with neither, the series stays in its own month.
        static constexpr std::int32_t kEveryMonth[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0};
        const std::int32_t seriesMonth[2] = {from.month, 0};
        const bool expands = rule.byMonthDay[0] != 0 || rule.byDayMask != 0;
        const std::int32_t* months = rule.byMonth[0] != 0 ? static_cast<const std::int32_t*>(rule.byMonth)
                                                          : (expands ? kEveryMonth : seriesMonth);
        for (const std::int32_t* month = months; *month != 0; ++month) {
            if (*month < 1 || *month > 12) {
                continue;
            }
            const std::uint64_t days = MonthDayCandidates(rule, year, *month, from.day);
            for (int day = 1; day <= 31; ++day) {
                if ((days & (std::uint64_t{1} << day)) != 0) {
                    out.push_back(DaySerial(year, *month, day));
                }
            }
        }
    }
    std::sort(out.begin(), out.end());
}

}  // namespace recurrence
