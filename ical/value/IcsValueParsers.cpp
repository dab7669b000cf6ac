#include "ical/value/IcsValueParsers.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ical/model/RIcsFieldLimits.h"

namespace {

constexpr std::size_t kWorkSize = ics_limits::kShortValue + 1;  // value texts are looked at up to the short-value limit
constexpr std::size_t kListValueMax = 15;  // characters of one list value
constexpr int kOrdinalDigitsMax = 7;

// Decimal conversion of text[0, length) (up to a NUL) with the usual sign rules: leading white
// space, one sign, then the digits up to the first other character; saturates at the int range.
// Written out rather than through strtol, which needs a terminated copy: dates call it per field.
int DecimalOf(const char* text, std::size_t length) {
    length = std::min(length, kWorkSize - 1);
    // Date fields are a few plain digits: read them without the general rules.
    if (length > 0 && length <= 9) {
        int digitsValue = 0;
        std::size_t at = 0;
        for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at) {
            digitsValue = digitsValue * 10 + (text[at] - '0');
        }
        if (at == length) {
            return digitsValue;
        }
    }
    std::size_t i = 0;
    while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= INT_MAX) {  // beyond it the result saturates anyway
            value = value * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::size_t BoundedLength(const char* text) { return text == nullptr ? 0 : strnlen(text, kWorkSize - 1); }

}  // namespace

void ParseIcsDateTimeDigits(RDateTime* out, const char* text) {
    if (out == nullptr) {
        return;
    }
    *out = RDateTime{};
    std::size_t length = BoundedLength(text);
    if (length >= 9 && text[8] == 'T') {
        if (text[length - 1] == 'Z') {
            --length;
        }
        if (length >= 13) {
            out->second = static_cast<std::int16_t>(DecimalOf(text + length - 2, 2));
            length -= 2;
        }
        if (length >= 11) {
            out->minute = static_cast<std::uint16_t>(DecimalOf(text + length - 2, 2));
            length -= 2;
        }
        if (length >= 9) {
            out->hour = static_cast<std::uint16_t>(DecimalOf(text + length - 2, 2));
            length -= 2;
        }
    }
    if (length >= 8 && text[length - 1] == 'T') {
        --length;
    }
    if (length >= 6) {
        out->day = static_cast<std::uint16_t>(DecimalOf(text + length - 2, 2));
        length -= 2;
        if (length >= 4) {
            out->month = static_cast<std::uint16_t>(DecimalOf(text + length - 2, 2));
            length -= 2;
        }
    }
    out->year = DecimalOf(text == nullptr ? "" : text, length);
}

bool IsIcsDateTimeText(const char* text) {
    RDateTime parsed;
    return ReadIcsDateTimeText(text, &parsed);
}

bool ReadIcsDateTimeText(const char* text, RDateTime* out) {
    if (text == nullptr) {
        return false;
    }
    return ReadIcsDateTimeText(std::string_view(text, strnlen(text, 17)), out);
}

bool ReadIcsDateTimeText(std::string_view text, RDateTime* out) {
    const std::size_t length = text.size();
    if (length != 8 && length != 15 && length != 16) {
        return false;
    }
    const bool dateTime = length != 8;
    if (dateTime && (text[8] != 'T' || (length == 16 && text[15] != 'Z'))) {
        return false;
    }
    // Each field is a fixed run of digits, as ParseIcsDateTimeDigits reads it. Eight characters
    // are checked and paired at a time: a word whose bytes are all digits has 3 in every high
    // half-byte, also after 6 is added to each byte (which then cannot carry into the next).
    constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
    constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr std::uint64_t kSixes = 0x0606060606060606ULL;
    auto allDigits = [&](std::uint64_t word) {
        return (word & kHighHalves) == kZeros && ((word + kSixes) & kHighHalves) == kZeros;
    };
    // Byte i of the word is character i; after it, 16-bit lane j holds the pair at 2j as a number.
    auto pairs = [&](std::uint64_t word) {
        const std::uint64_t digits = word - kZeros;
        return ((digits * 10) + (digits >> 8)) & 0x00FF00FF00FF00FFULL;
    };
    static_assert(std::endian::native == std::endian::little, "characters are read as words, first in the low byte");
    auto lane = [](std::uint64_t word, int index) { return static_cast<unsigned>((word >> (16 * index)) & 0xFF); };
    std::uint64_t date;
    std::memcpy(&date, text.data(), sizeof date);
    if (!allDigits(date)) {
        return false;
    }
    date = pairs(date);
    RDateTime parsed;
    parsed.year = static_cast<std::int32_t>(lane(date, 0) * 100 + lane(date, 1));
    parsed.month = static_cast<std::uint16_t>(lane(date, 2));
    parsed.day = static_cast<std::uint16_t>(lane(date, 3));
    if (dateTime) {
        // Characters 7 to 14: the date's last digit and the T are made zeros, then HHMMSS pair up.
        std::uint64_t time;
        std::memcpy(&time, text.data() + 7, sizeof time);
        time = (time & ~0xFFFFULL) | 0x3030ULL;
        if (!allDigits(time)) {
            return false;
        }
        time = pairs(time);
        parsed.hour = static_cast<std::uint16_t>(lane(time, 1));
        parsed.minute = static_cast<std::uint16_t>(lane(time, 2));
        parsed.second = static_cast<std::int16_t>(lane(time, 3));
    }
    const bool dayOk = parsed.month >= 1 && parsed.month <= 12 && parsed.day >= 1 && parsed.day <= 31;
    const bool timeOk = parsed.hour <= 23 && parsed.minute <= 59 && parsed.second >= 0 && parsed.second <= 60;
    if (!dayOk || !timeOk) {
        return false;
    }
    *out = parsed;
    return true;
}

void ParseUtcOffset(RIcsUtcOffset* out, const char* text) {
    ParseUtcOffset(out, text != nullptr ? std::string_view(text, BoundedLength(text)) : std::string_view());
}

void ParseUtcOffset(RIcsUtcOffset* out, std::string_view offset) {
    if (out == nullptr) {
        return;
    }
    *out = RIcsUtcOffset{};
    const char* const text = offset.data();
    // The forms zones are written in, [+-]HHMM and [+-]HHMMSS, read as the general rules below
    // would read them, digit pair by digit pair.
    const std::size_t size = offset.size();
    if ((size == 5 || size == 7) && (text[0] == '+' || text[0] == '-') &&
        std::all_of(text + 1, text + size, [](char c) { return c >= '0' && c <= '9'; })) {
        const auto pair = [text](std::size_t at) {
            return static_cast<std::int16_t>((text[at] - '0') * 10 + (text[at + 1] - '0'));
        };
        const bool negative = text[0] == '-';
        out->hours = static_cast<std::int16_t>(negative ? -pair(1) : pair(1));
        out->minutes = pair(3);
        out->seconds = size == 7 ? pair(5) : std::int16_t{0};
        if (negative && out->hours == 0) {
            out->minutes = static_cast<std::int16_t>(-out->minutes);
            out->seconds = static_cast<std::int16_t>(-out->seconds);
        }
        return;
    }
    std::size_t length = std::min(offset.size(), kWorkSize - 1);
    if (length > 5) {
        out->seconds = static_cast<std::int16_t>(DecimalOf(text + length - 2, 2));
        length -= 2;
    }
    if (length > 3) {
        out->minutes = static_cast<std::int16_t>(DecimalOf(text + length - 2, 2));
        length -= 2;
    }
    if (length > 1) {
        const int hours = DecimalOf(text, length);
        out->hours = static_cast<std::int16_t>(std::clamp(hours, -32768, 32767));
    }
    // The sign belongs to the hours; with zero hours ("-0030") it would be lost, so the
    // minutes and seconds carry it instead and the offset keeps its direction.
    if (!offset.empty() && text[0] == '-' && out->hours == 0) {
        out->minutes = static_cast<std::int16_t>(-out->minutes);
        out->seconds = static_cast<std::int16_t>(-out->seconds);
    }
}

void ParseIntList(const char* text, std::int32_t* out, int max) {
    static_cast<void>(ReadIntList(text, out, max));  // callers of this form need no count
}

int ReadIntList(const char* text, std::int32_t* out, int max) {
    if (text == nullptr || out == nullptr || max <= 0 || text[0] == '\0') {
        return 0;
    }
    int read = 0;
    const char* at = text;
    while (read < max) {
        const char* end = at;  // the ',' or NUL after the value; values are short, so no library scan
        while (*end != ',' && *end != '\0') {
            ++end;
        }
        out[read++] = DecimalOf(at, std::min(static_cast<std::size_t>(end - at), kListValueMax));
        if (*end == '\0') {
            break;
        }
        at = end + 1;
    }
    // Rules list their values in order as a rule: no sort is needed then.
    const auto less = [](std::int32_t a, std::int32_t b) { return CompareInts(&a, &b) < 0; };
    if (!std::is_sorted(out, out + read, less)) {
        std::sort(out, out + read, less);
    }
    return read;
}

void ParseWeekdays(std::int32_t* ordinalOut, const char* text, std::uint32_t* maskOut) {
    const char* at = text != nullptr ? text : "";
    if (*at == '=') {
        ++at;
    }
    // A signed ordinal (-1FR: the last Friday) keeps its sign.
    int sign = 1;
    if ((at[0] == '-' || at[0] == '+') && at[1] >= '0' && at[1] <= '9') {
        sign = at[0] == '-' ? -1 : 1;
        ++at;
    }
    int digits = 0;
    std::int32_t ordinal = 0;
    while (*at >= '0' && *at <= '9') {
        if (digits < kOrdinalDigitsMax) {
            ordinal = ordinal * 10 + (*at - '0');
        }
        ++digits;
        ++at;
    }
    if (digits > 0 && ordinalOut != nullptr) {
        *ordinalOut = sign * ordinal;
    }
    static constexpr struct {
        char name[3];
        std::uint32_t bit;
    } kDays[] = {{"SU", kWeekdaySU}, {"MO", kWeekdayMO}, {"TU", kWeekdayTU}, {"WE", kWeekdayWE},
                 {"TH", kWeekdayTH}, {"FR", kWeekdayFR}, {"SA", kWeekdaySA}};
    std::uint32_t mask = 0;
    while (at[0] != '\0' && at[1] != '\0') {
        for (const auto& day : kDays) {
            if (at[0] == day.name[0] && at[1] == day.name[1]) {
                mask |= day.bit;
            }
        }
        at += at[2] == ',' ? 3 : 2;
    }
    if (maskOut != nullptr) {
        *maskOut = mask;
    }
}

int CompareInts(const std::int32_t* a, const std::int32_t* b) { return *a < *b ? -1 : (*a > *b ? 1 : 0); }
