#include "platform/timezone/ZoneKeySource.h"

#include <algorithm>
#include <cstring>

#include "platform/string/CString.h"
#include "platform/threads/Mutex.h"
#include "platform/timezone/WindowsZoneData.h"
#include "platform/timezone/ZoneYearRule.h"

namespace platform {
namespace {

// Registry names compare without regard to case.
bool SameName(const std::u16string& a, const char16_t* b) { return CStringW(a).CompareNoCase(b) == 0; }

const WindowsZoneDefinition* FindDefinition(const std::u16string& key) {
    for (int i = 0; i < kWindowsZoneDefinitionCount; ++i) {
        if (SameName(key, kWindowsZoneDefinitions[i].key)) return &kWindowsZoneDefinitions[i];
    }
    return nullptr;
}

struct CachedRule {
    int year = 0;
    TIME_ZONE_INFORMATION info{};
};

// The rules are read from the zone files once per key and year; readers come from any thread.
struct RuleCache {
    Mutex guard;
    std::vector<CachedRule> rules ORVANE_GUARDED_BY(guard) =
        std::vector<CachedRule>(static_cast<std::size_t>(kWindowsZoneDefinitionCount));
};

TIME_ZONE_INFORMATION RuleOf(const WindowsZoneDefinition& zone) {
    static RuleCache cache;
    const int year = CurrentUtcYear();
    const auto index = static_cast<std::size_t>(&zone - kWindowsZoneDefinitions);
    MutexLock lock(cache.guard);
    CachedRule& entry = cache.rules[index];
    if (entry.year != year) {
        TIME_ZONE_INFORMATION info{};
        if (!ReadZoneRuleForYear(zone.olsonZone, year, info)) {
            info = TIME_ZONE_INFORMATION{};
            info.Bias = zone.fallbackBias;
        }
        entry = {year, info};
    }
    return entry.info;
}

void CopyName(char16_t (&out)[32], const char16_t* name) {
    std::u16string_view text(name);
    const std::size_t n = std::min<std::size_t>(text.size(), 31);
    std::copy_n(text.begin(), n, out);
    std::fill(out + n, out + 32, u'\0');
}

std::u16string DisplayName(const WindowsZoneDefinition& zone, LONG bias) {
    if (bias == 0 && zone.plainUtc) return u"(UTC) " + std::u16string(zone.displayTail);
    const LONG east = -bias;
    const LONG magnitude = east < 0 ? -east : east;
    CStringW prefix;
    prefix.Format("(UTC%c%02d:%02d) ", east < 0 ? '-' : '+', static_cast<int>(magnitude / 60),
                  static_cast<int>(magnitude % 60));
    return prefix.Str() + zone.displayTail;
}

std::vector<std::uint8_t> TextValue(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

}  // namespace

std::vector<std::u16string> ZoneKeyNames() {
    std::vector<std::u16string> names;
    names.reserve(static_cast<std::size_t>(kWindowsZoneDefinitionCount));
    for (int i = 0; i < kWindowsZoneDefinitionCount; ++i) names.emplace_back(kWindowsZoneDefinitions[i].key);
    return names;
}

bool ReadZoneKeyValue(const std::u16string& zoneKey, const std::u16string& valueName, DWORD& type,
                      std::vector<std::uint8_t>& data) {
    const WindowsZoneDefinition* zone = FindDefinition(zoneKey);
    if (zone == nullptr) return false;
    if (SameName(valueName, u"Display")) {
        type = REG_SZ;
        data = TextValue(DisplayName(*zone, RuleOf(*zone).Bias));
    } else if (SameName(valueName, u"Std")) {
        type = REG_SZ;
        data = TextValue(zone->standardName);
    } else if (SameName(valueName, u"Dlt")) {
        type = REG_SZ;
        data = TextValue(zone->daylightName);
    } else if (SameName(valueName, u"TZI")) {
        std::uint8_t image[kTziBytes];
        TziToBytes(RuleOf(*zone), image);
        type = REG_BINARY;
        data.assign(image, image + kTziBytes);
    } else {
        return false;
    }
    return true;
}

bool ZoneKeyForOlsonName(const std::string& olsonName, std::u16string& zoneKey) {
    const ZoneNameKey* begin = kZoneNameKeys;
    const ZoneNameKey* end = kZoneNameKeys + kZoneNameKeyCount;
    const ZoneNameKey* at = std::lower_bound(begin, end, olsonName, [](const ZoneNameKey& entry, const std::string& name) {
        return std::strcmp(entry.olsonName, name.c_str()) < 0;
    });
    if (at == end || olsonName != at->olsonName) return false;
    zoneKey = at->key;
    return true;
}

bool OlsonZoneForKey(const std::u16string& zoneKey, std::string& olsonZone) {
    const WindowsZoneDefinition* zone = FindDefinition(zoneKey);
    if (zone == nullptr) return false;
    olsonZone = zone->olsonZone;
    return true;
}

bool ZoneKeyForDisplayTail(const std::u16string& tail, std::u16string& zoneKey) {
    for (int i = 0; i < kWindowsZoneDefinitionCount; ++i) {
        if (SameName(tail, kWindowsZoneDefinitions[i].displayTail)) {
            zoneKey = kWindowsZoneDefinitions[i].key;
            return true;
        }
    }
    return false;
}

bool ReadZoneDefinition(const std::u16string& zoneKey, TIME_ZONE_INFORMATION& info) {
    const WindowsZoneDefinition* zone = FindDefinition(zoneKey);
    if (zone == nullptr) return false;
    info = RuleOf(*zone);
    CopyName(info.StandardName, zone->standardName);
    CopyName(info.DaylightName, zone->daylightName);
    return true;
}

}  // namespace platform
