#pragma once
// Conversion between UTC and the local time of a zone definition, with the platform's rule
// semantics: the daylight start is a wall-clock time in standard time and the end one in
// daylight time. Local times are compared with both as they stand, so the hour skipped at the
// start and the hour repeated at the end are both read as daylight time.
// Threads: any thread, as long as no thread changes $TZ meanwhile.
#include "platform/timezone/TimeZoneInformation.h"

// Null `zone` means the system's zone. False (outputs untouched) for an invalid time or rule.
bool TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local, SYSTEMTIME* utc);
bool SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc, SYSTEMTIME* local);

// The system's zone with the current year's rule, named by its Windows zone key; returns
// TIME_ZONE_ID_STANDARD, TIME_ZONE_ID_DAYLIGHT or TIME_ZONE_ID_UNKNOWN (no daylight time), or
// TIME_ZONE_ID_INVALID (output untouched) when the system's zone cannot be found or has no key.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* out);
