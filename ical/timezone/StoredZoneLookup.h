#pragma once
// The store keeps the VTIMEZONE definitions met in calendar data, but this layer sits below the
// store; whoever owns the store installs the look-up here at start-up.
// Safe to share: the installed look-up and its cache are guarded inside.
#include <functional>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// Finds the stored zone whose Olson name is `olsonId` and gives its standard and daylight
// offsets (hours east of UTC, the record's standardOffsetTo and daylightOffsetTo); 0 or
// STG_E_PATHNOTFOUND.
using StoredZoneOffsetsFinder =
    std::function<RResult(const CStringW& olsonId, double& standardOffsetTo, double& daylightOffsetTo)>;

// Installs (or, with an empty function, removes) the look-up; safe from any thread.
void SetStoredZoneOffsetsFinder(StoredZoneOffsetsFinder finder);
// Runs the installed look-up; STG_E_PATHNOTFOUND when none is installed.
RResult FindStoredZoneOffsets(const CStringW& olsonId, double& standardOffsetTo, double& daylightOffsetTo);
