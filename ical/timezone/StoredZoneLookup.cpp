#include "ical/timezone/StoredZoneLookup.h"

#include <mutex>

namespace {

std::mutex g_finderGuard;
StoredZoneOffsetsFinder g_finder;

}  // namespace

void SetStoredZoneOffsetsFinder(StoredZoneOffsetsFinder finder) {
    std::lock_guard<std::mutex> lock(g_finderGuard);
    g_finder = std::move(finder);
}

RResult FindStoredZoneOffsets(const CStringW& olsonId, double& standardOffsetTo, double& daylightOffsetTo) {
    StoredZoneOffsetsFinder finder;
    {
        std::lock_guard<std::mutex> lock(g_finderGuard);
        finder = g_finder;
    }
    // The look-up runs outside the lock: it may take the store's own lock for a while.
    return finder ? finder(olsonId, standardOffsetTo, daylightOffsetTo) : STG_E_PATHNOTFOUND;
}
