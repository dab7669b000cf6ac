#include "ical/timezone/StoredZoneLookup.h"

#include <optional>
#include <unordered_map>

#include "platform/threads/Mutex.h"

namespace {

struct StoredZones {
    platform::Mutex lock;
    StoredZoneFinder finder ORVANE_GUARDED_BY(lock);
    // Answers by TZID; an empty optional is a zone known not to be stored.
    std::unordered_map<std::u16string, std::optional<StoredZoneRules>> answers ORVANE_GUARDED_BY(lock);
    // Raised by every change, so that an answer looked up across a change is not kept.
    unsigned long long generation ORVANE_GUARDED_BY(lock) = 0;
};

StoredZones& Zones() {
    static StoredZones zones;
    return zones;
}

constexpr std::size_t kMaxAnswers = 4096;

}  // namespace

void SetStoredZoneFinder(StoredZoneFinder finder) {
    StoredZones& zones = Zones();
    platform::MutexLock hold(zones.lock);
    zones.finder = std::move(finder);
    zones.answers.clear();
    ++zones.generation;
}

void NoteStoredZonesChanged() {
    StoredZones& zones = Zones();
    platform::MutexLock hold(zones.lock);
    zones.answers.clear();
    ++zones.generation;
}

RResult FindStoredZone(const CStringW& tzid, StoredZoneRules& out) {
    StoredZones& zones = Zones();
    const std::u16string key(tzid.AsView());
    StoredZoneFinder finder;
    unsigned long long generation = 0;
    {
        platform::MutexLock hold(zones.lock);
        if (const auto known = zones.answers.find(key); known != zones.answers.end()) {
            if (!known->second) return STG_E_PATHNOTFOUND;
            out = *known->second;
            return R_OK;
        }
        finder = zones.finder;
        generation = zones.generation;
    }
    if (!finder) return STG_E_PATHNOTFOUND;
    // The look-up runs outside the lock: it may take the store's own lock for a while.
    StoredZoneRules found;
    const RResult result = finder(tzid, found);
    platform::MutexLock hold(zones.lock);
    if (zones.generation == generation) {
        if (zones.answers.size() >= kMaxAnswers) zones.answers.clear();
        zones.answers.emplace(key, result == R_OK ? std::optional<StoredZoneRules>(found) : std::nullopt);
    }
    if (result != R_OK) return STG_E_PATHNOTFOUND;
    out = std::move(found);
    return R_OK;
}

RResult FindStoredZoneOffsets(const CStringW& tzid, double& standardOffsetTo, double& daylightOffsetTo) {
    StoredZoneRules zone;
    const RResult result = FindStoredZone(tzid, zone);
    if (result != R_OK) return result;
    standardOffsetTo = zone.standardOffsetTo;
    daylightOffsetTo = zone.daylightOffsetTo;
    return R_OK;
}

unsigned long long StoredZonesGeneration() {
    StoredZones& zones = Zones();
    platform::MutexLock hold(zones.lock);
    return zones.generation;
}
