#include "ical/timezone/ZoneConversions.h"

#include <limits>

#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/StoredZoneLookup.h"
#include "ical/timezone/ZoneResolver.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneKeySource.h"

namespace {

CStringW TzidOf(const RIcsDateTime& time) { return CStringW::FromUtf8(time.tzid); }

}  // namespace

SYSTEMTIME ItemLocalTime(const RIcsDateTime& time) {
    const RDateTime& d = time.dateTime;
    SYSTEMTIME t{};
    t.wYear = d.year >= 0 && d.year <= std::numeric_limits<WORD>::max() ? static_cast<WORD>(d.year) : 0;
    t.wMonth = d.month;
    t.wDay = d.day;
    t.wHour = d.hour;
    t.wMinute = d.minute;
    t.wSecond = d.second >= 0 ? static_cast<WORD>(d.second) : 60;
    return t;
}

void GetCurrentTimeZone(CStringW* zoneKey, CStringW* olsonId) {
    CStringW key = ReadTimeZoneSetting();
    if (key.IsEmpty()) {
        TIME_ZONE_INFORMATION info{};
        if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) return;
        key = CStringW(info.StandardName);
    }
    if (zoneKey != nullptr) *zoneKey = key;
    // The display zone keeps its own key: the Olson name given is one that leads back to it.
    if (olsonId != nullptr) {
        const CStringW olson = OlsonIdForKey(key);
        if (!olson.IsEmpty()) *olsonId = olson;
    }
}

RResult MapTzidToWindowsZone(const CStringW& tzid, CStringW& zoneKey) {
    if (FindWindowsZoneByOlsonId(tzid, &zoneKey, nullptr, nullptr) == R_OK) return R_OK;
    // Zones that share a key with another (America/Vancouver under Pacific Standard Time) carry
    // no entry of their own; the public mapping knows their key.
    std::u16string mapped;
    if (platform::ZoneKeyForOlsonName(tzid.ToUtf8().Str(), mapped) &&
        FindTimeZoneByKey(CStringW(mapped), nullptr, nullptr, nullptr) == R_OK) {
        zoneKey = CStringW(mapped);
        return R_OK;
    }
    double standardTo = 0.0, daylightTo = 0.0;
    if (FindStoredZoneOffsets(tzid, standardTo, daylightTo) != R_OK) return STG_E_PATHNOTFOUND;
    CStringW key;
    TIME_ZONE_INFORMATION info{};
    for (int i = 0; GetTimeZoneAt(i, &key, nullptr, nullptr, &info) == R_OK; ++i) {
        const double standard = -(static_cast<double>(info.Bias) + info.StandardBias) / 60.0;
        const double daylight = -(static_cast<double>(info.Bias) + info.DaylightBias) / 60.0;
        if (standardTo == standard && daylightTo == daylight) {
            zoneKey = key;
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}

RResult ConvertItemTimeToZone(const RIcsDateTime* time, RIcsDateTime** converted, const CStringW& targetZoneKey) {
    if (time == nullptr || converted == nullptr) return R_E_INVALID_ARGUMENT;
    if (time->tzid[0] == '\0') {
        RIcsDateTime* copy = RIcsDateTime::Clone(*time);
        if (copy == nullptr) return R_E_OUT_OF_MEMORY;
        *converted = copy;
        return R_OK;
    }
    const std::shared_ptr<const RZoneRules> source = ResolveZoneRules(TzidOf(*time));
    if (!source) return STG_E_PATHNOTFOUND;
    const std::shared_ptr<const RZoneRules> target = ZoneRulesForKey(targetZoneKey);
    if (!target) return STG_E_PATHNOTFOUND;
    RIcsDateTime* copy = RIcsDateTime::Clone(*time);
    if (copy == nullptr) return R_E_OUT_OF_MEMORY;
    const SYSTEMTIME local = ItemLocalTime(*time);
    SYSTEMTIME utc{}, shown{};
    if (source->LocalToUtc(local, utc) && target->UtcToLocal(utc, shown)) {
        copy->dateTime.FromSystemTime(&shown);
        copy->SetTzid(OlsonIdForKey(targetZoneKey).ToUtf8().GetString());
        copy->ClearTextCaches();
    }
    *converted = copy;
    return R_OK;
}

RResult ItemTimeToUtc(SYSTEMTIME* utc, const RIcsDateTime* time) {
    if (utc == nullptr || time == nullptr) return R_E_INVALID_ARGUMENT;
    if (time->tzid[0] == '\0') {
        *utc = ItemLocalTime(*time);
        return R_OK;
    }
    const std::shared_ptr<const RZoneRules> zone = ResolveZoneRules(TzidOf(*time));
    if (!zone) return STG_E_PATHNOTFOUND;
    SYSTEMTIME converted{};
    if (zone->LocalToUtc(ItemLocalTime(*time), converted)) *utc = converted;
    return R_OK;
}

RResult ConvertSystemTimeBetweenZones(const CStringW& fromTzid, const CStringW& toTzid, SYSTEMTIME* inOut) {
    if (fromTzid.IsEmpty()) return R_OK;
    if (inOut == nullptr) return R_E_INVALID_ARGUMENT;
    const std::shared_ptr<const RZoneRules> from = ResolveZoneRules(fromTzid);
    if (!from) return STG_E_PATHNOTFOUND;
    const std::shared_ptr<const RZoneRules> to = ResolveZoneRules(toTzid);
    if (!to) return STG_E_PATHNOTFOUND;
    SYSTEMTIME utc{}, local{};
    if (from->LocalToUtc(*inOut, utc) && to->UtcToLocal(utc, local)) {
        *inOut = local;
    }
    return R_OK;
}
