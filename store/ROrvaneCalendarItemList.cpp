#include "store/ROrvaneDataManager.h"

#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

RResult ROrvaneDataManager::GetCalendarItems(const char* calendarGuid, const char* accountGuid,
                                             std::vector<CalendarItemRecord>* out) {
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    out->clear();
    try {
        CppSQLite3Table table;
        SelectRows(CalendarItemsSelect(accountGuid, calendarGuid), this, table);
        out->resize(static_cast<std::size_t>(table.numRows()));
        for (int row = 0; row < table.numRows(); ++row) {
            table.setRow(row);
            ReadCalendarItemRow(table, &(*out)[static_cast<std::size_t>(row)]);
        }
        return R_OK;
    } catch (const CppSQLite3Exception&) {
        out->clear();
        return R_E_BAD_FORMAT;
    }
}

RResult ROrvaneDataManager::GetCalendarItemTags(const char* calendarGuid, const char* accountGuid,
                                                std::vector<ItemTags>* out) {
    if (out == nullptr) return R_E_INVALID_ARGUMENT;
    out->clear();
    CStringA sql;
    sql.Format("select guid, recurrenceID, serverFileName, etag, scheduleTag from CalendarItems where "
               "parentAccountGuid=%s and parentCalendarGuid=%s order by 1;",
               SqlQuote(accountGuid).GetString(), SqlQuote(calendarGuid).GetString());
    try {
        VisitRows(sql, [out](const CppSQLite3Row& row) {
            out->push_back(ItemTags{row.getStringField("guid"), row.getStringField("recurrenceID"),
                                    row.getStringField("serverFileName"), row.getStringField("etag"),
                                    row.getStringField("scheduleTag")});
        });
        return R_OK;
    } catch (const CppSQLite3Exception&) {
        out->clear();
        return R_E_BAD_FORMAT;
    }
}
