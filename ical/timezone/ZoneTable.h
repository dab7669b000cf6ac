#pragma once
// The two program-wide lists of the time-zone table: the machine's Windows zones in display-name
// order, and the built-in Olson alias lines in id order. Both fill themselves on first use, once,
// whichever thread comes first; the look-ups may be called from any thread.
// Safe to share: each list is guarded by its own lock.
#include "foundation/ResultCodes.h"
#include "foundation/memory/RList.h"
#include "ical/timezone/WindowsZoneEntry.h"
#include "platform/string/CString.h"
#include "platform/timezone/TimeZoneInformation.h"

// Appends the alias lines 13001, 13002, ... up to the first id that has none.
void LoadZoneAliasLines();
// Rebuilds the zone list from the machine's zone keys.
void LoadTimeZones();

// The entry at a position in display order; R_E_INVALID_INDEX (outputs untouched) past the end.
RResult GetTimeZoneAt(int index, CStringW* zoneKey, CStringW* olsonId, CStringW* displayName,
                      TIME_ZONE_INFORMATION* info);
// First entry whose key equals `zoneKey` ignoring case; STG_E_PATHNOTFOUND when none.
RResult FindTimeZoneByKey(const CStringW& zoneKey, CStringW* olsonId, CStringW* displayName,
                          TIME_ZONE_INFORMATION* info);
// First entry whose display name equals `displayName` ignoring case.
RResult FindTimeZoneByDisplay(const CStringW& displayName, CStringW* zoneKey);
// First entry whose Olson identifier equals `olsonId` ignoring case; "Z" finds the one of "UTC".
RResult FindWindowsZoneByOlsonId(const CStringW& olsonId, CStringW* zoneKey, CStringW* displayName,
                                 TIME_ZONE_INFORMATION* info);
// The first field of the first alias line that has `name` as one of its fields (exact match);
// "Z" gives "Z". STG_E_PATHNOTFOUND (olsonId untouched) when no line names it.
RResult MapZoneKeyToOlsonId(const CStringW& name, CStringW& olsonId);
// The same, with the fields compared ignoring ASCII case (europe/berlin gives Europe/Berlin).
RResult MapZoneNameToOlsonIdIgnoringCase(const CStringW& name, CStringW& olsonId);

// Deletes the zone list's entries and nodes and installs the ordering callback (may be null).
void FreeZoneList(RListCompare compare);
// Deletes the alias lines.
void FreeAliasLines();
// Sorted insert into the zone list, which takes the entry over; 0 or R_E_OUT_OF_MEMORY.
RResult InsertZoneSorted(WindowsZoneEntry* entry);
// Case-insensitive order of display names; greater than zero when `existing` comes after `added`.
int CompareZonesByDisplayName(const void* existing, const void* added);
