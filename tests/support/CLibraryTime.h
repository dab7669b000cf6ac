#pragma once
// The C library's own reading of UTC and of the tz database, for tests that check our zone
// conversions against it (not against the code under test).
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/core/WinTypes.h"

namespace orvane::test {

// Seconds since 1970 of a UTC time.
inline std::int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&t));
}

// Points TZ at a zone for the C library and puts the previous value back afterwards.
// Threads: changes the process environment; one thread only.
class ScopedTz {
public:
    explicit ScopedTz(const std::string& zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }
    ~ScopedTz() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> saved_;
};

// A broken-down C library time as a SYSTEMTIME, day of the week included.
inline SYSTEMTIME FromTm(const std::tm& t) {
    return SYSTEMTIME{static_cast<WORD>(t.tm_year + 1900), static_cast<WORD>(t.tm_mon + 1), static_cast<WORD>(t.tm_wday),
                      static_cast<WORD>(t.tm_mday), static_cast<WORD>(t.tm_hour), static_cast<WORD>(t.tm_min),
                      static_cast<WORD>(t.tm_sec), 0};
}

}  // namespace orvane::test
