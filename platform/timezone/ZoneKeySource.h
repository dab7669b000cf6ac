#pragma once
// The machine's time-zone list, offered in the shape of the registry's zone keys: one subkey per
// Windows zone key name with the values "Display", "Std", "Dlt" (REG_SZ, UTF-16 with NUL) and
// "TZI" (REG_BINARY, 44 bytes). The settings hive serves these under its machine root at
// kZoneListKeyPath; this platform has no registry, so the data is derived from tzdata.
// Threads: any thread; each zone's yearly rule is cached under a lock.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/WinTypes.h"
#include "platform/timezone/TimeZoneInformation.h"

namespace platform {

inline constexpr char16_t kZoneListKeyPath[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

// Names of every zone subkey, in a fixed order.
std::vector<std::u16string> ZoneKeyNames();

// Reads one value of one zone subkey; false when the zone or the value does not exist.
bool ReadZoneKeyValue(const std::u16string& zoneKey, const std::u16string& valueName, DWORD& type,
                      std::vector<std::uint8_t>& data);

// The Windows zone key under which the public mapping files an Olson zone or link name
// (America/Vancouver -> Pacific Standard Time); false when it files it nowhere.
bool ZoneKeyForOlsonName(const std::string& olsonName, std::u16string& zoneKey);

// The tz database zone that stands for a key (Pacific Standard Time -> America/Los_Angeles);
// false for a key the table does not hold.
bool OlsonZoneForKey(const std::u16string& zoneKey, std::string& olsonZone);

// The key whose display name, after its "(UTC+hh:mm) " prefix, is `tail` (ignoring case), as
// other programs write zone names ("Eastern Time (US & Canada)"); false when none.
bool ZoneKeyForDisplayTail(const std::u16string& tail, std::u16string& zoneKey);

// The rule of a key for the current year (what "TZI" holds), with its "Std" and "Dlt" names.
bool ReadZoneDefinition(const std::u16string& zoneKey, TIME_ZONE_INFORMATION& info);

}  // namespace platform
