#include "store/range/SeriesSeed.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/recurrence/RecurrenceCandidates.h"
#include "platform/timezone/CivilTime.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t DayOf(const RDateTime& date) { return platform::civil::DaysFromCivil(date.year, date.month, date.day); }

void CivilFromDays(std::int64_t z, RDateTime& date) {
    const platform::civil::Date civil = platform::civil::CivilFromDays(z);
    date.year = static_cast<std::int32_t>(civil.year);
    date.month = static_cast<std::uint16_t>(civil.month);
    date.day = static_cast<std::uint16_t>(civil.day);
}

std::int64_t SecondOfDay(const RDateTime& date) { return date.hour * 3600 + date.minute * 60 + date.second; }

int WeekdayOfDay(std::int64_t day) { return platform::civil::WeekdayFromDays(day); }

bool Valid(const RDateTime& date) {
    return date.year >= 1 && date.year <= RIcsRecurrence::kLastYear && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= 31 && date.hour < 24 && date.minute < 60 && date.second >= 0 &&
           date.second < 60;
}

// Day-based rules: the seed lies a whole number of periods after the first occurrence, on a
// day before the bound's day, at the first occurrence's time of day.
bool SeedByDays(const RDateTime& first, const RDateTime& bound, std::int64_t periodDays, RDateTime& seed,
                std::int64_t& periods) {
    const std::int64_t start = DayOf(first);
    const std::int64_t last = DayOf(bound) - 1;
    periods = (last - start) / periodDays;
    if (last <= start || periods <= 0) {
        return false;
    }
    seed = first;
    CivilFromDays(start + periods * periodDays, seed);
    return true;
}

}  // namespace

bool FindSeriesSeed(const RIcsRecurrence& rule, const RDateTime& first, const RDateTime& bound, SeriesSeed& seed) {
    const std::int64_t interval = rule.interval;
    if (interval <= 0 || !Valid(first) || CompareDateTime(first, bound) >= 0) {
        return false;
    }
    const bool counted = rule.count > 0;
    const char* freq = rule.freq;
    std::int64_t periods = 0;

    if (std::strcmp(freq, "DAILY") == 0) {
        // Every INTERVAL-th day; BYMONTH, BYMONTHDAY and BYDAY only thin the days out.
        const bool limited = rule.byMonth[0] != 0 || rule.byMonthDay[0] != 0 || rule.byDayMask != 0;
        if (limited && counted) {
            return false;
        }
        if (!SeedByDays(first, bound, interval, seed.dateTime, periods)) {
            return false;
        }
        seed.generatedCount = static_cast<int>(1 + periods);
        return true;
    }
    if (std::strcmp(freq, "WEEKLY") == 0) {
        // The listed weekdays (or the first occurrence's) once in every INTERVAL weeks.
        if (rule.byMonth[0] != 0 && counted) {
            return false;
        }
        if (!SeedByDays(first, bound, 7 * interval, seed.dateTime, periods)) {
            return false;
        }
        const std::uint32_t days = rule.byDayMask != 0 ? (rule.byDayMask & 0x7Fu) : (1u << WeekdayOfDay(DayOf(first)));
        seed.generatedCount = static_cast<int>(1 + periods * std::popcount(days));
        return true;
    }
    std::int64_t stepSeconds = 0;
    if (std::strcmp(freq, "HOURLY") == 0) {
        stepSeconds = interval * 3600;
    } else if (std::strcmp(freq, "MINUTELY") == 0) {
        stepSeconds = interval * 60;
    } else if (std::strcmp(freq, "SECONDLY") == 0) {
        stepSeconds = interval;
    }
    if (stepSeconds > 0) {
        // Plain arithmetic on the clock; no BY-part takes part.
        const std::int64_t start = DayOf(first) * kSecondsPerDay + SecondOfDay(first);
        const std::int64_t end = DayOf(bound) * kSecondsPerDay + SecondOfDay(bound);
        periods = (end - 1 - start) / stepSeconds;
        if (periods <= 0) {
            return false;
        }
        const std::int64_t at = start + periods * stepSeconds;
        seed.dateTime = first;
        CivilFromDays(at / kSecondsPerDay, seed.dateTime);
        const std::int64_t second = at % kSecondsPerDay;
        seed.dateTime.hour = static_cast<std::uint16_t>(second / 3600);
        seed.dateTime.minute = static_cast<std::uint16_t>(second / 60 % 60);
        seed.dateTime.second = static_cast<std::int16_t>(second % 60);
        seed.generatedCount = static_cast<int>(1 + periods);
        return true;
    }
    if (std::strcmp(freq, "MONTHLY") == 0) {
        // Every INTERVAL-th month. The seed stays in a month of the series, before the bound's month.
        const bool plain = rule.byMonthDay[0] == 0 && rule.byDayMask == 0;
        if (!plain && counted) {
            return false;
        }
        const std::int64_t start = std::int64_t{first.year} * 12 + (first.month - 1);
        const std::int64_t last = std::int64_t{bound.year} * 12 + (bound.month - 1) - 1;
        periods = (last - start) / interval;
        if (last <= start || periods <= 0) {
            return false;
        }
        const std::int64_t month = start + periods * interval;
        seed.dateTime = first;
        seed.dateTime.year = static_cast<std::int32_t>(month / 12);
        seed.dateTime.month = static_cast<std::uint16_t>(month % 12 + 1);
        if (!plain) {
            // Past every day of the seed's month, so stepping goes on with the next month of the
            // series; the day-of-month of a rule with BY-days plays no part in its steps.
            seed.dateTime.day = 31;
            seed.generatedCount = 1;
            return true;
        }
        // A plain monthly series keeps its day and leaves out the months that lack it.
        std::int64_t occurrences = 0;
        for (std::int64_t k = 1; k <= periods; ++k) {
            const std::int64_t m = start + k * interval;
            const int year = static_cast<int>(m / 12);
            const int monthOfYear = static_cast<int>(m % 12 + 1);
            if (recurrence::MonthAllowed(rule, monthOfYear) && first.day <= DaysInMonth(year, monthOfYear)) {
                ++occurrences;
            }
        }
        seed.generatedCount = static_cast<int>(1 + occurrences);
        return true;
    }
    // YEARLY steps skip the years before the range themselves; other rules are stepped.
    return false;
}
