#pragma once
// The store keeps the VTIMEZONE definitions met in calendar data, but this layer sits below the
// store; whoever owns the store installs the look-up here at start-up, and tells this layer
// when the stored zones change. Answers are kept per TZID until then, so that converting the
// items of a view costs no query each.
// Safe to share: the installed look-up and the kept answers are guarded inside.
#include <functional>
#include <string>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// One stored zone as the conversions need it: offsets in hours east of UTC, rule texts and
// starts in the stored forms (FREQ=YEARLY;BYMONTH=3;BYDAY=2SU and YYYY-MM-DD HH:MM[:SS]).
struct StoredZoneRules {
    std::string timeZoneId;
    std::string olsonId;
    double standardOffsetTo = 0.0;
    double daylightOffsetTo = 0.0;
    std::string standardRrule;
    std::string standardStart;
    std::string daylightRrule;
    std::string daylightStart;
};

// Finds the stored zone whose TZID is `tzid`, else the one whose Olson name is; 0 or
// STG_E_PATHNOTFOUND.
using StoredZoneFinder = std::function<RResult(const CStringW& tzid, StoredZoneRules& out)>;

// Installs (or, with an empty function, removes) the look-up, and forgets the kept answers.
void SetStoredZoneFinder(StoredZoneFinder finder);
// The stored zone of a TZID: through the kept answers, else the installed look-up (whose answer,
// found or not, is kept). STG_E_PATHNOTFOUND when none is installed or nothing is stored.
RResult FindStoredZone(const CStringW& tzid, StoredZoneRules& out);
// The stored zones have changed: the kept answers are forgotten.
void NoteStoredZonesChanged();

// The standard and daylight offsets (hours east of UTC) of the stored zone of a TZID or Olson name.
RResult FindStoredZoneOffsets(const CStringW& tzid, double& standardOffsetTo, double& daylightOffsetTo);

// Raised by every change of the stored zones or of the installed look-up; results derived from
// stored zones are good while it stays the same.
unsigned long long StoredZonesGeneration();
