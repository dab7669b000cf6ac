// The Calendars table. Rows are identified by (parentAccountGuid, guid); the table has no key,
// so AddCalendar looks the pair up first, inside its write transaction.
#include "store/ROrvaneDataManager.h"

#include <filesystem>
#include <system_error>

#include "store/files/DataFolderPaths.h"
#include "store/files/FileResult.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

// Whether `list` (names joined by ", ") holds `name` as one of its names.
bool HasListedName(const CStringA& list, const char* name) {
    int start = 0;
    while (start <= list.GetLength()) {
        int end = list.Find(',', start);
        if (end < 0) end = list.GetLength();
        CStringA part = list.Mid(start, end - start);
        if (part.Trim() == name) return true;
        start = end + 1;
    }
    return false;
}

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
    // Whole names of the list: calendar-proxy-read and the like are no calendars.
    bool result = HasListedName(type, "calendar");
    if (HasListedName(type, "subscribed") && set.Find("VEVENT") >= 0) {
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
    // The look-up and the insert are one transaction, so no other writer can add the same
    // calendar in between.
    StoreTransaction transaction(*this);
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
    if (const RResult inserted = transaction.Exec(sql); inserted != R_OK) {
        return inserted;
    }
    // The row and the folder land together: a calendar whose items could never be written is
    // not stored.
    std::error_code error;
    const bool madeFolder = std::filesystem::create_directories(std::filesystem::path(folder.Str()), error);
    if (error) {
        return transaction.Fail(ResultFromErrno(error.value()));
    }
    const RResult committed = transaction.Commit();
    if (committed != R_OK && madeFolder) {
        static_cast<void>(DeleteStoredFolder(folder));  // best effort: the row is not stored either way
    }
    return committed;
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
    StoreTransaction transaction(*this);
    static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
    return transaction.Commit();
}

RResult ROrvaneDataManager::DeleteCalendar(const char* accountGuid, CalendarRecord& record) {
    if (accountGuid == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringA account = SqlQuote(accountGuid);
    const CStringA calendar = SqlQuote(record.guid);
    // The rows go together in one transaction; the folder (with the item files) only after
    // them, so no row is ever left naming files that are gone.
    {
        StoreTransaction transaction(*this);
        CStringA sql;
        sql.Format("delete from CalendarItems where parentAccountGuid=%s and parentCalendarGuid=%s;",
                   account.GetString(), calendar.GetString());
        static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
        sql.Format("delete from Calendars where parentAccountGuid=%s and guid=%s;", account.GetString(),
                   calendar.GetString());
        static_cast<void>(transaction.Exec(sql));
        transaction.TouchAccount(accountGuid);
        if (const RResult committed = transaction.Commit(); committed != R_OK) {
            return committed;
        }
    }
    return DeleteStoredFolder(record.localDirPath);
}

RResult ROrvaneDataManager::DeleteCalendarByGuid(const char* accountGuid, const char* calendarGuid) {
    CalendarRecord record;
    if (FindCalendar(accountGuid, calendarGuid, &record) != R_OK) {
        return R_OK;
    }
    return DeleteCalendar(accountGuid, record);
}
