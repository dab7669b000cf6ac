// The Calendars table. Rows are identified by (parentAccountGuid, guid); the table has no key,
// so AddCalendar looks the pair up first, under the store's write lock.
#include "store/ROrvaneDataManager.h"

#include <filesystem>
#include <system_error>

#include "store/files/DataFolderPaths.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

namespace {

CStringA SelectCalendars(const char* accountGuid) {
    CStringA sql;
    sql.Format("select * from Calendars where parentAccountGuid=%s order by 1;", SqlQuote(accountGuid).GetString());
    return sql;
}

void ReadCalendarRow(const CppSQLite3Table& table, CalendarRecord* out) {
    out->Clear();
    out->guid = table.getStringField("guid");
    out->parentAccountGuid = table.getStringField("parentAccountGuid");
    out->displayName = table.getStringField("displayName");
    out->description = table.getStringField("description");
    out->calendarOrder = table.getIntField("calendarOrder");
    out->rgbValue = table.getStringField("rgbValue");
    out->enabled = table.getIntField("enabled");
    out->readOnly = table.getIntField("readOnly");
    out->subscriptionURL = table.getStringField("subscriptionURL");
    out->subscriptionLastRefreshed = table.getStringField("subscriptionLastRefreshed");
    out->ctag = table.getStringField("ctag");
    out->syncToken = table.getStringField("syncToken");
    out->pathURI = table.getStringField("pathURI");
    out->privileges = table.getStringField("privileges");
    out->resourceType = table.getStringField("resourceType");
    out->owner = table.getStringField("owner");
    out->supportedCalendarComponentSet = table.getStringField("supportedCalendarComponentSet");
    out->localDirPath = table.getStringField("localDirPath");
}

}  // namespace

int ROrvaneDataManager::GetCalendarCount(const char* accountGuid) {
    CppSQLite3Table table;
    SelectRows(SelectCalendars(accountGuid), this, table);
    return table.numRows();
}

bool ROrvaneDataManager::IsEventCalendar(const CalendarRecord& record) {
    const CStringA& type = record.resourceType;
    const CStringA& set = record.supportedCalendarComponentSet;
    bool result = type.Find("calendar") >= 0;
    if (type.Find("subscribed") >= 0 && set.Find("VEVENT") >= 0) {
        result = true;
    }
    if (set.Find("VTODO") >= 0 && set.Find("VEVENT") < 0) {
        result = false;
    }
    return result;
}

bool ROrvaneDataManager::IsEventCalendarAt(const char* accountGuid, int position) {
    CalendarRecord record;
    if (GetCalendar(accountGuid, position, &record) != R_OK) {
        return false;
    }
    return IsEventCalendar(record);
}

RResult ROrvaneDataManager::GetCalendar(const char* accountGuid, int position, CalendarRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (position < 0) {
        return R_E_INVALID_INDEX;
    }
    CppSQLite3Table table;
    SelectRows(SelectCalendars(accountGuid), this, table);
    if (position >= table.numRows()) {
        return R_E_INVALID_INDEX;
    }
    table.setRow(position);
    ReadCalendarRow(table, out);
    return R_OK;
}

RResult ROrvaneDataManager::FindCalendarByPath(const char* accountGuid, const char* path, CalendarRecord* out) {
    if (path == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    return FindFirstRow(SelectCalendars(accountGuid), this, out, ReadCalendarRow,
                        [path](const CalendarRecord& row) { return row.pathURI == path; });
}

RResult ROrvaneDataManager::FindCalendar(const char* accountGuid, const char* calendarGuid, CalendarRecord* out) {
    if (calendarGuid == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    return FindFirstRow(SelectCalendars(accountGuid), this, out, ReadCalendarRow,
                        [calendarGuid](const CalendarRecord& row) { return row.guid == calendarGuid; });
}

RResult ROrvaneDataManager::AddCalendar(const char* accountGuid, CalendarRecord* record) {
    if (accountGuid == nullptr || record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    std::lock_guard<std::recursive_mutex> lock(writeMutex);
    CalendarRecord existing;
    if (FindCalendar(accountGuid, record->guid, &existing) == R_OK) {
        return R_E_ALREADY_EXISTS;
    }
    // The calendar's folder lives in its account's folder; without a stored account there is
    // nowhere to put it, and a guid that makes no safe folder name is refused.
    AccountRecord account;
    account.Clear();
    if (FindAccount(accountGuid, &account) != R_OK) {
        return STG_E_PATHNOTFOUND;
    }
    CStringA folder;
    if (const RResult built = BuildChildPath(account.localDirPath, record->guid, folder); built != R_OK) {
        return built;
    }
    record->localDirPath = folder;

    CStringA columns;
    CStringA values;
    AppendSqlTextColumn(columns, values, "guid", record->guid);
    AppendSqlTextColumn(columns, values, "parentAccountGuid", accountGuid);
    AppendSqlTextColumn(columns, values, "displayName", record->displayName);
    AppendSqlTextColumn(columns, values, "description", record->description);
    AppendSqlIntColumn(columns, values, "calendarOrder", record->calendarOrder);
    AppendSqlTextColumn(columns, values, "rgbValue", record->rgbValue);
    AppendSqlIntColumn(columns, values, "enabled", record->enabled);
    AppendSqlTextColumn(columns, values, "subscriptionURL", record->subscriptionURL);
    AppendSqlTextColumn(columns, values, "subscriptionLastRefreshed", record->subscriptionLastRefreshed);
    AppendSqlTextColumn(columns, values, "ctag", record->ctag);
    AppendSqlTextColumn(columns, values, "syncToken", record->syncToken);
    AppendSqlTextColumn(columns, values, "pathURI", record->pathURI);
    AppendSqlTextColumn(columns, values, "privileges", record->privileges);
    AppendSqlTextColumn(columns, values, "resourceType", record->resourceType);
    AppendSqlTextColumn(columns, values, "owner", record->owner);
    AppendSqlTextColumn(columns, values, "supportedCalendarComponentSet", record->supportedCalendarComponentSet);
    AppendSqlTextColumn(columns, values, "localDirPath", record->localDirPath);
    CStringA sql;
    sql.Format("insert into Calendars (%s) values (%s);", columns.GetString(), values.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);

    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder.Str()), ignored);
    return R_OK;
}

RResult ROrvaneDataManager::UpdateCalendar(const char* accountGuid, CalendarRecord* record) {
    if (accountGuid == nullptr || record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA list;
    AppendSqlTextAssignment(list, "displayName", record->displayName);
    AppendSqlTextAssignment(list, "description", record->description);
    AppendSqlIntAssignment(list, "calendarOrder", record->calendarOrder);
    AppendSqlTextAssignment(list, "rgbValue", record->rgbValue);
    AppendSqlIntAssignment(list, "enabled", record->enabled);
    AppendSqlTextAssignment(list, "subscriptionURL", record->subscriptionURL);
    AppendSqlTextAssignment(list, "subscriptionLastRefreshed", record->subscriptionLastRefreshed);
    AppendSqlTextAssignment(list, "ctag", record->ctag);
    AppendSqlTextAssignment(list, "syncToken", record->syncToken);
    AppendSqlTextAssignment(list, "privileges", record->privileges);
    AppendSqlTextAssignment(list, "resourceType", record->resourceType);
    AppendSqlTextAssignment(list, "owner", record->owner);
    AppendSqlTextAssignment(list, "supportedCalendarComponentSet", record->supportedCalendarComponentSet);
    CStringA sql;
    sql.Format("update Calendars set %s where guid = %s and parentAccountGuid = %s;", list.GetString(),
               SqlQuote(record->guid).GetString(), SqlQuote(accountGuid).GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    return R_OK;
}

RResult ROrvaneDataManager::DeleteCalendar(const char* accountGuid, CalendarRecord& record) {
    if (accountGuid == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringA account = SqlQuote(accountGuid);
    const CStringA calendar = SqlQuote(record.guid);
    CStringA sql;
    sql.Format("delete from CalendarItems where parentAccountGuid=%s and parentCalendarGuid=%s;", account.GetString(),
               calendar.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    sql.Format("delete from Calendars where parentAccountGuid=%s and guid=%s;", account.GetString(),
               calendar.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    DeleteStoredFolder(record.localDirPath);
    return R_OK;
}

RResult ROrvaneDataManager::DeleteCalendarByGuid(const char* accountGuid, const char* calendarGuid) {
    CalendarRecord record;
    if (FindCalendar(accountGuid, calendarGuid, &record) != R_OK) {
        return R_OK;
    }
    return DeleteCalendar(accountGuid, record);
}
