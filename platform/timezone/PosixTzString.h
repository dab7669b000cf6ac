#pragma once
// The POSIX TZ rule string that closes a zone file ("PST8PDT,M3.2.0,M11.1.0"), with the
// extensions of the tz database: quoted names, and transition times from -167 to 167 hours.
// Threads: plain values and functions; any thread.
#include <cstdint>
#include <string_view>

namespace platform {

struct PosixTransitionRule {
    enum class Kind { JulianNoLeap, ZeroBasedDay, MonthWeekDay };
    Kind kind = Kind::MonthWeekDay;
    int day = 0;        // Jn: 1..365, n: 0..365
    int month = 0;      // Mm.w.d: 1..12
    int week = 0;       // 1..5, 5 = the last
    int weekday = 0;    // 0 = Sunday
    std::int32_t time = 7200;  // seconds after local midnight, in the time in force before the change

    // The wall-clock moment of the change in `year`, as seconds from 1970-01-01 00:00 local.
    std::int64_t LocalMoment(std::int64_t year) const;
};

struct PosixTz {
    std::int32_t standardOffset = 0;  // seconds east of UTC
    std::int32_t daylightOffset = 0;
    bool hasDaylight = false;
    PosixTransitionRule daylightStart;  // change into daylight time, in standard wall time
    PosixTransitionRule daylightEnd;    // change back, in daylight wall time
};

// False when the text is not a well-formed rule string.
bool ParsePosixTz(std::string_view text, PosixTz& out);

}  // namespace platform
