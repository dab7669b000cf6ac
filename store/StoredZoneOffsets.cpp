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
    SetStoredZoneFinder([held](const CStringW& tzid, StoredZoneRules& out) {
        TimeZoneRecord record;
        record.Clear();
        const CStringA wanted = tzid.ToUtf8();
        // A zone is found by its own TZID first (import leaves the Olson name empty for zones
        // the alias table does not know), then by its Olson name. The zone code that asks knows
        // result codes only: a store whose select fails (one that never opened, say) simply has
        // no such zone.
        RResult result = STG_E_PATHNOTFOUND;
        try {
            TimeZoneRecord key;
            key.Clear();
            key.timeZoneID = wanted;
            result = held->FindTimeZone(key, &record);
            if (result != R_OK) {
                record.Clear();
                result = held->FindTimeZoneByOlsonID(wanted, &record);
            }
        } catch (...) {
            return STG_E_PATHNOTFOUND;
        }
        if (result != R_OK) {
            return result;
        }
        out.timeZoneId = record.timeZoneID.GetString();
        out.olsonId = record.olsonID.GetString();
        out.standardOffsetTo = record.standardOffsetTo;
        out.daylightOffsetTo = record.daylightOffsetTo;
        out.standardRrule = record.standardRrule.GetString();
        out.standardStart = record.standardDTStart.GetString();
        out.daylightRrule = record.daylightRrule.GetString();
        out.daylightStart = record.daylightDTStart.GetString();
        return R_OK;
    });
}

void RemoveStoredZoneOffsetsFinder() { SetStoredZoneFinder({}); }
