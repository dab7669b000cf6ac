#pragma once
// Turns the tz database's description of one zone into the platform's yearly rule: a standard
// bias, a daylight bias and the two changes of the given year as "n-th weekday of month" dates.
// Threads: plain functions; any thread.
#include <string>

#include "platform/timezone/TimeZoneInformation.h"
#include "platform/timezone/TzifFile.h"

namespace platform {

// The folder of the compiled zone files: $TZDIR, else /usr/share/zoneinfo.
std::string ZoneInfoDirectory();

// Fills Bias, StandardBias, DaylightBias, StandardDate and DaylightDate for `year`; the names
// are left alone. A zone without daylight time in that year gets zero dates.
void ZoneRuleForYear(const TzifData& zone, int year, TIME_ZONE_INFORMATION& info);

// Reads the zone file of an Olson name and builds its rule; false when the file is missing,
// damaged, or the name would leave the zone folder.
bool ReadZoneRuleForYear(const std::string& olsonName, int year, TIME_ZONE_INFORMATION& info);

// The current year in UTC.
int CurrentUtcYear();

}  // namespace platform
