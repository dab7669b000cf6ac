#include "store/ROrvaneDataManager.h"

#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/SelectRows.h"

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
