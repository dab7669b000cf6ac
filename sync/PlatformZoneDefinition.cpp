#include "sync/PlatformZoneDefinition.h"

#include <cstdio>
#include <string>

#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/timezone/TimeZoneInformation.h"

namespace {

constexpr const char* kDayNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// Weekday of a date (0 = Sunday), by Sakamoto's method.
int WeekdayOf(int year, int month, int day) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) {
        year -= 1;
    }
    return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

// The stored start text and the rule of one transition; false when the transition is unusable.
bool TransitionOf(const SYSTEMTIME& when, std::string& start, std::string& rule) {
    if (when.wMonth < 1 || when.wMonth > 12) {
        return false;
    }
    char text[48];
    if (when.wYear != 0) {
        // A fixed calendar day, once.
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when.wYear, when.wMonth, when.wDay,
                      when.wHour, when.wMinute, when.wSecond);
        start = text;
        rule.clear();
        return true;
    }
    if (when.wDayOfWeek > 6 || when.wDay < 1 || when.wDay > 5) {
        return false;
    }
    const int year = 1970;
    const int first = 1 + (when.wDayOfWeek - WeekdayOf(year, when.wMonth, 1) + 7) % 7;
    int day = first + 7 * (when.wDay - 1);
    while (day > DaysInMonth(year, when.wMonth)) {
        day -= 7;  // the fifth means the last
    }
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, when.wMonth, day, when.wHour,
                  when.wMinute, when.wSecond);
    start = text;
    std::snprintf(text, sizeof text, "FREQ=YEARLY;BYMONTH=%d;BYDAY=%d%s", when.wMonth,
                  when.wDay == 5 ? -1 : when.wDay, kDayNames[when.wDayOfWeek]);
    rule = text;
    return true;
}

}  // namespace

RRef<RIcsTimeZone> BuildPlatformVTimeZone(const char* tzid) {
    if (tzid == nullptr || *tzid == '\0') {
        return nullptr;
    }
    const CStringW name = CStringW::FromUtf8(tzid);
    TIME_ZONE_INFORMATION info{};
    if (FindTimeZoneByKey(name, nullptr, nullptr, &info) != R_OK &&
        FindWindowsZoneByOlsonId(name, nullptr, nullptr, &info) != R_OK) {
        return nullptr;
    }
    const double standardHours = -(info.Bias + info.StandardBias) / 60.0;
    const double daylightHours = -(info.Bias + info.DaylightBias) / 60.0;
    const CStringA standardName = CStringW(info.StandardName).ToUtf8();
    const CStringA daylightName = CStringW(info.DaylightName).ToUtf8();

    std::string daylightStart, daylightRule, standardStart, standardRule;
    const bool observesDaylight = info.StandardDate.wMonth != 0 && info.DaylightDate.wMonth != 0 &&
                                  TransitionOf(info.DaylightDate, daylightStart, daylightRule) &&
                                  TransitionOf(info.StandardDate, standardStart, standardRule);
    auto standard = MakeRef<RIcsTimeZoneComponent>();
    RRef<RIcsTimeZoneComponent> daylight;
    if (observesDaylight) {
        daylight = MakeRef<RIcsTimeZoneComponent>();
        daylight->Set("DAYLIGHT", daylightName, standardHours, daylightHours, daylightRule.c_str(),
                      daylightStart.c_str());
        standard->Set("STANDARD", standardName, daylightHours, standardHours, standardRule.c_str(),
                      standardStart.c_str());
    } else {
        standard->Set("STANDARD", standardName, standardHours, standardHours, nullptr, "1970-01-01 00:00:00");
    }
    auto zone = MakeRef<RIcsTimeZone>();
    zone->Set(tzid, daylight.get(), standard.get());
    return zone;
}
