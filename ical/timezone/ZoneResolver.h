#pragma once
// From a TZID as calendar files write it to the rules it converts by. In this order: a zone
// list key (the tz zone that stands for it), a tz database name (its own zone), a name of the
// alias lines, the trailing Area/City of a prefixed name (/mozilla.org/20050126_1/Europe/Berlin),
// a Windows display name ("(UTC-05:00) Eastern Time (US & Canada)"), the VTIMEZONE stored under
// that TZID (its own STANDARD/DAYLIGHT rules, or else the first zone with its offsets), and last
// a name of the alias lines written in another case (europe/berlin).
// Answers are kept per TZID until the stored zones or the zone list change.
// Safe to share: the kept answers are guarded inside; the rules handed out are shareable.
#include <memory>

#include "ical/timezone/StoredZoneLookup.h"
#include "ical/timezone/ZoneRules.h"
#include "platform/string/CString.h"

// Null when the TZID is empty or names no zone the program can find.
std::shared_ptr<const RZoneRules> ResolveZoneRules(const CStringW& tzid);
// The rules of a zone list key; null when the list has no such key.
std::shared_ptr<const RZoneRules> ZoneRulesForKey(const CStringW& zoneKey);
// The Olson identifier of a key that resolves back to that key's zone: the alias lines' name
// when it belongs to the key, else the tz zone that stands for the key ("GMT Standard Time"
// gives Europe/London, not the "UTC" of its alias line). Empty when neither is known.
CStringW OlsonIdForKey(const CStringW& zoneKey);
// A stored VTIMEZONE as one yearly rule; false when its rules cannot be written that way.
bool DefinitionFromStoredZone(const StoredZoneRules& zone, TIME_ZONE_INFORMATION& out);
// Forgets the kept answers (the zone list was rebuilt).
void ForgetResolvedZones();
