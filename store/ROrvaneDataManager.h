#pragma once
// The local store: one object shared by the whole program. It owns the SQLite connection and
// the lock that serialises its statements, the paths of the data folder, and the cipher with
// which account passwords are enciphered. Every statement runs through ExecuteSql.
//
// Data folder layout: OrvaneDB.sqlite; Accounts/<account guid>/<calendar guid>/<item file>,
// every name made safe for a file name and kept below its parent folder.
//
// The virtual operations are in the store's fixed slot order, after the destructor, AddRef
// and Release of RRefCounted.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/crypto/CCrypto.h"
#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "store/records/AccountRecord.h"
#include "store/records/CalendarItemRecord.h"
#include "store/records/CalendarRecord.h"
#include "store/records/ItemPointerArray.h"
#include "store/records/TimeZoneRecord.h"
#include "store/sqlite/CppSQLite3DB.h"
#include "store/sqlite/ExecuteSql.h"

class RIcsCalendar;
class RIcsComponent;
class RIcsDateTime;
class RIcsTimeZone;
struct SeriesRowCache;


class ROrvaneDataManager : public RRefCounted {
public:
    ROrvaneDataManager();
    ~ROrvaneDataManager() override;

    // Store, schema and upgrade.
    // 0; R_E_EXCEPTION when the database cannot be opened; R_E_BAD_FORMAT when the file is not
    // an SQLite database; R_E_ACCESS_DENIED when it can only be read. On failure the file is
    // left as it was, the connection is closed and no Accounts folder is made.
    virtual RResult Open(const CStringW& dataFolder);
    virtual RResult CreateDatabase();
    virtual RResult UpgradeDatabase();
    // Raises the access layer's exception when DatabaseInfo cannot be read.
    virtual int GetDatabaseVersion();
    virtual RResult SetDatabaseVersion(int version);

    // Accounts (the password enciphered in the settings hive's Keys).
    // Raises the access layer's exception when the select fails.
    virtual int GetAccountCount();
    virtual RResult GetAccount(int position, AccountRecord* out);
    virtual void AddAccount(AccountRecord* record);
    virtual void UpdateAccount(AccountRecord* record);
    virtual RResult FindAccount(const char* guid, AccountRecord* out);
    virtual RResult DeleteAccount(const char* guid);
    virtual RResult SaveAccountPassword(AccountRecord* record);
    virtual RResult LoadAccountPassword(AccountRecord* record);
    virtual RResult DeleteAccountPassword(AccountRecord* record);

    // Calendars.
    virtual int GetCalendarCount(const char* accountGuid);
    virtual bool IsEventCalendar(const CalendarRecord& record);
    virtual bool IsEventCalendarAt(const char* accountGuid, int position);
    virtual RResult GetCalendar(const char* accountGuid, int position, CalendarRecord* out);
    virtual RResult FindCalendarByPath(const char* accountGuid, const char* path, CalendarRecord* out);
    virtual RResult FindCalendar(const char* accountGuid, const char* calendarGuid, CalendarRecord* out);
    virtual RResult AddCalendar(const char* accountGuid, CalendarRecord* record);
    virtual RResult UpdateCalendar(const char* accountGuid, CalendarRecord* record);
    virtual RResult ImportIcsCalendar(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                      const char* scheduleTag, const char* etag, RIcsCalendar* calendar);
    virtual RResult DeleteCalendar(const char* accountGuid, CalendarRecord& record);
    virtual RResult DeleteCalendarByGuid(const char* accountGuid, const char* calendarGuid);

    // Conversion of parsed components into rows.
    virtual RResult ConvertIcsEvent(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                    const char* scheduleTag, const char* etag, RIcsComponent* component,
                                    CalendarItemRecord* out);
    virtual RResult ConvertIcsTodo(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                   const char* scheduleTag, const char* etag, RIcsComponent* component,
                                   CalendarItemRecord* out);
    virtual RResult ConvertIcsTimeZone(RIcsTimeZone* zone, TimeZoneRecord* out);

    // Calendar items and item files.
    virtual int GetCalendarItemCount(const char* calendarGuid, const char* accountGuid);
    virtual RResult GetCalendarItem(const char* calendarGuid, const char* accountGuid, int index,
                                    CalendarItemRecord* out);
    virtual RResult FindCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                     const char* accountGuid, CalendarItemRecord* out);
    virtual RResult FindCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                     const char* accountGuid, CalendarItemRecord* out);
    virtual RResult UpdateCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                       const char* accountGuid, const CalendarItemRecord& item);
    virtual RResult AddCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                    const char* accountGuid, const CalendarItemRecord& item);
    virtual RResult DeleteCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                       const char* accountGuid);
    virtual RResult DeleteCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                       const char* accountGuid);
    virtual RResult WriteCalendarItemFile(const char* text, const char* fileName, const char* calendarGuid,
                                          const char* accountGuid);

    // Time zones.
    virtual int GetTimeZoneCount();
    virtual RResult GetTimeZone(int position, TimeZoneRecord* out);
    virtual void AddTimeZone(TimeZoneRecord* record);
    virtual void UpdateTimeZone(TimeZoneRecord* record);
    virtual RResult FindTimeZone(const TimeZoneRecord& key, TimeZoneRecord* out);
    virtual RResult FindTimeZoneByOlsonID(const char* olsonID, TimeZoneRecord* out);

    // Date-range query.
    virtual RResult GetCalendarItemsInDateRange(const char* accountGuid, const RDateTime& from, const RDateTime& to,
                                                ItemPointerArray** result);
    virtual RResult FreeCalendarItemList(ItemPointerArray** list);
    virtual bool IsItemInList(const CalendarItemRecord& item, const ItemPointerArray* list);
    virtual bool IsRecurringItemInDateRange(const CalendarItemRecord& item, const char* accountGuid,
                                            const RDateTime& from, const RDateTime& to, CppSQLite3Table* rows);
    virtual RResult FindRecurrenceException(const CalendarItemRecord& master, RIcsDateTime* occurrence,
                                            const char* accountGuid, CalendarItemRecord* out, CppSQLite3Table* rows);
    virtual RResult GetItemStartDateTime(RIcsDateTime* occurrence, const CalendarItemRecord& item);

    // Every row of a calendar (masters and exceptions) read by one select, for callers that
    // compare a whole calendar; 0, or R_E_BAD_FORMAT when the select failed (`out` emptied).
    RResult GetCalendarItems(const char* calendarGuid, const char* accountGuid, std::vector<CalendarItemRecord>* out);

    // The connection, closed until the store is opened.
    CppSQLite3DB& Connection() { return db; }
    const CStringW& DataDir() const { return dataDir; }
    const CStringW& DbPath() const { return dbPath; }
    const CStringW& AccountsDir() const { return accountsDir; }

private:
    friend RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table);

    // Runs statements as one transaction: all of them or, when one fails, none.
    RResult ExecuteInTransaction(const char* const* statements, int count);
    // The text of a select over the calendar's item rows.
    static CStringA CalendarItemsSelect(const char* accountGuid, const char* calendarGuid);
    // The item file of a row, when the calendar's folder and the row's name make a safe path.
    bool ItemFilePath(const CalendarRecord& calendar, const CStringA& localFileName, CStringA& path) const;
    // Deletes a folder that a stored row names, only when it lies below the Accounts folder.
    void DeleteStoredFolder(const CStringA& path) const;
    // The connection's change stamp (CppSQLite3DB::changeStamp), or -1 when it cannot be read.
    long long ChangeStamp();
    // Writes between BeginBatch and EndBatch are committed together: one commit (and one wait
    // for the disk) instead of one per statement. Batches of several threads nest into one;
    // the batch is always committed, never rolled back, so every statement takes effect just
    // as it would on its own.
    void BeginBatch();
    void EndBatch();

    CppSQLite3DB db{60000};
    CStringW dataDir;
    CStringW dbPath;
    CStringW accountsDir;
    // Made with the store, so no two threads can race to create it on their first statement.
    // A std::mutex cannot be abandoned: a thread that dies holding it is a program fault, not a
    // state to recover from, so R_E_WAIT_ABANDONED is never produced here.
    std::mutex sqlMutex;
    MFC::CCrypto crypto;
    // The cipher reuses one memory file per call, so calls from several threads take turns.
    std::mutex cryptoMutex;
    // Held around each look-up that decides an insert (find then add), so two threads cannot
    // both find nothing and store the same row twice. Statements inside still take sqlMutex.
    std::recursive_mutex writeMutex;
    // The date-range query's rows of repeating items, by account; used under seriesMutex.
    std::unique_ptr<SeriesRowCache> seriesCache;
    std::mutex seriesMutex;
    std::mutex batchMutex;
    int batchDepth = 0;
    bool batchOpen = false;
};
