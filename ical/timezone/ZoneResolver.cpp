#include "ical/timezone/ZoneResolver.h"

#include <bit>
#include <cmath>
#include <unordered_map>

#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/threads/Mutex.h"
#include "platform/timezone/ZoneKeySource.h"

namespace {

std::shared_ptr<const RZoneRules> OwnZone(const std::string& olsonName) {
    std::shared_ptr<const platform::TzifData> zone = ZoneFileOf(olsonName);
    return zone ? std::make_shared<const RZoneRules>(std::move(zone), olsonName) : nullptr;
}

std::shared_ptr<const RZoneRules> Fixed(const TIME_ZONE_INFORMATION& info) {
    return std::make_shared<const RZoneRules>(info);
}

// The trailing Area/City (or Area/Region/City) of a name with a prefix of some vendor's:
// the longest tail after a '/' that is a tz database name.
std::shared_ptr<const RZoneRules> PrefixedName(const std::string& name) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        const std::string tail = name.substr(slash + 1);
        if (tail.find('/') == std::string::npos) break;
        if (auto rules = OwnZone(tail)) return rules;
    }
    return nullptr;
}

std::u16string_view TrimmedSpaces(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
}

// "(UTC-05:00) Eastern Time (US & Canada)", "(GMT+01:00) Amsterdam, Berlin, ...": the key whose
// display name is this, or whose display name ends in the same cities whatever the prefix says.
// Older names ("(GMT-08.00) Pacific Time (US & Canada); Tijuana", "(GMT) Greenwich Mean Time :
// Dublin, ...") joined several such texts with ';' or ':'; each part is then tried in turn.
bool DisplayNameKey(const CStringW& tzid, CStringW& zoneKey) {
    if (FindTimeZoneByDisplay(tzid, &zoneKey) == R_OK) return true;
    const std::u16string_view text = tzid.AsView();
    if (!(text.starts_with(u"(UTC") || text.starts_with(u"(GMT"))) return false;
    const std::size_t close = text.find(u')');
    if (close == std::u16string_view::npos) return false;
    const std::u16string_view tail = TrimmedSpaces(text.substr(close + 1));
    std::u16string key;
    bool found = platform::ZoneKeyForDisplayTail(std::u16string(tail), key);
    for (std::size_t start = 0; !found && start < tail.size();) {
        std::size_t end = tail.find_first_of(u";:", start);
        if (end == std::u16string_view::npos) end = tail.size();
        const std::u16string_view part = TrimmedSpaces(tail.substr(start, end - start));
        if (!part.empty() && part.size() < tail.size()) {
            found = platform::ZoneKeyForDisplayTail(std::u16string(part), key);
        }
        start = end + 1;
    }
    if (!found) return false;
    zoneKey = CStringW(key);
    return true;
}

// The week (1..4, 5 = the last) and weekday of a yearly "n-th weekday of the month" rule.
bool WeekdayOfMonth(const RIcsRecurrence& rule, WORD& week, WORD& weekday) {
    if (rule.byDayMask == 0 || std::popcount(rule.byDayMask & 0x7Fu) != 1) return false;
    weekday = static_cast<WORD>(std::countr_zero(rule.byDayMask));
    int ordinal = rule.byDayOrdinal;
    if (ordinal == 0 && rule.byMonthDay[0] != 0) {
        // BYMONTHDAY=8,9,...,14;BYDAY=SU: the week in which the listed days fall.
        const int first = rule.byMonthDay[0];
        ordinal = first > 0 ? (first - 1) / 7 + 1 : -1;
    }
    if (ordinal < 0) {
        week = 5;
    } else if (ordinal >= 1 && ordinal <= 5) {
        week = static_cast<WORD>(ordinal);
    } else {
        return false;
    }
    return true;
}

// One change of a stored zone: month, week, weekday from its rule, the time from its start.
bool ChangeDate(const std::string& rrule, const std::string& start, SYSTEMTIME& date) {
    auto* rule = new RIcsRecurrence();
    const bool parsed = rule->Parse(rrule.c_str()) == 0;
    WORD week = 0, weekday = 0;
    const bool usable = parsed && std::string_view(rule->freq) == "YEARLY" && rule->byMonth[0] >= 1 &&
                        rule->byMonth[0] <= 12 && rule->byMonth[1] == 0 && WeekdayOfMonth(*rule, week, weekday);
    const int month = usable ? rule->byMonth[0] : 0;
    rule->Release();
    if (!usable) return false;
    RDateTime when;
    when.Parse(start.c_str());
    date = SYSTEMTIME{};
    date.wMonth = static_cast<WORD>(month);
    date.wDay = week;
    date.wDayOfWeek = weekday;
    date.wHour = when.hour < 24 ? when.hour : 0;
    date.wMinute = when.minute < 60 ? when.minute : 0;
    return true;
}

struct ResolvedZones {
    platform::Mutex lock;
    std::unordered_map<std::u16string, std::shared_ptr<const RZoneRules>> byTzid ORVANE_GUARDED_BY(lock);
    unsigned long long storedGeneration ORVANE_GUARDED_BY(lock) = 0;
    // Answers per zone list key: every conversion to the display zone asks for them. One rules
    // object per key also keeps the years it has worked out.
    std::unordered_map<std::u16string, std::shared_ptr<const RZoneRules>> rulesByKey ORVANE_GUARDED_BY(lock);
    std::unordered_map<std::u16string, CStringW> olsonByKey ORVANE_GUARDED_BY(lock);
    // Counts the rebuilds of the zone list, so that an answer worked out across one is not kept.
    unsigned long long listGeneration ORVANE_GUARDED_BY(lock) = 0;
};

ResolvedZones& Resolved() {
    static ResolvedZones zones;
    return zones;
}

constexpr std::size_t kMaxResolved = 4096;

std::shared_ptr<const RZoneRules> ResolveUncached(const CStringW& tzid) {
    if (tzid.IsEmpty()) return nullptr;
    if (tzid == u"Z") return Fixed(TIME_ZONE_INFORMATION{});
    if (auto rules = ZoneRulesForKey(tzid)) return rules;
    const std::string name = tzid.ToUtf8().Str();
    if (auto rules = OwnZone(name)) return rules;
    CStringW olson;
    if (MapZoneKeyToOlsonId(tzid, olson) == R_OK) {
        if (auto rules = OwnZone(olson.ToUtf8().Str())) return rules;
        CStringW key;
        if (MapTzidToWindowsZone(olson, key) == R_OK) return ZoneRulesForKey(key);
    }
    if (auto rules = PrefixedName(name)) return rules;
    CStringW key;
    if (DisplayNameKey(tzid, key)) return ZoneRulesForKey(key);
    StoredZoneRules stored;
    if (FindStoredZone(tzid, stored) == R_OK) {
        TIME_ZONE_INFORMATION info{};
        if (DefinitionFromStoredZone(stored, info)) return Fixed(info);
        // Rules that one yearly rule cannot hold: the first zone of the list with its offsets.
        if (MapTzidToWindowsZone(tzid, key) == R_OK) return ZoneRulesForKey(key);
    }
    // A name written in another case (europe/berlin) than the tz database's own: its own
    // spelling, which then resolves as above, and is never the name itself again.
    if (MapZoneNameToOlsonIdIgnoringCase(tzid, olson) == R_OK && olson != tzid) return ResolveUncached(olson);
    return nullptr;
}

std::shared_ptr<const RZoneRules> RulesForKeyUncached(const CStringW& zoneKey) {
    TIME_ZONE_INFORMATION info{};
    if (zoneKey.IsEmpty() || FindTimeZoneByKey(zoneKey, nullptr, nullptr, &info) != R_OK) return nullptr;
    std::string olson;
    if (platform::OlsonZoneForKey(std::u16string(zoneKey.AsView()), olson)) {
        if (auto rules = OwnZone(olson)) return rules;
    }
    return Fixed(info);
}

CStringW OlsonIdForKeyUncached(const CStringW& zoneKey) {
    CStringW olson;
    const bool aliased = MapZoneKeyToOlsonId(zoneKey, olson) == R_OK;
    std::u16string keyOfAlias;
    if (aliased && platform::ZoneKeyForOlsonName(olson.ToUtf8().Str(), keyOfAlias) &&
        CStringW(keyOfAlias).CompareNoCase(zoneKey.GetString()) == 0) {
        return olson;
    }
    std::string own;
    if (platform::OlsonZoneForKey(std::u16string(zoneKey.AsView()), own)) return CStringW::FromUtf8(own);
    return aliased ? olson : CStringW();
}

// Looks `zoneKey` up in one of the per-key maps, or works the answer out with `uncached` and keeps it.
template <typename Value, typename Uncached>
Value KeptForKey(std::unordered_map<std::u16string, Value> ResolvedZones::*map, const CStringW& zoneKey,
                 Uncached uncached) {
    ResolvedZones& zones = Resolved();
    const std::u16string key(zoneKey.AsView());
    unsigned long long generation = 0;
    {
        platform::MutexLock hold(zones.lock);
        auto& kept = zones.*map;
        if (const auto known = kept.find(key); known != kept.end()) return known->second;
        generation = zones.listGeneration;
    }
    Value value = uncached(zoneKey);
    platform::MutexLock hold(zones.lock);
    auto& kept = zones.*map;
    if (zones.listGeneration == generation) {
        if (kept.size() >= kMaxResolved) kept.clear();
        kept.emplace(key, value);
    }
    return value;
}

}  // namespace

std::shared_ptr<const RZoneRules> ZoneRulesForKey(const CStringW& zoneKey) {
    if (zoneKey.IsEmpty()) return nullptr;
    return KeptForKey(&ResolvedZones::rulesByKey, zoneKey, RulesForKeyUncached);
}

CStringW OlsonIdForKey(const CStringW& zoneKey) {
    return KeptForKey(&ResolvedZones::olsonByKey, zoneKey, OlsonIdForKeyUncached);
}

bool DefinitionFromStoredZone(const StoredZoneRules& zone, TIME_ZONE_INFORMATION& out) {
    auto minutes = [](double hours) { return static_cast<LONG>(std::lround(hours * 60.0)); };
    if (!std::isfinite(zone.standardOffsetTo) || !std::isfinite(zone.daylightOffsetTo) ||
        std::fabs(zone.standardOffsetTo) > 24.0 || std::fabs(zone.daylightOffsetTo) > 24.0) {
        return false;
    }
    TIME_ZONE_INFORMATION info{};
    info.Bias = -minutes(zone.standardOffsetTo);
    const bool daylightPart = !zone.daylightRrule.empty() || !zone.daylightStart.empty();
    const bool standardPart = !zone.standardRrule.empty() || !zone.standardStart.empty();
    if (!daylightPart) {
        // Only a standard part: the zone keeps one offset all year. Bare offsets that differ
        // say nothing of when they change.
        const bool oneOffset = minutes(zone.daylightOffsetTo) == minutes(zone.standardOffsetTo) ||
                               (standardPart && zone.daylightOffsetTo == 0.0);
        if (!oneOffset) return false;
        out = info;
        return true;
    }
    info.DaylightBias = -(minutes(zone.daylightOffsetTo) - minutes(zone.standardOffsetTo));
    if (!ChangeDate(zone.daylightRrule, zone.daylightStart, info.DaylightDate) ||
        !ChangeDate(zone.standardRrule, zone.standardStart, info.StandardDate)) {
        return false;
    }
    out = info;
    return true;
}

void ForgetResolvedZones() {
    ResolvedZones& zones = Resolved();
    platform::MutexLock hold(zones.lock);
    zones.byTzid.clear();
    zones.rulesByKey.clear();
    zones.olsonByKey.clear();
    ++zones.listGeneration;
}

std::shared_ptr<const RZoneRules> ResolveZoneRules(const CStringW& tzid) {
    ResolvedZones& zones = Resolved();
    const std::u16string key(tzid.AsView());
    const unsigned long long generation = StoredZonesGeneration();
    {
        platform::MutexLock hold(zones.lock);
        if (zones.storedGeneration != generation) {
            zones.byTzid.clear();
            zones.storedGeneration = generation;
        }
        if (const auto known = zones.byTzid.find(key); known != zones.byTzid.end()) return known->second;
    }
    std::shared_ptr<const RZoneRules> rules = ResolveUncached(tzid);
    platform::MutexLock hold(zones.lock);
    if (zones.storedGeneration == generation) {
        if (zones.byTzid.size() >= kMaxResolved) zones.byTzid.clear();
        zones.byTzid.emplace(key, rules);
    }
    return rules;
}
