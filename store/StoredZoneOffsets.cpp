#include "store/StoredZoneOffsets.h"

#include <memory>

#include "ical/timezone/StoredZoneLookup.h"
#include "store/ROrvaneDataManager.h"

void InstallStoredZoneOffsetsFinder(ROrvaneDataManager* store) {
    if (store == nullptr) {
        RemoveStoredZoneOffsetsFinder();
        return;
    }
    store->AddRef();
    // The reference goes with the last copy of the look-up, whichever thread drops it.
    std::shared_ptr<ROrvaneDataManager> held(store, [](ROrvaneDataManager* s) { s->Release(); });
    SetStoredZoneOffsetsFinder([held](const CStringW& olsonId, double& standardOffsetTo, double& daylightOffsetTo) {
        TimeZoneRecord record;
        record.Clear();
        // The zone code that asks knows result codes only: a store whose select fails (one
        // that never opened, say) simply has no such zone.
        RResult result = STG_E_PATHNOTFOUND;
        try {
            result = held->FindTimeZoneByOlsonID(olsonId.ToUtf8(), &record);
        } catch (...) {
            return STG_E_PATHNOTFOUND;
        }
        if (result != R_OK) {
            return result;
        }
        standardOffsetTo = record.standardOffsetTo;
        daylightOffsetTo = record.daylightOffsetTo;
        return R_OK;
    });
}

void RemoveStoredZoneOffsetsFinder() { SetStoredZoneOffsetsFinder({}); }
