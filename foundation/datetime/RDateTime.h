#pragma once
// The program's plain calendar date-time (no zone) and the Gregorian arithmetic on it.
// The record is a fixed 16-byte image; an all-zero record stands for "no date".
// Threads: a plain value; share it read-only or copy it. The current-time record is per thread.
#include <cstdint>

#include "platform/core/WinTypes.h"

struct RDateTime {
    std::int32_t year = 0;
    std::uint16_t month = 0;   // 1-12
    std::uint16_t day = 0;     // 1-31
    std::uint16_t hour = 0;    // 0-23
    std::uint16_t minute = 0;  // 0-59
    std::int16_t second = 0;   // 0-59; AddDays never carries seconds into minutes
    std::uint16_t spare = 0;   // always 0

    // Zeroes the record, then reads a stored text of length 10 ("YYYY-MM-DD"),
    // 16 ("YYYY-MM-DD HH:MM") or 19 ("YYYY-MM-DD HH:MM:SS"); any other length or a null text
    // leaves the record all zero. Never reads past the text's terminator.
    void Parse(const char* text);

    // A monotone day count; only differences of two values are meaningful: the number of days,
    // fractions included, between the two records.
    long double ToDayNumber() const;

    // Moves forward by a (possibly fractional) number of days; zero or negative does nothing.
    void AddDays(double days);

    // One calendar day forward / back with month and year roll-over; time fields untouched.
    void NextDay();
    void PreviousDay();

    // Zeroes the record and sets the date of the 1-based day `dayNumber` counted from
    // 1 January of `year` (larger numbers run on into the following years).
    void FromDayOfYear(int dayNumber, int year);

    // Zeroes the record and sets the Monday of ISO-8601 week `week` of `year`.
    void FromIsoWeek(int year, int week);

    // Zeroes the record and copies the date and time fields (milliseconds dropped); null
    // leaves it all zero.
    void FromSystemTime(const SYSTEMTIME* source);
};

static_assert(sizeof(RDateTime) == 16, "RDateTime is a 16-byte record");

bool IsLeapYear(unsigned year);

// 28..31 for month 1..12 of `year`; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// 52 or 53.
int WeeksInIsoYear(int year);

// Three-way by year, month, day, hour, minute, second: -1 when a is earlier.
int CompareDateTime(const RDateTime& a, const RDateTime& b);

// Three-way by wYear, wMonth, wDay, wHour, wMinute, wSecond, wMilliseconds (weekday ignored).
int CompareSystemTime(const SYSTEMTIME& a, const SYSTEMTIME& b);

// The current local date-time. The record is per thread, so a caller may keep the pointer
// until its own next call without another thread overwriting it.
const RDateTime* GetCurrentLocalDateTime();
