#pragma once
// Day-level calendar helpers for the recurrence stepper: weekdays and day serial numbers,
// which let a step move any number of days without a day-by-day loop.
// Safe to share: plain functions.
#include "foundation/datetime/RDateTime.h"

#include <cstdint>

namespace recurrence {

// 0 = Sunday .. 6 = Saturday.
int Weekday(int year, int month, int day);

// Days since 1 January 1970 of a proleptic Gregorian date; day may exceed the month.
std::int64_t DaySerial(std::int64_t year, int month, int day);

// The date of a day serial; the time fields of `date` stay.
void SetDateFromSerial(RDateTime& date, std::int64_t serial);

// True when month and day lie in 1..12 and 1..31 (a day past the month's end counts on into
// the next month).
bool IsSteppable(const RDateTime& date);

}  // namespace recurrence
