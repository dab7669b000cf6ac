// The FREQ steps. Each finds the first date-time after the given one that the rule allows,
// searching period by period (day, week, month, year) and giving up after a bounded number
// of periods or past the last supported year, so that no rule can keep a caller looping.
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/recurrence/RecurrenceCalendar.h"
#include "ical/recurrence/RecurrenceCandidates.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

using namespace recurrence;

namespace {

constexpr int kMaxPeriods = 100000;

std::int64_t SerialOf(const RDateTime& date) { return DaySerial(date.year, date.month, date.day); }

std::int64_t LastSerial() { return DaySerial(RIcsRecurrence::kLastYear, 12, 31); }

// The weekday that starts a week: the WKST day, Monday when none is given.
int WeekStart(std::uint32_t wkstMask) {
    return wkstMask != 0 ? std::countr_zero(wkstMask & 0x7Fu) % 7 : 1;
}

}  // namespace

bool RIcsRecurrence::StepForward(RDateTime& date, const RDateTime* lowerBound) const {
    if (interval <= 0 || !IsSteppable(date) || date.year < 1 || date.year > kLastYear) {
        return false;
    }
    const RDateTime before = date;
    bool moved = false;
    if (std::strcmp(freq, "YEARLY") == 0) {
        moved = NextYearly(date, lowerBound);
    } else if (std::strcmp(freq, "MONTHLY") == 0) {
        moved = NextMonthly(date);
    } else if (std::strcmp(freq, "WEEKLY") == 0) {
        moved = NextWeekly(date);
    } else if (std::strcmp(freq, "DAILY") == 0) {
        moved = NextDaily(date);
    } else if (std::strcmp(freq, "HOURLY") == 0) {
        moved = NextBySeconds(date, std::int64_t{interval} * 3600);
    } else if (std::strcmp(freq, "MINUTELY") == 0) {
        moved = NextBySeconds(date, std::int64_t{interval} * 60);
    } else if (std::strcmp(freq, "SECONDLY") == 0) {
        moved = NextBySeconds(date, interval);
    }
    // Whatever the step, the series only ever moves forward.
    return moved && date.year <= kLastYear && CompareDateTime(date, before) > 0;
}

bool RIcsRecurrence::NextYearly(RDateTime& date, const RDateTime* lowerBound) const {
    const std::int64_t from = SerialOf(date);
    std::int64_t year = date.year;
    // Years wholly before the lower bound are skipped in one jump; with a COUNT every
    // occurrence has to be counted, so none may be skipped.
    // Week numbers may put days of a year into the next one, so then one year less is skipped.
    const std::int64_t firstUseful = lowerBound == nullptr ? 0 : lowerBound->year - (byWeekNo[0] != 0 ? 1 : 0);
    if (lowerBound != nullptr && count <= 0 && firstUseful > year) {
        year += (firstUseful - year + interval - 1) / interval * std::int64_t{interval};
    }
    // A year's first ISO week may end in the next year, so the year before the current one
    // can still hold later days; with week numbers the search starts one period earlier.
    if (byWeekNo[0] != 0) {
        year -= interval;
    }
    std::vector<std::int64_t> candidates;
    candidates.reserve(32);
    for (int period = 0; period < kMaxPeriods && year <= kLastYear; ++period) {
        YearCandidates(*this, static_cast<int>(year), date, candidates);
        const auto next = std::upper_bound(candidates.begin(), candidates.end(), from);
        if (next != candidates.end()) {
            SetDateFromSerial(date, *next);
            return true;
        }
        year += interval;
    }
    return false;
}

bool RIcsRecurrence::NextMonthly(RDateTime& date) const {
    std::int64_t year = date.year;
    std::int64_t month = date.month;
    const int seriesDay = date.day;
    for (int period = 0; period < kMaxPeriods && year <= kLastYear; ++period) {
        if (MonthAllowed(*this, static_cast<int>(month))) {
            std::uint64_t days = MonthDayCandidates(*this, static_cast<int>(year), static_cast<int>(month), seriesDay);
            if (period == 0) {
                days &= ~((std::uint64_t{2} << seriesDay) - 1);  // only days after the current one
            }
            if (days != 0) {
                date.year = static_cast<std::int32_t>(year);
                date.month = static_cast<std::uint16_t>(month);
                date.day = static_cast<std::uint16_t>(std::countr_zero(days));
                return true;
            }
        }
        const std::int64_t monthIndex = month - 1 + interval;
        year += monthIndex / 12;
        month = monthIndex % 12 + 1;
    }
    return false;
}

bool RIcsRecurrence::NextWeekly(RDateTime& date) const {
    const std::int64_t from = SerialOf(date);
    const int fromWeekday = WeekdayOfSerial(from);
    const std::int64_t weekStart = from - (fromWeekday - WeekStart(wkstMask) + 7) % 7;
    const std::uint32_t days = byDayMask != 0 ? byDayMask : (1u << fromWeekday);
    const std::int64_t last = LastSerial();
    // Each listed day once per INTERVAL weeks: the days after the current one in its own
    // week, then the whole week INTERVAL weeks on.
    for (std::int64_t period = 0; period < kMaxPeriods; ++period) {
        const std::int64_t first = weekStart + period * 7 * interval;
        for (int offset = 0; offset < 7; ++offset) {
            const std::int64_t serial = first + offset;
            if (serial <= from) {
                continue;
            }
            if (serial > last) {
                return false;
            }
            if ((days & (1u << WeekdayOfSerial(serial))) == 0) {
                continue;
            }
            RDateTime candidate = date;
            SetDateFromSerial(candidate, serial);
            if (MonthAllowed(*this, candidate.month)) {
                date = candidate;
                return true;
            }
        }
    }
    return false;
}

bool RIcsRecurrence::NextDaily(RDateTime& date) const {
    const std::int64_t from = SerialOf(date);
    const std::int64_t last = LastSerial();
    const bool limited = byMonth[0] != 0 || byMonthDay[0] != 0 || byDayMask != 0;
    for (std::int64_t step = 1; step <= kMaxPeriods; ++step) {
        const std::int64_t serial = from + step * interval;
        if (serial > last) {
            return false;
        }
        RDateTime candidate = date;
        SetDateFromSerial(candidate, serial);
        if (!limited || PassesLimits(*this, candidate)) {
            date = candidate;
            return true;
        }
    }
    return false;
}

bool RIcsRecurrence::NextBySeconds(RDateTime& date, std::int64_t seconds) const {
    const std::int64_t total = std::int64_t{date.hour} * 3600 + std::int64_t{date.minute} * 60 + date.second + seconds;
    const std::int64_t serial = SerialOf(date) + total / 86400;
    if (serial > LastSerial()) {
        return false;
    }
    const std::int64_t rest = total % 86400;
    SetDateFromSerial(date, serial);
    date.hour = static_cast<std::uint16_t>(rest / 3600);
    date.minute = static_cast<std::uint16_t>(rest / 60 % 60);
    date.second = static_cast<std::int16_t>(rest % 60);
    return true;
}
