#pragma once
// The dates that a rule's BY-parts allow within one month or one year of a series.
// Safe to share: plain functions on a rule they only read.
#include "ical/recurrence/RIcsRecurrence.h"

#include <cstdint>
#include <vector>

namespace recurrence {

// 0 = Sunday .. 6 = Saturday of a day serial.
int WeekdayOfSerial(std::int64_t serial);

// BYMONTH absent, or listing the month.
bool MonthAllowed(const RIcsRecurrence& rule, int month);

// True when the date passes the rule's BYMONTH, BYMONTHDAY and BYDAY-weekday limits
// (ordinals are not looked at); used where those parts limit a daily or weekly series.
bool PassesLimits(const RIcsRecurrence& rule, const RDateTime& date);

// Bit d (1..31) for each day of the month that BYMONTHDAY and BYDAY (with its ordinal
// counted within the month) allow; without either part, the fallback day when the month has it.
std::uint64_t MonthDayCandidates(const RIcsRecurrence& rule, int year, int month, int fallbackDay);

// Day serials, ascending, of the days the rule allows in one year. `from` gives the month,
// day and weekday that a rule without the matching BY-parts repeats.
void YearCandidates(const RIcsRecurrence& rule, int year, const RDateTime& from,
                    std::vector<std::int64_t>& out);

}  // namespace recurrence
