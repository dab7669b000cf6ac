// The CalendarItems table and the item files. Rows have no key: (guid, recurrenceID) is kept
// unique within a calendar by AddCalendarItem's look-up, made inside its write transaction.
#include "store/ROrvaneDataManager.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/text/PathComponents.h"
#include "store/files/DataFolderPaths.h"
#include "store/files/FileResult.h"
#include "store/files/ItemFile.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

CStringA ROrvaneDataManager::CalendarItemsSelect(const char* accountGuid, const char* calendarGuid) {
    CStringA sql;
    sql.Format("select * from CalendarItems where parentAccountGuid=%s and parentCalendarGuid=%s order by 1;",
               SqlQuote(accountGuid).GetString(), SqlQuote(calendarGuid).GetString());
    return sql;
}

bool ROrvaneDataManager::ItemFolderIsSafe(const CalendarRecord& calendar) const {
    return IsStrictlyBelow(calendar.localDirPath, accountsDir.ToUtf8());
}

bool ROrvaneDataManager::ItemFilePathIn(const CalendarRecord& calendar, const CStringA& localFileName,
                                        CStringA& path) {
    return BuildChildPath(calendar.localDirPath, LocalItemFileName(localFileName), path) == R_OK;
}

bool ROrvaneDataManager::ItemFilePath(const CalendarRecord& calendar, const CStringA& localFileName,
                                      CStringA& path) const {
    return ItemFolderIsSafe(calendar) && ItemFilePathIn(calendar, localFileName, path);
}

int ROrvaneDataManager::GetCalendarItemCount(const char* calendarGuid, const char* accountGuid) {
    CppSQLite3Table table;
    SelectRows(CalendarItemsSelect(accountGuid, calendarGuid), this, table);
    return table.numRows();
}

RResult ROrvaneDataManager::GetCalendarItem(const char* calendarGuid, const char* accountGuid, int index,
                                            CalendarItemRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (index < 0) {
        return R_E_INVALID_INDEX;
    }
    CppSQLite3Table table;
    SelectRows(CalendarItemsSelect(accountGuid, calendarGuid), this, table);
    if (index >= table.numRows()) {
        return R_E_INVALID_INDEX;
    }
    table.setRow(index);
    ReadCalendarItemRow(table, out);
    return R_OK;
}

RResult ROrvaneDataManager::FindCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                             const char* accountGuid, CalendarItemRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    out->Clear();
    const char* wanted = Text(guid);
    const char* occurrence = Text(recurrenceID);
    // Only the rows of that guid are fetched (through the guid index); the walk below still
    // decides, so the answer is the one a walk over all of the calendar's rows would give.
    CStringA sql = CalendarItemsSelect(accountGuid, calendarGuid);
    sql.Insert(sql.Find(" order by 1;"), CStringA(" and guid=") + SqlQuote(wanted));
    CppSQLite3Table table;
    SelectRows(sql, this, table);
    for (int row = 0; row < table.numRows(); ++row) {
        table.setRow(row);
        if (std::strcmp(table.getStringField("guid"), wanted) != 0) {
            continue;
        }
        // A bare date-time finds the row whose identifier carries it with a TZID parameter.
        if (*occurrence == '\0' || std::strstr(table.getStringField("recurrenceID"), occurrence) != nullptr) {
            ReadCalendarItemRow(table, out);
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}

RResult ROrvaneDataManager::FindCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                             const char* accountGuid, CalendarItemRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA name;
    GetLastPathComponentA(CStringA(Text(serverFileName)), &name);
    out->Clear();
    CStringA sql = CalendarItemsSelect(accountGuid, calendarGuid);
    if (!name.IsEmpty()) {
        sql.Insert(sql.Find(" order by 1;"), CStringA(" and serverFileName=") + SqlQuote(name));
    }
    CppSQLite3Table table;
    SelectRows(sql, this, table);
    for (int row = 0; row < table.numRows(); ++row) {
        table.setRow(row);
        if (*table.getStringField("recurrenceID") == '\0' && name == table.getStringField("serverFileName")) {
            ReadCalendarItemRow(table, out);
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}

RResult ROrvaneDataManager::UpdateCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                               const char* accountGuid, const CalendarItemRecord& item) {
    CStringA list;
    AppendSqlTextAssignment(list, "parentCalendarGuid", Text(calendarGuid));
    AppendSqlTextAssignment(list, "scheduleTag", item.scheduleTag);
    AppendSqlTextAssignment(list, "etag", item.etag);
    AppendSqlTextAssignment(list, "serverFileName", item.serverFileName);
    AppendSqlTextAssignment(list, "localFileName", item.localFileName);
    AppendSqlTextAssignment(list, "summary", item.summary);
    AppendSqlTextAssignment(list, "dtStart", item.dtStart);
    AppendSqlTextAssignment(list, "dtStartTZ", item.dtStartTZ);
    AppendSqlTextAssignment(list, "dtEnd", item.dtEnd);
    AppendSqlTextAssignment(list, "dtEndTZ", item.dtEndTZ);
    AppendSqlTextAssignment(list, "dtStartOlsonTZ", item.dtStartOlsonTZ);
    AppendSqlTextAssignment(list, "dtEndOlsonTZ", item.dtEndOlsonTZ);
    AppendSqlTextAssignment(list, "whiteRabbitTimeZone", item.whiteRabbitTimeZone);
    AppendSqlTextAssignment(list, "dtPatternStart", item.dtPatternStart);
    AppendSqlTextAssignment(list, "dtPatternEnd", item.dtPatternEnd);
    AppendSqlTextAssignment(list, "dtStamp", item.dtStamp);
    AppendSqlTextAssignment(list, "dtCreated", item.dtCreated);
    AppendSqlTextAssignment(list, "dtLastModified", item.dtLastModified);
    AppendSqlTextAssignment(list, "dtAlarmTrigger", item.dtAlarmTrigger);
    AppendSqlTextAssignment(list, "rrule", item.rrule);
    AppendSqlTextAssignment(list, "recurrenceID", item.recurrenceID);
    AppendSqlIntAssignment(list, "sequence", item.sequence);
    AppendSqlTextAssignment(list, "exDates", item.exDates);
    AppendSqlTextAssignment(list, "location", item.location);
    AppendSqlTextAssignment(list, "description", item.description);
    AppendSqlTextAssignment(list, "url", item.url);
    AppendSqlTextAssignment(list, "status", item.status);
    AppendSqlTextAssignment(list, "transparency", item.transparency);
    AppendSqlTextAssignment(list, "organizer", item.organizer);
    AppendSqlTextAssignment(list, "myPartStat", item.myPartStat);
    AppendSqlTextAssignment(list, "attendees", item.attendees);
    AppendSqlTextAssignment(list, "icsBlob", item.icsBlob);
    // Only the row in calendarGuid is rewritten. One event can sit in two calendars of an
    // account under the same UID; a condition without the calendar would rewrite the other
    // calendar's row too and pull it into this one, so the other calendar loses the item and
    // this one holds it twice. Callers add first and update only what that add found here.
    CStringA sql;
    if (*Text(recurrenceID) != '\0') {
        sql.Format(
            "update CalendarItems set %s where guid = %s and parentAccountGuid = %s and parentCalendarGuid = %s and "
            "recurrenceID = %s;",
            list.GetString(), SqlQuote(guid).GetString(), SqlQuote(accountGuid).GetString(),
            SqlQuote(calendarGuid).GetString(), SqlQuote(recurrenceID).GetString());
    } else {
        sql.Format(
            "update CalendarItems set %s where guid = %s and parentAccountGuid = %s and parentCalendarGuid = %s and "
            "(recurrenceID is null or recurrenceID = '');",
            list.GetString(), SqlQuote(guid).GetString(), SqlQuote(accountGuid).GetString(),
            SqlQuote(calendarGuid).GetString());
    }
    StoreTransaction transaction(*this);
    static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
    transaction.TouchItems(accountGuid, guid);
    return transaction.Commit();
}

RResult ROrvaneDataManager::AddCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                            const char* accountGuid, const CalendarItemRecord& item) {
    // The look-ups and the insert are one transaction, so no other writer can add the same row
    // in between.
    StoreTransaction transaction(*this);
    CalendarRecord calendar;
    if (FindCalendar(accountGuid, Text(calendarGuid), &calendar) != R_OK) {
        return STG_E_PATHNOTFOUND;
    }
    CalendarItemRecord existing;
    if (*Text(recurrenceID) != '\0') {
        if (FindCalendarItem(guid, recurrenceID, calendarGuid, accountGuid, &existing) == R_OK) {
            return R_E_ALREADY_EXISTS;
        }
    } else {
        // Only a row without recurrence identifier is the master itself. The look-up by guid
        // alone also finds exception rows, and an exception stored before its master would
        // then keep the master out: the update that follows touches master rows only.
        CStringA sql = CalendarItemsSelect(accountGuid, calendarGuid);
        sql.Insert(sql.Find(" order by 1;"), CStringA(" and guid=") + SqlQuote(Text(guid)));
        CppSQLite3Table table;
        SelectRows(sql, this, table);
        for (int row = 0; row < table.numRows(); ++row) {
            table.setRow(row);
            if (*table.getStringField("recurrenceID") == '\0') {
                return R_E_ALREADY_EXISTS;
            }
        }
    }
    if (const RResult inserted = InsertCalendarItemRow(transaction, item); inserted != R_OK) {
        return inserted;
    }
    return transaction.Commit();
}

RResult ROrvaneDataManager::InsertCalendarItemRow(StoreTransaction& transaction, const CalendarItemRecord& item) {
    // The values are bound, not written into the text: an import runs this once per item, and
    // the text then names only which columns are set, so its compiled form is reused. Columns
    // left out keep their default (NULL), as before: empty texts and a sequence of 0.
    std::vector<const char*> names;  // of the columns set, in the order of `values`
    names.reserve(36);
    std::vector<SqlValue> values;
    values.reserve(36);
    std::uint64_t set = 0;  // bit i: the i-th column offered below is set
    int column = 0;
    const auto text = [&](const char* name, const CStringA& value) {
        if (value.GetString()[0] != '\0') {
            set |= std::uint64_t{1} << column;
            names.push_back(name);
            values.push_back(SqlValue{value.GetString(), 0});
        }
        ++column;
    };
    text("guid", item.guid);
    text("parentCalendarGuid", item.parentCalendarGuid);
    text("parentAccountGuid", item.parentAccountGuid);
    text("type", item.type);
    text("scheduleTag", item.scheduleTag);
    text("etag", item.etag);
    text("serverFileName", item.serverFileName);
    text("localFileName", item.localFileName);
    text("summary", item.summary);
    text("dtStart", item.dtStart);
    text("dtStartTZ", item.dtStartTZ);
    text("dtEnd", item.dtEnd);
    text("dtEndTZ", item.dtEndTZ);
    text("whiteRabbitTimeZone", item.whiteRabbitTimeZone);
    text("dtStartOlsonTZ", item.dtStartOlsonTZ);
    text("dtEndOlsonTZ", item.dtEndOlsonTZ);
    text("dtPatternStart", item.dtPatternStart);
    text("dtPatternEnd", item.dtPatternEnd);
    text("dtStamp", item.dtStamp);
    text("dtCreated", item.dtCreated);
    text("dtLastModified", item.dtLastModified);
    text("dtAlarmTrigger", item.dtAlarmTrigger);
    text("rrule", item.rrule);
    text("recurrenceID", item.recurrenceID);
    if (item.sequence > 0) {
        set |= std::uint64_t{1} << column;
        names.push_back("sequence");
        values.push_back(SqlValue{nullptr, item.sequence});
    }
    ++column;
    text("exDates", item.exDates);
    text("location", item.location);
    text("description", item.description);
    text("url", item.url);
    text("status", item.status);
    text("transparency", item.transparency);
    text("organizer", item.organizer);
    text("myPartStat", item.myPartStat);
    text("attendees", item.attendees);
    text("icsBlob", item.icsBlob);
    // The text for each set of columns is made once per thread: the rows of one calendar mostly
    // set the same columns.
    constexpr std::size_t kRemembered = 64;
    thread_local std::unordered_map<std::uint64_t, CStringA> texts;
    auto found = texts.find(set);
    if (found == texts.end()) {
        CStringA columns;
        CStringA parameters;
        for (const char* name : names) {
            AppendSqlColumnName(columns, name);
            parameters += parameters.IsEmpty() ? "?" : ", ?";
        }
        if (texts.size() >= kRemembered) {
            texts.clear();
        }
        CStringA sql;
        sql.Format("insert into CalendarItems (%s) values (%s);", columns.GetString(), parameters.GetString());
        found = texts.emplace(set, std::move(sql)).first;
    }
    transaction.TouchItems(item.parentAccountGuid, item.guid);
    return transaction.Exec(found->second, values);
}

RResult ROrvaneDataManager::DeleteCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                               const char* accountGuid) {
    CalendarRecord calendar;
    if (const RResult found = FindCalendar(accountGuid, Text(calendarGuid), &calendar); found != R_OK) {
        return found;
    }
    CalendarItemRecord row;
    CStringA path;
    const bool hasFile = FindCalendarItem(guid, recurrenceID, calendarGuid, accountGuid, &row) == R_OK &&
                         ItemFilePath(calendar, row.localFileName, path);
    CStringA sql;
    if (*Text(recurrenceID) != '\0') {
        sql.Format(
            "delete from CalendarItems where guid=%s and recurrenceID=%s and parentAccountGuid=%s and "
            "parentCalendarGuid=%s;",
            SqlQuote(guid).GetString(), SqlQuote(recurrenceID).GetString(), SqlQuote(accountGuid).GetString(),
            SqlQuote(calendarGuid).GetString());
    } else {
        // The master goes with every exception row of its guid.
        sql.Format("delete from CalendarItems where guid=%s and parentAccountGuid=%s and parentCalendarGuid=%s;",
                   SqlQuote(guid).GetString(), SqlQuote(accountGuid).GetString(), SqlQuote(calendarGuid).GetString());
    }
    return DeleteRowsThenFile(sql, accountGuid, {CStringA(Text(guid))}, hasFile ? path : CStringA());
}

RResult ROrvaneDataManager::DeleteCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                               const char* accountGuid) {
    CalendarRecord calendar;
    if (const RResult found = FindCalendar(accountGuid, Text(calendarGuid), &calendar); found != R_OK) {
        return found;
    }
    CalendarItemRecord row;
    CStringA path;
    const bool hasFile = FindCalendarItemByServerFileName(serverFileName, calendarGuid, accountGuid, &row) == R_OK &&
                         ItemFilePath(calendar, row.localFileName, path);
    // The rows go by the name as given and by its last component, the form the rows store, so
    // a path-qualified name never removes the item's file yet leaves its rows.
    CStringA name;
    GetLastPathComponentA(CStringA(Text(serverFileName)), &name);
    CStringA where;
    where.Format("where (serverFileName=%s or serverFileName=%s) and parentAccountGuid=%s and parentCalendarGuid=%s",
                 SqlQuote(serverFileName).GetString(), SqlQuote(name).GetString(), SqlQuote(accountGuid).GetString(),
                 SqlQuote(calendarGuid).GetString());
    // The guids whose rows go, for the caches of the date-range query.
    CppSQLite3Table guids;
    SelectRows(CStringA("select distinct guid from CalendarItems ") + where + ";", this, guids);
    std::vector<CStringA> touched;
    for (int i = 0; i < guids.numRows(); ++i) {
        guids.setRow(i);
        touched.emplace_back(guids.getStringField("guid"));
    }
    return DeleteRowsThenFile(CStringA("delete from CalendarItems ") + where + ";", accountGuid, touched,
                              hasFile ? path : CStringA());
}

RResult ROrvaneDataManager::DeleteRowsThenFile(const char* sql, const char* accountGuid,
                                               const std::vector<CStringA>& guids, const CStringA& file) {
    {
        StoreTransaction transaction(*this);
        static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
        for (const CStringA& guid : guids) {
            transaction.TouchItems(accountGuid, guid);
        }
        if (const RResult committed = transaction.Commit(); committed != R_OK) {
            return committed;
        }
    }
    // Only once no row names the file: a crash in between leaves a stray file, never a row
    // whose file is gone.
    if (!file.IsEmpty() && unlink(file.GetString()) != 0 && errno != ENOENT) {
        return ResultFromErrno(errno);
    }
    return R_OK;
}

RResult ROrvaneDataManager::WriteCalendarItemFile(const char* text, const char* fileName, const char* calendarGuid,
                                                  const char* accountGuid) {
    if (text == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    CalendarRecord calendar;
    if (const RResult found = FindCalendar(accountGuid, Text(calendarGuid), &calendar); found != R_OK) {
        return found;
    }
    CStringA path;
    if (!ItemFilePath(calendar, CStringA(Text(fileName)), path)) {
        return R_E_INVALID_ARGUMENT;
    }
    return ResultFromErrno(WriteFileAtomically(path, text, std::strlen(text)));
}

RResult ROrvaneDataManager::WriteCalendarItemFiles(const std::vector<ItemFileText>& files, const char* calendarGuid,
                                                   const char* accountGuid) {
    if (files.empty()) {
        return R_OK;
    }
    CalendarRecord calendar;
    if (const RResult found = FindCalendar(accountGuid, Text(calendarGuid), &calendar); found != R_OK) {
        return found;
    }
    // The calendar's folder is checked once for the whole batch.
    if (!ItemFolderIsSafe(calendar)) {
        return R_E_INVALID_ARGUMENT;
    }
    std::vector<FileToWrite> writes;
    writes.reserve(files.size());
    for (const ItemFileText& file : files) {
        FileToWrite write;
        if (file.text == nullptr || !ItemFilePathIn(calendar, CStringA(Text(file.fileName)), write.path)) {
            return R_E_INVALID_ARGUMENT;
        }
        write.bytes = file.text;
        write.length = std::strlen(file.text);
        writes.push_back(std::move(write));
    }
    return ResultFromErrno(WriteFilesAtomically(writes));
}
