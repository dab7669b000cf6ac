#pragma once
// Small value readers shared by the property and rule readers: date-time digits, UTC
// offsets, integer lists and weekday lists.
// Safe to share: plain functions on their arguments.
#include <cstdint>
#include <string_view>

#include "foundation/datetime/RDateTime.h"

// A UTC offset as written: the sign belongs to the hours (-0530: hours -5, minutes 30), or to
// the minutes and seconds when the hours are zero (-0030: minutes -30).
struct RIcsUtcOffset {
    std::int16_t hours = 0;
    std::int16_t minutes = 0;
    std::int16_t seconds = 0;
};

// Weekday bits of a BYDAY or WKST mask.
constexpr std::uint32_t kWeekdaySU = 0x01;
constexpr std::uint32_t kWeekdayMO = 0x02;
constexpr std::uint32_t kWeekdayTU = 0x04;
constexpr std::uint32_t kWeekdayWE = 0x08;
constexpr std::uint32_t kWeekdayTH = 0x10;
constexpr std::uint32_t kWeekdayFR = 0x20;
constexpr std::uint32_t kWeekdaySA = 0x40;

// Digits of an iCalendar DATE or DATE-TIME, read in pairs from the right. Only the first
// 127 characters of the text are looked at. A null text leaves the record zero.
void ParseIcsDateTimeDigits(RDateTime* out, const char* text);

// True for the forms a DATE or DATE-TIME takes (YYYYMMDD, YYYYMMDDTHHMMSS, ...Z) naming a real
// calendar day and time of day; other text would not be written back as it was read.
bool IsIcsDateTimeText(const char* text);
// IsIcsDateTimeText that also gives the digits read (as ParseIcsDateTimeDigits reads them).
// `out` is written only when the text is such a value.
[[nodiscard]] bool ReadIcsDateTimeText(const char* text, RDateTime* out);
// The same over a text of known length (which holds no NUL).
[[nodiscard]] bool ReadIcsDateTimeText(std::string_view text, RDateTime* out);

// [+-]HHMM[SS]; only the first 127 characters are looked at.
void ParseUtcOffset(RIcsUtcOffset* out, const char* text);
// The same over a text of known length, which need not be terminated.
void ParseUtcOffset(RIcsUtcOffset* out, std::string_view text);

// Comma-separated integers, at most `max` of them (out must hold that many), sorted ascending;
// entries of `out` beyond those read keep their contents. A value of more than 15
// characters is read from its first 15.
void ParseIntList(const char* text, std::int32_t* out, int max);
// ParseIntList, giving the number of values read (the entries of `out` it wrote).
[[nodiscard]] int ReadIntList(const char* text, std::int32_t* out, int max);

// An optional ordinal followed by two-letter weekdays (2TU, MO,WE,FR, -1FR). A signed
// ordinal is kept with its sign; at most 7 digits are read. Either output may be null.
void ParseWeekdays(std::int32_t* ordinalOut, const char* text, std::uint32_t* maskOut);

int CompareInts(const std::int32_t* a, const std::int32_t* b);
