#include "platform/timezone/PosixTzString.h"

#include <cctype>

#include "platform/timezone/CivilTime.h"

namespace platform {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Take(char c) {
        if (Peek() != c || AtEnd()) return false;
        ++pos_;
        return true;
    }

    // A zone abbreviation: three or more letters, or <...> of letters, digits, '+' and '-'.
    bool Name() {
        std::size_t length = 0;
        if (Take('<')) {
            while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '+' || Peek() == '-')) {
                ++pos_;
                ++length;
            }
            return Take('>') && length >= 3;
        }
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(Peek()))) {
            ++pos_;
            ++length;
        }
        return length >= 3;
    }

    bool Number(int maxValue, int& value) {
        value = 0;
        std::size_t digits = 0;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Peek()))) {
            value = value * 10 + (Peek() - '0');
            if (value > maxValue) return false;
            ++pos_;
            ++digits;
        }
        return digits > 0;
    }

    // [+-]hh[:mm[:ss]] in seconds.
    bool Duration(int maxHours, std::int32_t& seconds) {
        int sign = 1;
        if (Take('-')) {
            sign = -1;
        } else {
            Take('+');
        }
        int h = 0, m = 0, s = 0;
        if (!Number(maxHours, h)) return false;
        if (Take(':')) {
            if (!Number(59, m)) return false;
            if (Take(':') && !Number(59, s)) return false;
        }
        seconds = sign * (h * 3600 + m * 60 + s);
        return true;
    }

    bool Rule(PosixTransitionRule& rule) {
        if (Take('J')) {
            rule.kind = PosixTransitionRule::Kind::JulianNoLeap;
            if (!Number(365, rule.day) || rule.day < 1) return false;
        } else if (Take('M')) {
            rule.kind = PosixTransitionRule::Kind::MonthWeekDay;
            if (!Number(12, rule.month) || rule.month < 1 || !Take('.') || !Number(5, rule.week) || rule.week < 1 ||
                !Take('.') || !Number(6, rule.weekday)) {
                return false;
            }
        } else {
            rule.kind = PosixTransitionRule::Kind::ZeroBasedDay;
            if (!Number(365, rule.day)) return false;
        }
        rule.time = 7200;
        return Take('/') ? Duration(167, rule.time) : true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::int64_t PosixTransitionRule::LocalMoment(std::int64_t year) const {
    std::int64_t days = 0;
    switch (kind) {
        case Kind::JulianNoLeap:
            // Day 60 is always 1 March: February 29 is never counted.
            days = civil::DaysFromCivil(year, 1, 1) + day - 1 + ((civil::IsLeap(year) && day >= 60) ? 1 : 0);
            break;
        case Kind::ZeroBasedDay:
            days = civil::DaysFromCivil(year, 1, 1) + day;
            break;
        case Kind::MonthWeekDay: {
            const std::int64_t first = civil::DaysFromCivil(year, month, 1);
            int d = 1 + (weekday - civil::WeekdayFromDays(first) + 7) % 7 + 7 * (week - 1);
            while (d > civil::DaysInMonth(year, month)) d -= 7;
            days = first + d - 1;
            break;
        }
    }
    return days * 86400 + time;
}

bool ParsePosixTz(std::string_view text, PosixTz& out) {
    out = PosixTz{};
    Cursor c(text);
    std::int32_t west = 0;
    if (!c.Name() || !c.Duration(24, west)) return false;
    out.standardOffset = -west;
    if (c.AtEnd()) return true;
    if (!c.Name()) return false;
    out.hasDaylight = true;
    out.daylightOffset = out.standardOffset + 3600;
    if (!c.AtEnd() && c.Peek() != ',') {
        if (!c.Duration(24, west)) return false;
        out.daylightOffset = -west;
    }
    if (c.AtEnd()) {
        // No rule given: the customary United States rule.
        out.daylightStart = {PosixTransitionRule::Kind::MonthWeekDay, 0, 3, 2, 0, 7200};
        out.daylightEnd = {PosixTransitionRule::Kind::MonthWeekDay, 0, 11, 1, 0, 7200};
        return true;
    }
    return c.Take(',') && c.Rule(out.daylightStart) && c.Take(',') && c.Rule(out.daylightEnd) && c.AtEnd();
}

}  // namespace platform
