#pragma once
// The committed table of Windows zone keys and the IANA zones they stand for, written by
// tools/make_zone_tables.py. The rules of the current year are read from the tz database at
// run time; what is here does not change with the year.
// Threads: constant tables; any thread.

namespace platform {

struct WindowsZoneDefinition {
    const char16_t* key;           // registry subkey name, e.g. Pacific Standard Time
    const char* olsonZone;         // the zone that stands for the key, e.g. America/Los_Angeles
    const char16_t* displayTail;   // the cities after the "(UTC+hh:mm) " prefix
    bool plainUtc;                 // the prefix is "(UTC)" when the offset is zero
    const char16_t* standardName;  // the "Std" value
    const char16_t* daylightName;  // the "Dlt" value
    int fallbackBias;              // minutes west of UTC, used when the tz database cannot be read
};

struct ZoneNameKey {
    const char* olsonName;  // any zone or link name of the tz database
    const char16_t* key;    // the Windows key whose zones it belongs to
};

extern const WindowsZoneDefinition kWindowsZoneDefinitions[];
extern const int kWindowsZoneDefinitionCount;
extern const ZoneNameKey kZoneNameKeys[];  // sorted by olsonName, bytewise
extern const int kZoneNameKeyCount;

}  // namespace platform
