#include "ical/value/RIcsDateTime.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Formats into a fixed cache; out-of-range fields can only shorten the text, never overrun.
__attribute__((format(printf, 3, 4))) void FormatInto(char* out, std::size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(out, size, format, arguments);
    va_end(arguments);
}

// Whether every field is within the width its text gives it ("%04d", "%02d"): such fields are
// written digit by digit, the rest through the formatter (the same text either way).
bool UsualFields(const RDateTime& d) {
    return d.year >= 0 && d.year <= 9999 && d.month <= 99 && d.day <= 99 && d.hour <= 99 && d.minute <= 99 &&
           d.second >= 0 && d.second <= 99;
}

// "00" to "99", so that digits are written two at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes value (0 <= value < 10^digits) as `digits` digits; returns the position after them.
char* PutDigits(char* at, int value, int digits) {
    auto rest = static_cast<unsigned>(value);
    int i = digits;
    for (; i >= 2; i -= 2, rest /= 100) {
        const unsigned pair = rest % 100 * 2;
        at[i - 2] = kDigitPairs[pair];
        at[i - 1] = kDigitPairs[pair + 1];
    }
    if (i == 1) {
        at[0] = static_cast<char>('0' + rest % 10);
    }
    return at + digits;
}

// The zone name (at most kTzidSize - 1 characters), without its quotes when it is to be
// quoted, since a quoted value cannot hold one; returns the position after it.
char* PutZoneName(char* at, const char* tzid, bool quoted) {
    constexpr std::size_t kMost = RIcsDateTime::kTzidSize - 1;
    if (!quoted) {
        const std::size_t length = strnlen(tzid, kMost);
        std::memcpy(at, tzid, length);
        return at + length;
    }
    for (std::size_t i = 0; i < kMost && tzid[i] != '\0'; ++i) {
        if (tzid[i] != '"') *at++ = tzid[i];
    }
    return at;
}

// "YYYYMMDD" of usual fields; returns the position after it.
char* PutCompactDate(char* at, const RDateTime& d) {
    return PutDigits(PutDigits(PutDigits(at, d.year, 4), d.month, 2), d.day, 2);
}

// Copies at most size - 1 characters and always terminates.
void CopyBounded(char* target, std::size_t size, const char* source) {
    if (source == nullptr) {
        target[0] = '\0';
        return;
    }
    const std::size_t length = strnlen(source, size - 1);
    std::memcpy(target, source, length);
    target[length] = '\0';
}

template <typename T>
int ThreeWay(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

RIcsDateTime::RIcsDateTime() { tzid[0] = '\0'; }

std::int32_t RIcsDateTime::AddRef() { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }

std::int32_t RIcsDateTime::Release() {
    // Only the holder of the last reference can see 1, and no other thread can add to a count
    // it holds no reference to: the last release needs no locked read-modify-write.
    if (refCount_.load(std::memory_order_acquire) == 1) {
        delete this;
        return 0;
    }
    const std::int32_t left = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left > 0) {
        return left;
    }
    delete this;
    return 0;
}

std::int32_t RIcsDateTime::RefCount() const { return refCount_.load(std::memory_order_relaxed); }

RResult RIcsDateTime::SetFromIcs(const char* zone, const char* text) {
    const char* digits = text != nullptr ? text : "";
    dateOnly = !(strnlen(digits, 9) > 8 && digits[8] == 'T');
    floating = zone == nullptr || zone[0] == '\0';
    ParseIcsDateTimeDigits(&dateTime, digits);
    if (zone != nullptr) {
        CopyBounded(tzid, sizeof tzid, zone);
    }
    return 0;
}

RResult RIcsDateTime::SetFromDbText(const char* storeText, const char* zone) {
    const char* text = storeText != nullptr ? storeText : "";
    dateOnly = strnlen(text, 11) <= 10;
    floating = zone == nullptr || zone[0] == '\0';
    dateTime.Parse(text);
    if (zone != nullptr) {
        CopyBounded(tzid, sizeof tzid, zone);
    }
    return 0;
}

void RIcsDateTime::SetTzid(const char* zone) {
    CopyBounded(tzid, sizeof tzid, zone);
    floating = tzid[0] == '\0';
}

RIcsDateTime* RIcsDateTime::Clone(const RIcsDateTime& source) {
    RIcsDateTime* copy = new (std::nothrow) RIcsDateTime;
    if (copy == nullptr) {
        return nullptr;
    }
    copy->CopyValueOf(source);
    return copy;
}

void RIcsDateTime::CopyValueOf(const RIcsDateTime& source) {
    dateTime = source.dateTime;
    CopyBounded(tzid, sizeof tzid, source.tzid);
    floating = source.floating;
    dateOnly = source.dateOnly;
    ClearTextCaches();
}

int RIcsDateTime::Compare(const RIcsDateTime& a, const RIcsDateTime& b) {
    if (int c = CompareDateTime(a.dateTime, b.dateTime); c != 0) {
        return c;
    }
    if (a.dateOnly != b.dateOnly) {
        return 1;
    }
    const int c = std::strncmp(a.tzid, b.tzid, sizeof a.tzid);
    return ThreeWay(c, 0);
}

RIcsDateTime::TextCaches* RIcsDateTime::Caches() const {
    if (!caches_) {
        caches_.reset(new (std::nothrow) TextCaches());
    }
    return caches_.get();
}

const char* RIcsDateTime::GetDbText() const {
    TextCaches* caches = Caches();
    if (caches == nullptr) {
        return "";
    }
    char* dbText = caches->dbText;
    constexpr std::size_t kDbSize = sizeof caches->dbText;
    if (dbText[0] == '\0') {
        const RDateTime& d = dateTime;
        static_assert(kDbSize > sizeof "YYYY-MM-DD HH:MM:SS");
        if (UsualFields(d)) {
            char* at = PutDigits(dbText, d.year, 4);
            *at++ = '-';
            at = PutDigits(at, d.month, 2);
            *at++ = '-';
            at = PutDigits(at, d.day, 2);
            if (!dateOnly) {
                *at++ = ' ';
                at = PutDigits(at, d.hour, 2);
                *at++ = ':';
                at = PutDigits(at, d.minute, 2);
                if (d.second != 0) {
                    *at++ = ':';
                    at = PutDigits(at, d.second, 2);
                }
            }
            *at = '\0';
        } else if (dateOnly) {
            FormatInto(dbText, kDbSize, "%04d-%02d-%02d", d.year, d.month, d.day);
        } else if (d.second != 0) {
            FormatInto(dbText, kDbSize, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                          d.day, d.hour, d.minute, d.second);
        } else {
            FormatInto(dbText, kDbSize, "%04d-%02d-%02d %02d:%02d", d.year, d.month, d.day,
                          d.hour, d.minute);
        }
    }
    return dbText;
}

const char* RIcsDateTime::GetIcsValue(bool withColon) const {
    TextCaches* caches = Caches();
    if (caches == nullptr) {
        return "";
    }
    char* icsValue = caches->icsValue;
    constexpr std::size_t kIcsSize = sizeof caches->icsValue;
    if (icsValue[0] == '\0') {
        const RDateTime& d = dateTime;
        const char* prefix = withColon ? ":" : "";
        if (dateOnly && UsualFields(d)) {
            static_assert(kIcsSize > sizeof ":YYYYMMDD");
            char* at = icsValue;
            if (withColon) *at++ = ':';
            *PutCompactDate(at, d) = '\0';
        } else if (dateOnly) {
            FormatInto(icsValue, kIcsSize, "%s%04d%02d%02d", prefix, d.year, d.month, d.day);
        } else {
            // Only "Z" itself is UTC; a zone that merely starts with Z (Zulu) is a zone like any other.
            const bool utc = tzid[0] == 'Z' && tzid[1] == '\0';
            const bool zoned = !floating && tzid[0] != '\0' && !utc;
            // A zone name holding ':', ';' or ',' ("(UTC-03:00) Brasilia") is quoted so that
            // it stays one parameter value.
            // A quoted value cannot hold a quote, so any is left out there.
            // A name with '=' or a leading blank is quoted as well, since both would not read
            // back as written.
            const bool quoted = zoned && (std::strpbrk(tzid, ":;,=") != nullptr || tzid[0] == ' ' || tzid[0] == '\t');
            if (UsualFields(d)) {
                // Written straight into the cache, which the longest text (a quoted name of
                // kTzidSize - 1 characters) fits.
                static_assert(kIcsSize > sizeof ";TZID=\"\":YYYYMMDDTHHMMSSZ" + kTzidSize);
                char* at = icsValue;
                if (zoned) {
                    std::memcpy(at, ";TZID=", 6);
                    at += 6;
                    if (quoted) *at++ = '"';
                    at = PutZoneName(at, tzid, quoted);
                    if (quoted) *at++ = '"';
                }
                if (withColon) *at++ = ':';
                at = PutCompactDate(at, d);
                *at++ = 'T';
                at = PutDigits(PutDigits(PutDigits(at, d.hour, 2), d.minute, 2), d.second, 2);
                if (utc) *at++ = 'Z';
                *at = '\0';
            } else {
                char zone[kTzidSize] = {};
                if (zoned) {
                    *PutZoneName(zone, tzid, quoted) = '\0';
                }
                FormatInto(icsValue, kIcsSize, "%s%s%s%s%s%04d%02d%02dT%02d%02d%02d%s",
                           zoned ? ";TZID=" : "", quoted ? "\"" : "", zone, quoted ? "\"" : "",
                           prefix, d.year, d.month, d.day, d.hour, d.minute, d.second, utc ? tzid : "");
            }
        }
    }
    return icsValue;
}

void RIcsDateTime::FormatCompactText(const RDateTime& d, bool dateOnly, char (&out)[kCompactTextSize]) {
    // The text of every occurrence stepped is made here.
    if (UsualFields(d)) {
        char* at = PutCompactDate(out, d);
        if (!dateOnly) {
            *at++ = 'T';
            at = PutDigits(PutDigits(PutDigits(at, d.hour, 2), d.minute, 2), d.second, 2);
        }
        *at = '\0';
    } else if (dateOnly) {
        FormatInto(out, kCompactTextSize, "%04d%02d%02d", d.year, d.month, d.day);
    } else {
        FormatInto(out, kCompactTextSize, "%04d%02d%02dT%02d%02d%02d", d.year, d.month, d.day, d.hour, d.minute,
                   d.second);
    }
}

const char* RIcsDateTime::GetCompactText() const {
    TextCaches* caches = Caches();
    if (caches == nullptr) {
        return "";
    }
    if (caches->compactText[0] == '\0') {
        FormatCompactText(dateTime, dateOnly, caches->compactText);
    }
    return caches->compactText;
}

void RIcsDateTime::ClearTextCaches() { caches_.reset(); }
