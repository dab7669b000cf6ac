#include "store/SeriesRows.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <filesystem>

#include "store/ROrvaneDataManager.h"
#include "store/files/DataFolderPaths.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

constexpr std::uintmax_t kLargestItemFile = 64u << 20;

}  // namespace

RResult ReadSeriesRows(ROrvaneDataManager* store, const char* guid, const char* calendarGuid,
                       const char* accountGuid, std::vector<CalendarItemRecord>& out) {
    out.clear();
    if (store == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA sql;
    sql.Format(
        "select * from CalendarItems where parentAccountGuid=%s and parentCalendarGuid=%s and guid=%s "
        "order by recurrenceID;",
        SqlQuote(Text(accountGuid)).GetString(), SqlQuote(Text(calendarGuid)).GetString(),
        SqlQuote(Text(guid)).GetString());
    CppSQLite3Table table;
    SelectRows(sql, store, table);
    for (int row = 0; row < table.numRows(); ++row) {
        table.setRow(row);
        CalendarItemRecord record;
        ReadCalendarItemRow(table, &record);
        out.push_back(std::move(record));
    }
    // NULL and "" sort first either way, but make the master's place certain.
    std::stable_partition(out.begin(), out.end(),
                          [](const CalendarItemRecord& r) { return r.recurrenceID.IsEmpty(); });
    return R_OK;
}

RResult ReadCalendarItemFile(ROrvaneDataManager* store, const char* fileName, const char* calendarGuid,
                             const char* accountGuid, std::string& out) {
    out.clear();
    if (store == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CalendarRecord calendar;
    if (store->FindCalendar(Text(accountGuid), Text(calendarGuid), &calendar) != R_OK) {
        return STG_E_PATHNOTFOUND;
    }
    CStringA path;
    if (!IsStrictlyBelow(calendar.localDirPath, store->AccountsDir().ToUtf8()) ||
        BuildChildPath(calendar.localDirPath, LocalItemFileName(CStringA(Text(fileName))), path) != R_OK) {
        return STG_E_PATHNOTFOUND;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path.GetString(), error);
    if (error) {
        return error == std::errc::no_such_file_or_directory ? STG_E_PATHNOTFOUND : error.value();
    }
    if (size > kLargestItemFile) {
        return R_E_BAD_FORMAT;
    }
    std::ifstream file(path.GetString(), std::ios::binary);
    if (!file) {
        return errno != 0 ? errno : STG_E_PATHNOTFOUND;
    }
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        out.clear();
        return EIO;
    }
    return R_OK;
}
