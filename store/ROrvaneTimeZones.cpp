// The TimeZones table: one row per VTIMEZONE identifier met in calendar data. The identifier is
// kept unique by AddTimeZone's look-up, made inside its write transaction.
#include "store/ROrvaneDataManager.h"

#include "ical/timezone/StoredZoneLookup.h"

#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

constexpr char kSelectZones[] = "select * from TimeZones order by 1;";

// Reads over the record as it stands (no clearing first).
void ReadZoneRow(const CppSQLite3Table& table, TimeZoneRecord* out) {
    out->timeZoneID = table.getStringField("timeZoneID");
    out->olsonID = table.getStringField("olsonID");
    out->daylightName = table.getStringField("daylightName");
    out->daylightOffsetFrom = table.getFloatField("daylightOffsetFrom", 0.0);
    out->daylightOffsetTo = table.getFloatField("daylightOffsetTo", 0.0);
    out->daylightRrule = table.getStringField("daylightRrule");
    out->daylightDTStart = table.getStringField("daylightDTStart");
    out->standardName = table.getStringField("standardName");
    out->standardOffsetFrom = table.getFloatField("standardOffsetFrom", 0.0);
    out->standardOffsetTo = table.getFloatField("standardOffsetTo", 0.0);
    out->standardRrule = table.getStringField("standardRrule");
    out->standardDTStart = table.getStringField("standardDTStart");
}

}  // namespace

int ROrvaneDataManager::GetTimeZoneCount() {
    CppSQLite3Table table;
    SelectRows(kSelectZones, this, table);
    return table.numRows();
}

RResult ROrvaneDataManager::GetTimeZone(int position, TimeZoneRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (position < 0) {
        return R_E_INVALID_INDEX;
    }
    CppSQLite3Table table;
    SelectRows(kSelectZones, this, table);
    if (position >= table.numRows()) {
        return R_E_INVALID_INDEX;
    }
    table.setRow(position);
    ReadZoneRow(table, out);
    return R_OK;
}

RResult ROrvaneDataManager::AddTimeZone(TimeZoneRecord* record) {
    if (record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    StoreTransaction transaction(*this);
    TimeZoneRecord scratch;
    if (FindTimeZone(*record, &scratch) == R_OK) {
        static_cast<void>(UpdateTimeZone(record));  // joins this transaction; its failure is returned by Commit
        const RResult result = transaction.Commit();
        NoteStoredZonesChanged();  // once more now that the change is committed
        return result;
    }
    CStringA columns;
    CStringA values;
    AppendSqlTextColumn(columns, values, "timeZoneID", record->timeZoneID);
    AppendSqlTextColumn(columns, values, "olsonID", record->olsonID);
    AppendSqlTextColumn(columns, values, "daylightName", record->daylightName);
    AppendSqlRealColumn(columns, values, "daylightOffsetFrom", record->daylightOffsetFrom);
    AppendSqlRealColumn(columns, values, "daylightOffsetTo", record->daylightOffsetTo);
    AppendSqlTextColumn(columns, values, "daylightRrule", record->daylightRrule);
    AppendSqlTextColumn(columns, values, "daylightDTStart", record->daylightDTStart);
    AppendSqlTextColumn(columns, values, "standardName", record->standardName);
    AppendSqlRealColumn(columns, values, "standardOffsetFrom", record->standardOffsetFrom);
    AppendSqlRealColumn(columns, values, "standardOffsetTo", record->standardOffsetTo);
    AppendSqlTextColumn(columns, values, "standardRrule", record->standardRrule);
    AppendSqlTextColumn(columns, values, "standardDTStart", record->standardDTStart);
    CStringA sql;
    sql.Format("insert into TimeZones (%s) values (%s);", columns.GetString(), values.GetString());
    static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
    const RResult result = transaction.Commit();
    NoteStoredZonesChanged();  // the zone conversions keep answers per TZID until now
    return result;
}

RResult ROrvaneDataManager::UpdateTimeZone(TimeZoneRecord* record) {
    if (record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA list;
    AppendSqlTextAssignment(list, "olsonID", record->olsonID);
    AppendSqlTextAssignment(list, "daylightName", record->daylightName);
    AppendSqlRealAssignment(list, "daylightOffsetFrom", record->daylightOffsetFrom);
    AppendSqlRealAssignment(list, "daylightOffsetTo", record->daylightOffsetTo);
    AppendSqlTextAssignment(list, "daylightRrule", record->daylightRrule);
    AppendSqlTextAssignment(list, "daylightDTStart", record->daylightDTStart);
    AppendSqlTextAssignment(list, "standardName", record->standardName);
    AppendSqlRealAssignment(list, "standardOffsetFrom", record->standardOffsetFrom);
    AppendSqlRealAssignment(list, "standardOffsetTo", record->standardOffsetTo);
    AppendSqlTextAssignment(list, "standardRrule", record->standardRrule);
    AppendSqlTextAssignment(list, "standardDTStart", record->standardDTStart);
    CStringA sql;
    sql.Format("update TimeZones set %s where timeZoneID = %s;", list.GetString(),
               SqlQuote(record->timeZoneID).GetString());
    StoreTransaction transaction(*this);
    static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
    const RResult result = transaction.Commit();
    NoteStoredZonesChanged();
    return result;
}

RResult ROrvaneDataManager::FindTimeZone(const TimeZoneRecord& key, TimeZoneRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringA wanted = key.timeZoneID;
    return FindFirstRow(kSelectZones, this, out, ReadZoneRow,
                        [&wanted](const TimeZoneRecord& row) { return row.timeZoneID == wanted; });
}

RResult ROrvaneDataManager::FindTimeZoneByOlsonID(const char* olsonID, TimeZoneRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringA wanted = olsonID != nullptr ? olsonID : "";
    return FindFirstRow(kSelectZones, this, out, ReadZoneRow,
                        [&wanted](const TimeZoneRecord& row) { return row.olsonID == wanted; });
}
