#pragma once
// One zone of the machine's zone list, with the Olson identifier that the alias lines give it.
// Needs its owner's lock: entries live in the zone list, which guards them.
#include "platform/string/CString.h"
#include "platform/timezone/TimeZoneInformation.h"

struct WindowsZoneEntry {
    CStringW zoneKey;      // subkey name under the zone list, e.g. Pacific Standard Time
    CStringW olsonId;      // empty when no alias line names the key
    CStringW displayName;  // the "Display" value
    TIME_ZONE_INFORMATION zoneInfo{};  // "TZI" spread out, with "Std" and "Dlt"; zero where missing
};
