#include "ical/timezone/ZoneAliasLines.h"

const char16_t* LoadZoneAliasString(int id) {
    const int index = id - kFirstZoneAliasId;
    return index >= 0 && index < kZoneAliasLineCount ? kZoneAliasLineTexts[index] : nullptr;
}
