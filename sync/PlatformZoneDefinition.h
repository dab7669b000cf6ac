#pragma once
// A VTIMEZONE made from the platform's zone list, for a zone that no calendar data stored: the
// zone is found by its Windows key name or by its Olson identifier. A transition given as "the
// n-th weekday of a month" becomes a yearly RRULE with a DTSTART in 1970 on which it falls, so
// other clients read the same rule; a zone without daylight saving has a STANDARD part only.
//
// Threads: any thread.
#include "foundation/memory/RRef.h"
#include "ical/model/RIcsTimeZone.h"

// The zone with `tzid` as its TZID (count 1 in the handle), or null when the platform does not
// know it.
RRef<RIcsTimeZone> BuildPlatformVTimeZone(const char* tzid);
