#pragma once
// Item times built from their stored text and zone, and the UTC they convert to as text.
#include <cstdio>
#include <string>

#include "foundation/memory/RRef.h"
#include "ical/timezone/ZoneConversions.h"

namespace orvane::test {

// An item time as the store keeps it: "YYYY-MM-DD HH:MM" and a TZID ("Z" for UTC, none for floating).
// The caller holds the first reference.
inline RIcsDateTime* MakeTime(const char* store, const char* tzid) {
    auto* time = new RIcsDateTime();
    time->SetFromDbText(store, tzid);
    return time;
}

// The UTC an item time converts to, to the minute, or "failed".
inline std::string Utc(const RIcsDateTime& time) {
    SYSTEMTIME utc{};
    if (ItemTimeToUtc(&utc, &time) != R_OK) return "failed";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute);
    return text;
}

inline std::string UtcOf(const char* store, const char* tzid) {
    auto time = RRef<RIcsDateTime>::Adopt(MakeTime(store, tzid));
    return Utc(*time);
}

}  // namespace orvane::test
