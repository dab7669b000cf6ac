#include "platform/timezone/ZoneConversion.h"

#include <cstdint>

#include "platform/timezone/CivilTime.h"

namespace {

using platform::civil::DaysFromCivil;
using platform::civil::DaysInMonth;

bool ValidTime(const SYSTEMTIME& t) {
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 &&
           t.wMilliseconds < 1000;
}

bool ValidRuleDate(const SYSTEMTIME& d) {
    if (d.wMonth < 1 || d.wMonth > 12 || d.wHour >= 24 || d.wMinute >= 60 || d.wSecond >= 60 || d.wMilliseconds >= 1000) {
        return false;
    }
    if (d.wYear == 0) return d.wDayOfWeek <= 6 && d.wDay >= 1 && d.wDay <= 5;
    return d.wDay >= 1 && d.wDay <= DaysInMonth(d.wYear, d.wMonth);
}

// Seconds from 1970-01-01 00:00 of the same clock.
std::int64_t ToSeconds(const SYSTEMTIME& t) {
    return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

SYSTEMTIME FromSeconds(std::int64_t seconds, WORD milliseconds) {
    const std::int64_t days = platform::civil::FloorDiv(seconds, 86400);
    const std::int64_t rest = seconds - days * 86400;
    const auto date = platform::civil::CivilFromDays(days);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(date.year);
    t.wMonth = static_cast<WORD>(date.month);
    t.wDayOfWeek = static_cast<WORD>(platform::civil::WeekdayFromDays(days));
    t.wDay = static_cast<WORD>(date.day);
    t.wHour = static_cast<WORD>(rest / 3600);
    t.wMinute = static_cast<WORD>(rest / 60 % 60);
    t.wSecond = static_cast<WORD>(rest % 60);
    t.wMilliseconds = milliseconds;
    return t;
}

// The wall-clock moment at which a rule date falls in `year`; false when it does not occur.
bool RuleMoment(const SYSTEMTIME& rule, std::int64_t year, std::int64_t& moment) {
    std::int64_t day = 0;
    if (rule.wYear != 0) {
        // An absolute date happens only in its own year.
        if (rule.wYear != year) return false;
        day = DaysFromCivil(year, rule.wMonth, rule.wDay);
    } else {
        const std::int64_t first = DaysFromCivil(year, rule.wMonth, 1);
        int d = 1 + (rule.wDayOfWeek - platform::civil::WeekdayFromDays(first) + 7) % 7 + 7 * (rule.wDay - 1);
        while (d > DaysInMonth(year, rule.wMonth)) d -= 7;
        day = first + d - 1;
    }
    moment = day * 86400 + rule.wHour * 3600 + rule.wMinute * 60 + rule.wSecond;
    return true;
}

enum class Daylight { Invalid, None, Standard, Daylight };

bool HasDaylightRule(const TIME_ZONE_INFORMATION& zone) {
    return zone.StandardDate.wMonth != 0 && zone.DaylightDate.wMonth != 0;
}

// Whether `moment` lies in daylight time, with the two changes of `year` shifted by the given
// amounts (zero for local comparisons, the biases for UTC ones).
Daylight Classify(const TIME_ZONE_INFORMATION& zone, std::int64_t year, std::int64_t moment, std::int64_t startShift,
                  std::int64_t endShift) {
    if (!HasDaylightRule(zone)) return Daylight::None;
    if (!ValidRuleDate(zone.StandardDate) || !ValidRuleDate(zone.DaylightDate)) return Daylight::Invalid;
    std::int64_t start = 0, end = 0;
    if (!RuleMoment(zone.DaylightDate, year, start) || !RuleMoment(zone.StandardDate, year, end)) {
        return Daylight::Standard;
    }
    start += startShift;
    end += endShift;
    const bool inside = start < end ? (moment >= start && moment < end) : (moment < end || moment >= start);
    return inside ? Daylight::Daylight : Daylight::Standard;
}

bool BiasesInRange(const TIME_ZONE_INFORMATION& zone) {
    // Fourteen hours either way, and daylight shifts of at most a day, cover every real zone.
    auto ok = [](LONG v, LONG limit) { return v >= -limit && v <= limit; };
    return ok(zone.Bias, 24 * 60) && ok(zone.StandardBias, 24 * 60) && ok(zone.DaylightBias, 24 * 60);
}

bool ResolveZone(const TIME_ZONE_INFORMATION* given, TIME_ZONE_INFORMATION& zone) {
    if (given != nullptr) {
        zone = *given;
        return BiasesInRange(zone);
    }
    return GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && BiasesInRange(zone);
}

}  // namespace

bool TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* given, const SYSTEMTIME* local, SYSTEMTIME* utc) {
    TIME_ZONE_INFORMATION zone;
    if (local == nullptr || utc == nullptr || !ValidTime(*local) || !ResolveZone(given, zone)) return false;
    const std::int64_t wall = ToSeconds(*local);
    const Daylight state = Classify(zone, local->wYear, wall, 0, 0);
    if (state == Daylight::Invalid) return false;
    const std::int64_t bias = zone.Bias + (state == Daylight::Daylight ? zone.DaylightBias : zone.StandardBias);
    const SYSTEMTIME result = FromSeconds(wall + bias * 60, local->wMilliseconds);
    if (!ValidTime(result)) return false;
    *utc = result;
    return true;
}

bool SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* given, const SYSTEMTIME* utc, SYSTEMTIME* local) {
    TIME_ZONE_INFORMATION zone;
    if (utc == nullptr || local == nullptr || !ValidTime(*utc) || !ResolveZone(given, zone)) return false;
    const std::int64_t instant = ToSeconds(*utc);
    const std::int64_t standardBias = (std::int64_t{zone.Bias} + zone.StandardBias) * 60;
    const std::int64_t daylightBias = (std::int64_t{zone.Bias} + zone.DaylightBias) * 60;
    // The rule's year is the year of the standard local time.
    const std::int64_t year = platform::civil::CivilFromDays(platform::civil::FloorDiv(instant - standardBias, 86400)).year;
    // The start is a standard wall time and the end a daylight one; both become UTC instants.
    const Daylight state = Classify(zone, year, instant, standardBias, daylightBias);
    if (state == Daylight::Invalid) return false;
    const SYSTEMTIME result =
        FromSeconds(instant - (state == Daylight::Daylight ? daylightBias : standardBias), utc->wMilliseconds);
    if (!ValidTime(result)) return false;
    *local = result;
    return true;
}
