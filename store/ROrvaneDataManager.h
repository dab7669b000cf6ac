#pragma once
// The local store: one object shared by the whole program. It owns the SQLite connection and
// the lock that serialises its statements, the paths of the data folder, and the cipher with
// which account passwords are enciphered. Every statement runs through ExecuteSql.
//
// Data folder layout: OrvaneDB.sqlite; Accounts/<account guid>/<calendar guid>/<item file>,
// every name made safe for a file name and kept below its parent folder; an item file whose
// server name is too long for a file name has a shortened local name (LocalItemFileName).
//
// The virtual operations are in the store's fixed slot order, after the destructor, AddRef
// and Release of RRefCounted.
//
// Writes: every operation that changes rows runs as one StoreTransaction (begun IMMEDIATE, so
// another process's write is waited for, not failed halfway). A failed statement, a folder that
// could not be made or a file that could not be written fails the operation with its code, and
// what was stored before stays as it was.
//
// May be shared between threads: statements are serialised by the store's statement lock and
// writes by its write lock; Open runs before the store is shared.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/crypto/CCrypto.h"
#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "platform/threads/Mutex.h"
#include "store/records/AccountRecord.h"
#include "store/records/CalendarItemRecord.h"
#include "store/records/CalendarRecord.h"
#include "store/records/ItemPointerArray.h"
#include "store/records/TimeZoneRecord.h"
#include "store/sqlite/CppSQLite3DB.h"
#include "store/sqlite/ExecuteSql.h"
#include "store/sqlite/WriteTouches.h"

class RIcsCalendar;
class RIcsComponent;
class RIcsDateTime;
class RIcsTimeZone;
class StoreTransaction;
struct SeriesRowCache;


class ROrvaneDataManager : public RRefCounted {
public:
    // `busyTimeoutMs`: how long a statement waits for another connection's lock before it fails.
    explicit ROrvaneDataManager(int busyTimeoutMs = 60000);
    ~ROrvaneDataManager() override;

    // Store, schema and upgrade.
    // 0; R_E_EXCEPTION when the database cannot be opened; R_E_BAD_FORMAT when the file is not
    // an SQLite database, or holds tables but is not this program's store (no DatabaseInfo
    // row of ours); R_E_ACCESS_DENIED when it can only be read; R_E_DATABASE_BUSY when another
    // connection kept it from being read; R_E_DATABASE_CORRUPT when a statement run while
    // opening found the store's file damaged (every statement after that is refused the same way,
    // see ExecuteSql). On failure the file is left as it was, the connection is closed and no
    // Accounts folder is made.
    // On success, leftovers of interrupted work are cleared: temporary files of writers that no
    // longer run, and the folders, stored passwords and grants of accounts that have no row.
    // Open's statements together wait at most one busy timeout for another connection's lock;
    // a write of Open that could not get it is left for the next open (the store works on).
    [[nodiscard]] virtual RResult Open(const CStringW& dataFolder);
    [[nodiscard]] virtual RResult CreateDatabase();
    [[nodiscard]] virtual RResult UpgradeDatabase();
    // Raises the access layer's exception when DatabaseInfo cannot be read.
    [[nodiscard]] virtual int GetDatabaseVersion();
    [[nodiscard]] virtual RResult SetDatabaseVersion(int version);

    // Accounts (the password enciphered in the settings hive's Keys).
    // Raises the access layer's exception when the select fails.
    // AddAccount stores the row, makes the account's folder and saves the password: all three, or
    // (on the first failure, whose code it returns) none. UpdateAccount likewise for the row
    // and the password. DeleteAccount removes the rows of the account, its calendars and items
    // in one transaction, then its folder, then its password; it returns the first failure.
    [[nodiscard]] virtual int GetAccountCount();
    [[nodiscard]] virtual RResult GetAccount(int position, AccountRecord* out);
    [[nodiscard]] virtual RResult AddAccount(AccountRecord* record);
    [[nodiscard]] virtual RResult UpdateAccount(AccountRecord* record);
    [[nodiscard]] virtual RResult FindAccount(const char* guid, AccountRecord* out);
    [[nodiscard]] virtual RResult DeleteAccount(const char* guid);
    [[nodiscard]] virtual RResult SaveAccountPassword(AccountRecord* record);
    [[nodiscard]] virtual RResult LoadAccountPassword(AccountRecord* record);
    [[nodiscard]] virtual RResult DeleteAccountPassword(AccountRecord* record);

    // Calendars. AddCalendar stores the row and makes the folder, or neither; DeleteCalendar
    // removes the rows in one transaction and then the folder.
    [[nodiscard]] virtual int GetCalendarCount(const char* accountGuid);
    [[nodiscard]] virtual bool IsEventCalendar(const CalendarRecord& record);
    [[nodiscard]] virtual bool IsEventCalendarAt(const char* accountGuid, int position);
    [[nodiscard]] virtual RResult GetCalendar(const char* accountGuid, int position, CalendarRecord* out);
    [[nodiscard]] virtual RResult FindCalendarByPath(const char* accountGuid, const char* path, CalendarRecord* out);
    [[nodiscard]] virtual RResult FindCalendar(const char* accountGuid, const char* calendarGuid, CalendarRecord* out);
    [[nodiscard]] virtual RResult AddCalendar(const char* accountGuid, CalendarRecord* record);
    [[nodiscard]] virtual RResult UpdateCalendar(const char* accountGuid, CalendarRecord* record);
    [[nodiscard]] virtual RResult ImportIcsCalendar(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                      const char* scheduleTag, const char* etag, RIcsCalendar* calendar);
    [[nodiscard]] virtual RResult DeleteCalendar(const char* accountGuid, CalendarRecord& record);
    [[nodiscard]] virtual RResult DeleteCalendarByGuid(const char* accountGuid, const char* calendarGuid);

    // Conversion of parsed components into rows. An event or to-do without DTSTART makes no row
    // (StoresComponent is false for it): it is logged and skipped.
    static bool StoresComponent(const RIcsComponent* component);
    [[nodiscard]] virtual RResult ConvertIcsEvent(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                    const char* scheduleTag, const char* etag, RIcsComponent* component,
                                    CalendarItemRecord* out);
    [[nodiscard]] virtual RResult ConvertIcsTodo(const char* accountGuid, const char* calendarGuid, const char* serverFileName,
                                   const char* scheduleTag, const char* etag, RIcsComponent* component,
                                   CalendarItemRecord* out);
    [[nodiscard]] virtual RResult ConvertIcsTimeZone(RIcsTimeZone* zone, TimeZoneRecord* out);

    // Calendar items and item files. A failed statement or file write returns its code.
    // Deletes remove the rows first and then the file, so no row ever names a missing file.
    [[nodiscard]] virtual int GetCalendarItemCount(const char* calendarGuid, const char* accountGuid);
    [[nodiscard]] virtual RResult GetCalendarItem(const char* calendarGuid, const char* accountGuid, int index,
                                    CalendarItemRecord* out);
    [[nodiscard]] virtual RResult FindCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                     const char* accountGuid, CalendarItemRecord* out);
    [[nodiscard]] virtual RResult FindCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                     const char* accountGuid, CalendarItemRecord* out);
    [[nodiscard]] virtual RResult UpdateCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                       const char* accountGuid, const CalendarItemRecord& item);
    [[nodiscard]] virtual RResult AddCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                    const char* accountGuid, const CalendarItemRecord& item);
    [[nodiscard]] virtual RResult DeleteCalendarItem(const char* guid, const char* recurrenceID, const char* calendarGuid,
                                       const char* accountGuid);
    [[nodiscard]] virtual RResult DeleteCalendarItemByServerFileName(const char* serverFileName, const char* calendarGuid,
                                                       const char* accountGuid);
    [[nodiscard]] virtual RResult WriteCalendarItemFile(const char* text, const char* fileName, const char* calendarGuid,
                                          const char* accountGuid);

    // Time zones.
    [[nodiscard]] virtual int GetTimeZoneCount();
    [[nodiscard]] virtual RResult GetTimeZone(int position, TimeZoneRecord* out);
    [[nodiscard]] virtual RResult AddTimeZone(TimeZoneRecord* record);
    [[nodiscard]] virtual RResult UpdateTimeZone(TimeZoneRecord* record);
    [[nodiscard]] virtual RResult FindTimeZone(const TimeZoneRecord& key, TimeZoneRecord* out);
    [[nodiscard]] virtual RResult FindTimeZoneByOlsonID(const char* olsonID, TimeZoneRecord* out);

    // Date-range query.
    [[nodiscard]] virtual RResult GetCalendarItemsInDateRange(const char* accountGuid, const RDateTime& from, const RDateTime& to,
                                                ItemPointerArray** result);
    // The same rows in the same order, appended to `rows`. The rows of repeating items are the
    // records the store keeps between queries, shared rather than copied (they never change;
    // a later write replaces them); single items are read with the fields `texts` asks for.
    [[nodiscard]] virtual RResult GetSharedItemsInDateRange(const char* accountGuid, const RDateTime& from,
                                                            const RDateTime& to, SharedItemList* rows,
                                                            ItemTexts texts = ItemTexts::Whole);
    virtual RResult FreeCalendarItemList(ItemPointerArray** list);
    [[nodiscard]] virtual bool IsItemInList(const CalendarItemRecord& item, const ItemPointerArray* list);
    [[nodiscard]] virtual bool IsRecurringItemInDateRange(const CalendarItemRecord& item, const char* accountGuid,
                                            const RDateTime& from, const RDateTime& to, CppSQLite3Table* rows);
    [[nodiscard]] virtual RResult FindRecurrenceException(const CalendarItemRecord& master, RIcsDateTime* occurrence,
                                            const char* accountGuid, CalendarItemRecord* out, CppSQLite3Table* rows);
    virtual RResult GetItemStartDateTime(RIcsDateTime* occurrence, const CalendarItemRecord& item);

    // Several item files of one calendar written as one (see WriteFilesAtomically): one flush to
    // disk for all of them, for callers that store many items at once. 0 when every file is in
    // place; otherwise the first failure, with no temporary file left, and (unless a rename
    // failed) none of the files changed. The calendar is looked up once.
    struct ItemFileText {
        const char* text = nullptr;
        const char* fileName = nullptr;
    };
    [[nodiscard]] RResult WriteCalendarItemFiles(const std::vector<ItemFileText>& files, const char* calendarGuid,
                                                 const char* accountGuid);

    // Lets go of the database pages the connection keeps cached from the writes and reads so far,
    // when they take more than `above` bytes. An import of many rounds calls it after each round,
    // so that its memory stays bounded instead of growing with the rows written (up to the
    // cache's whole size); a bound of a few rounds' pages keeps the pages every round writes
    // again (the indexes' and the table's last ones) from being read back after each round.
    void ReleaseCachedPages(long long above = 0);

    // Several parsed resources of one calendar imported as ImportIcsCalendar imports each, in
    // one transaction, with the calendar looked up and its stored rows' identities read once for
    // all of them. 0, or the first failure (R_E_INVALID_ARGUMENT for a missing calendar object),
    // and then none of the resources' rows stay, whatever stopped the import.
    struct IcsResource {
        const char* serverFileName = nullptr;
        const char* scheduleTag = nullptr;
        const char* etag = nullptr;
        RIcsCalendar* calendar = nullptr;
    };
    [[nodiscard]] RResult ImportIcsCalendars(const char* accountGuid, const char* calendarGuid,
                                             const std::vector<IcsResource>& resources);

    // Every row of a calendar (masters and exceptions) read by one select, for callers that
    // compare a whole calendar; 0, or R_E_BAD_FORMAT when the select failed (`out` emptied).
    RResult GetCalendarItems(const char* calendarGuid, const char* accountGuid, std::vector<CalendarItemRecord>* out);

    // The fields by which a sync compares a calendar's rows with its collection, of every row
    // (masters and exceptions) read by one narrow select: no item's text is read. 0, or
    // R_E_BAD_FORMAT when the select failed (`out` emptied).
    struct ItemTags {
        CStringA guid;
        CStringA recurrenceID;
        CStringA serverFileName;
        CStringA etag;
        CStringA scheduleTag;
    };
    RResult GetCalendarItemTags(const char* calendarGuid, const char* accountGuid, std::vector<ItemTags>* out);

    // The connection, closed until the store is opened. For use while no other thread uses
    // the store (tests, and the program before it shares the store).
    CppSQLite3DB& Connection() ORVANE_NO_THREAD_SAFETY_ANALYSIS { return db; }
    const CStringW& DataDir() const { return dataDir; }
    const CStringW& DbPath() const { return dbPath; }
    const CStringW& AccountsDir() const { return accountsDir; }

    // Several writes landed as one: the store's operations made while a WriteBatch is open join
    // its transaction, so their rows are committed together (one commit instead of one per
    // operation) or, when any of them failed or the batch is left without Commit, none are.
    // Item files written meanwhile stay (each was complete before its row was written).
    // Belongs to the thread that made it; it holds the store's write lock for its life, so it
    // should cover only store calls, never waits on other threads or locks taken before a write.
    class WriteBatch {
    public:
        // The analysis cannot follow the scoped write lock kept behind a pointer, so the batch's
        // own three functions are left out of it.
        explicit WriteBatch(ROrvaneDataManager& store) ORVANE_NO_THREAD_SAFETY_ANALYSIS;
        // Rolls back when Commit was not called.
        ~WriteBatch() ORVANE_NO_THREAD_SAFETY_ANALYSIS;
        WriteBatch(const WriteBatch&) = delete;
        WriteBatch& operator=(const WriteBatch&) = delete;
        // Commits when no write in the batch failed, else rolls back; 0 or the first failure.
        [[nodiscard]] RResult Commit() ORVANE_NO_THREAD_SAFETY_ANALYSIS;

    private:
        std::unique_ptr<StoreTransaction> transaction;
    };

private:
    // The account's OAuth 2.0 grant, a long-lived secret, is kept like the password: enciphered
    // in the hive's Keys under "<guid>.OAuthGrant", never in the Accounts table. An empty grant
    // removes the value.
    RResult SaveAccountGrant(const AccountRecord& record);
    // After the row was read: a grant found in clear in the row is moved to the hive once (the
    // column is emptied); otherwise the record gets the stored grant, empty when there is none.
    RResult LoadAccountGrant(AccountRecord& record);
    RResult DeleteAccountGrant(const CStringA& guid);
    // The name of the hive value that holds the account's grant.
    static CStringW GrantValueName(const CStringA& guid);

    friend RResult ExecuteSql(const char* sql, std::uint32_t mode, ROrvaneDataManager* store, CppSQLite3Table* table);
    friend RResult ExecuteStoreWrite(const char* sql, ROrvaneDataManager* store);
    friend RResult ExecuteStoreWrite(const char* sql, const std::vector<SqlValue>& values, ROrvaneDataManager* store);
    friend class StoreTransaction;

    // The connection's open, close (failures swallowed) and read-only test, each under sqlMutex.
    // Opening forgets that an earlier file was found damaged.
    void OpenConnection(const char* path);
    void CloseConnection();
    // Whether a statement has found the file damaged since it was opened.
    bool FoundDamaged();
    // While Open runs, every statement waits only for what is left of one busy timeout counted
    // from Open's start; afterwards each statement waits the whole timeout again.
    void LimitWaitsToOneTimeout(bool limited);
    bool ConnectionIsReadOnly();
    // Steps through a select's rows under sqlMutex, handing each to `visit` (which must run no
    // statement of its own). A failed select is traced and raises the access layer's exception
    // "Null Results pointer", as SelectRows does.
    void VisitRows(const char* sql, const std::function<void(const CppSQLite3Row&)>& visit);
    // The same for a select whose '?' parameters take `values`, compiled once and kept.
    void VisitRows(const char* sql, const std::vector<SqlValue>& values,
                   const std::function<void(const CppSQLite3Row&)>& visit);
    // The date-range query: each single item, freshly read (null when memory ran out), then each
    // kept row of a repeating item that shows, in the order the query gives them.
    void VisitItemsInDateRange(const char* accountGuid, const RDateTime& from, const RDateTime& to,
                               ItemTexts singleTexts,
                               const std::function<void(std::unique_ptr<CalendarItemRecord>)>& single,
                               const std::function<void(const std::shared_ptr<const CalendarItemRecord>&)>& kept);
    // Runs one statement under sqlMutex; with `ownWrite` its changed rows count as the store's.
    // With `values`, an exec statement's '?' parameters take them (see CppSQLite3DB::execBound).
    RResult RunStatement(const char* sql, std::uint32_t mode, CppSQLite3Table* table, bool ownWrite,
                         const std::vector<SqlValue>* values = nullptr);
    // Runs statements as one transaction: all of them or, when one fails, none.
    RResult ExecuteInTransaction(const char* const* statements, int count);
    // Clears what interrupted work left: stale temporary item files, and the folders, passwords
    // and grants of accounts without a row (see ROrvaneLeftovers.cpp).
    void RemoveLeftovers();
    // Removes the values of the hive's Keys that belong to no account of `accountGuids` (every
    // account row's guid): the passwords and grants a delete cut short left behind.
    void RemoveSecretsOfOtherAccounts(const std::vector<CStringA>& accountGuids);
    // Reads every page of the item and zone tables once, so that damage there is found at open
    // (FoundDamaged) rather than by a later write.
    void ReadEveryTablePage();
    // The page cache of that walk, in KiB.
    static constexpr int kPageWalkCacheKiB = 1024;
    // Adds the indexes that the store's selects need to a database made before they existed.
    RResult EnsureIndexes();
    // The text of a select over the calendar's item rows.
    static CStringA CalendarItemsSelect(const char* accountGuid, const char* calendarGuid);
    // The item file of a row, when the calendar's folder and the row's name make a safe path.
    bool ItemFilePath(const CalendarRecord& calendar, const CStringA& localFileName, CStringA& path) const;
    // The two halves of ItemFilePath, for a batch that checks its calendar's folder once.
    bool ItemFolderIsSafe(const CalendarRecord& calendar) const;
    static bool ItemFilePathIn(const CalendarRecord& calendar, const CStringA& localFileName, CStringA& path);
    // The rows of one resource, within an import's transaction (see ROrvaneImport.cpp); 0 or
    // the first failure, which the caller's transaction decides on.
    struct ImportState;
    RResult ImportResource(StoreTransaction& transaction, const char* accountGuid, const char* calendarGuid,
                           const IcsResource& resource, ImportState& state);
    // The insert of AddCalendarItem, once its look-ups have found no such row.
    RResult InsertCalendarItemRow(StoreTransaction& transaction, const CalendarItemRecord& item);
    // Deletes item rows with one statement, then the file they named (when `file` is not empty).
    RResult DeleteRowsThenFile(const char* sql, const char* accountGuid, const std::vector<CStringA>& guids,
                               const CStringA& file);
    // Deletes a folder that a stored row names, only when it lies below the Accounts folder.
    RResult DeleteStoredFolder(const CStringA& path) const;
    // The connection's change stamp, ignoring the store's own writes (which AfterWrite reports
    // to the caches precisely), or -1 when it cannot be read.
    long long ForeignChangeStamp();
    // Called by the outermost StoreTransaction when it ends: tells the caches what changed.
    void AfterWrite(bool committed, const WriteTouches& touches);

    // The connection. Open and the destructor use it before the store is shared and after it
    // is no longer; everything else goes through RunStatement under sqlMutex.
    // A platform::Mutex cannot be abandoned: a thread that dies holding it is a program fault,
    // not a state to recover from, so R_E_WAIT_ABANDONED is never produced here.
    platform::Mutex sqlMutex;
    const int busyTimeoutMs;
    CppSQLite3DB db ORVANE_GUARDED_BY(sqlMutex);
    std::optional<std::chrono::steady_clock::time_point> waitDeadline ORVANE_GUARDED_BY(sqlMutex);
    bool damaged ORVANE_GUARDED_BY(sqlMutex) = false;
    // Rows changed by the store's own writes.
    long long ownChanges ORVANE_GUARDED_BY(sqlMutex) = 0;
    CStringW dataDir;
    CStringW dbPath;
    CStringW accountsDir;
    // The cipher reuses one memory file per call, so calls from several threads take turns.
    platform::Mutex cryptoMutex;
    MFC::CCrypto crypto ORVANE_GUARDED_BY(cryptoMutex);
    // Held by every StoreTransaction: one thread writes at a time, and a look-up that decides an
    // insert (find then add) sees no other thread's write in between.
    platform::RecursiveMutex writeMutex;
    int writeDepth ORVANE_GUARDED_BY(writeMutex) = 0;            // nested transactions of its holder
    RResult writeFailure ORVANE_GUARDED_BY(writeMutex) = R_OK;   // the open transaction's first failure
    WriteTouches writeTouches ORVANE_GUARDED_BY(writeMutex);     // what the open transaction changed
    // The date-range query's rows of repeating items, by account.
    platform::Mutex seriesMutex;
    std::unique_ptr<SeriesRowCache> seriesCache ORVANE_PT_GUARDED_BY(seriesMutex);
};
