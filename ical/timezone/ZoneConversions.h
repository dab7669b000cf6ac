#pragma once
// Conversion of item times between their zone (TZID: an Olson identifier, a Windows key name
// or another alias, "Z" for UTC, or nothing for floating time) and the display zone. Used by the
// month view, the event dialog and the store; free of any user-interface code.
// Safe to share: the functions keep no state of their own beyond the guarded zone tables.
#include "foundation/ResultCodes.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/core/WinTypes.h"
#include "platform/string/CString.h"

// The display zone: the "TimeZone" setting, else the system's zone. Null outputs are skipped;
// when neither can be found the outputs stay as they were.
void GetCurrentTimeZone(CStringW* zoneKey, CStringW* olsonId);

// The Windows zone key for an Olson identifier (or "Z"); 0 or STG_E_PATHNOTFOUND.
RResult MapTzidToWindowsZone(const CStringW& tzid, CStringW& zoneKey);

// A new value (count 1, the caller's) holding `time` in the target zone, its TZID the target's
// Olson identifier. A floating time is copied as it is.
RResult ConvertItemTimeToZone(const RIcsDateTime* time, RIcsDateTime** converted, const CStringW& targetZoneKey);

// The value's wall-clock fields as the platform's record; an impossible year gives an invalid
// record, which the conversions then refuse.
SYSTEMTIME ItemLocalTime(const RIcsDateTime& time);

// The UTC form of `time`; a floating time gives its own fields.
RResult ItemTimeToUtc(SYSTEMTIME* utc, const RIcsDateTime* time);

// Rewrites a local time of the first zone as the local time of the second.
RResult ConvertSystemTimeBetweenZones(const CStringW& fromTzid, const CStringW& toTzid, SYSTEMTIME* inOut);
