#pragma once
// One calendar of an account: the in-memory face of one Calendars row, tied to its server
// collection (RCalDAVCalendar) by path once the account's refresh has listed it. Its setters
// write the row through at once. It syncs with the server, uploads, moves and deletes items,
// downloads subscriptions and imports files.
//
// Shared between threads: the record, the server attachment, the pending deletes and the tags
// of resources without rows are kept under the calendar's own mutex (getters return copies), and every server operation runs under
// the calendar's operation lock (see OperationLock.h). Lock order: operation -> account ->
// calendar record -> protocol objects -> store.
#include "foundation/ResultCodes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/threads/Mutex.h"
#include <vector>

#include "dav/caldav/RCalDAVCalendar.h"
#include "foundation/memory/RRef.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "store/ROrvaneDataManager.h"
#include "sync/OperationLock.h"

class ROrvaneAccount;
class ROrvaneCalendarItem;
class RIcsCalendar;

// How an import of a file went. Its items are the file's resources: its events and to-dos, one
// resource per UID.
struct ImportOutcome {
    // 0; the file's own failure (unreadable, not a calendar: then nothing was tried); else the
    // first failed item's code, for an item the server refused its HTTP status.
    RResult result = 0;
    int all = 0;      // items in the file
    int arrived = 0;  // items on the server and in the store
    bool stopped = false;  // ended on request before every item was tried
    ImportOutcome& Failed(RResult code) {
        result = code;
        return *this;
    }
};

// How a caller follows an import: `progress` (items done, all items) after each item, and a flag
// that, once set, ends the import before its next item.
struct ImportControl {
    std::function<void(int done, int all)> progress;
    const std::atomic<bool>* stop = nullptr;
};

class ROrvaneCalendar : public RRefCounted {
public:
    ROrvaneCalendar();
    ~ROrvaneCalendar() override;

    virtual RResult InitFromStore(ROrvaneDataManager* dataManager, ROrvaneAccount* account, int index);
    virtual RResult Create(ROrvaneDataManager* dataManager, ROrvaneAccount* account, const char* displayName);
    virtual RResult LoadFromStore(int index);
    // Attaches the collection of the account's last listing whose path equals the stored
    // pathURI; the index is not used (a position in a listing names no particular collection).
    virtual RResult AttachServerCalendar(int index);
    virtual RResult Reload();
    virtual RResult SaveNew();

    virtual CStringA GetParentAccountGuid();
    virtual CStringA GetGuid();
    virtual CStringA GetServerPath();
    virtual CStringA GetCTag();
    virtual void SetCTag(const char* value);
    virtual CStringA GetSyncToken();
    virtual void SetSyncToken(const char* value);
    virtual CStringA GetDisplayName();
    virtual void SetDisplayName(const char* value);
    virtual CStringA GetDescription();
    virtual void SetDescription(const char* value);
    virtual int GetCalendarOrder();
    virtual void SetCalendarOrder(int value);
    virtual CStringA GetRGBValue();
    virtual void SetRGBValue(const char* value);
    virtual int GetEnabled();
    virtual void SetEnabled(int value);
    virtual bool IsReadOnly();
    virtual void SetReadOnly(int value);
    virtual CStringA GetSubscriptionURL();
    virtual void SetSubscriptionURL(const char* value);
    virtual int GetDaysSinceLastRefresh();
    virtual void MarkRefreshedNow();
    virtual CStringA GetOwner();
    virtual void SetOwner(const char* value);
    virtual CStringA GetResourceType();
    virtual void SetResourceTypeW(const CStringW& value);
    virtual void SetResourceType(const char* value);
    virtual CStringA GetSupportedCalendarComponentSet();

    virtual bool IsUsableCalendar();
    virtual bool IsSubscribed();

    // Brings the stored items up to date with the collection (see ROrvaneCalendarSync.cpp).
    virtual RResult SyncWithServer(bool force);
    // Uploads a VCALENDAR (see ROrvaneCalendarUpload.cpp). fileName, scheduleTag and etag may be
    // null or empty (not given). After a successful upload the resource's new entity tag and
    // schedule tag are read back into newEtag / newScheduleTag when those are given, so that the
    // caller stores them with its rows. Results: 0; R_E_BAD_FORMAT when there is nothing to send;
    // R_E_INVALID_ARGUMENT without an attached collection (nothing sent); 412 when the server's copy
    // changed (that copy is then stored); R_E_CALENDAR_BUSY when a running sync did not give way in time;
    // other HTTP statuses and transport errors as they come.
    virtual RResult UploadItem(RIcsCalendar* calendar, const char* fileName, const char* scheduleTag, const char* etag,
                               CStringA* newEtag = nullptr, CStringA* newScheduleTag = nullptr);
    virtual RResult FetchItemFromServer(const char* fileName);
    virtual RResult DeleteItemOnServer(const char* fileName);
    // Moves a resource to another collection path; on success the source rows and file go and
    // the target calendar (when given) is marked changed.
    virtual RResult MoveItemOnServer(const char* from, const char* to, ROrvaneCalendar* target = nullptr);
    // The same move on the server alone: the store is left as it is.
    virtual RResult MoveResourceOnServer(const char* from, const char* to, ROrvaneCalendar* target = nullptr);
    virtual RResult RefreshSubscription(bool serverSide);
    // The stored item with this UID (and recurrence id, empty for the master), or the master
    // stored under a server file name, as an item object for the caller. Store errors
    // (STG_E_PATHNOTFOUND when absent) are returned with `item` untouched.
    virtual RResult OpenItemByUid(const char* uid, const char* recurrenceId, RRef<ROrvaneCalendarItem>* item);
    virtual RResult OpenItemByServerFileName(const char* name, RRef<ROrvaneCalendarItem>* item);
    virtual RResult StoreItemFromText(const char* serverFileName, const char* scheduleTag, const char* etag,
                                      const char* text, bool upload);
    // Imports a file from disk (wide path) into this calendar and the server: the result of
    // ImportIcsFileWithProgress.
    virtual RResult ImportIcsFile(const CStringW& path);
    // The same, one item at a time, followed and stopped through `control` (called on the
    // importing thread); each item takes the operation lock for itself only.
    [[nodiscard]] ImportOutcome ImportIcsFileWithProgress(const CStringW& path, const ImportControl& control);

    // A copy of the whole record.
    CalendarRecord GetRecord();
    // The account, with a reference for the caller (null after Detach).
    RRef<ROrvaneAccount> GetAccount();
    RRef<ROrvaneDataManager> GetDataManager();
    // The attached collection, with a reference for the caller (null when none).
    RRef<RCalDAVCalendar> GetServerCalendar();
    // Attaches `server` (null detaches); used when the account's listing changes.
    void SetServerCalendar(RRef<RCalDAVCalendar> server);
    // A process-unique number for posted messages.
    std::uint64_t GetNotifyId() const { return notifyId_; }
    // Marks the collection as changed so that its next sync lists it again.
    void MarkServerChanged();
    // Counts uploads, deletes and moves; a sync that saw this change while it ran keeps the
    // stored ctag, so the next sync lists the collection again.
    std::uint64_t LocalChangeCount() const { return localChanges_.load(std::memory_order_acquire); }
    // Takes a known calendar's server values (from the account's listing) into the record and
    // writes it, under the calendar's lock: guid, enabled, last-refreshed time, read-only flag and
    // folder stay; ctag and sync token stay unless `full`; the order stays unless the server's
    // is 1 or more.
    void MergeServerRecord(const CalendarRecord& fromServer, bool full);
    // Drops the references to the account, the data manager and the collection (shut-down).
    void Detach();
    CalendarOperationLock& OperationLock() { return operationLock_; }

    // The stored master rows' guids that the running sync has not yet seen on the server.
    std::vector<CStringA> GetPendingDeletes();
    void RemovePendingDelete(const char* guid);

    // The file name under which a component with this UID is uploaded.
    CStringA ServerFileNameForUid(const char* uid);
    // Adds the VTIMEZONEs that the calendar's components refer to and it lacks.
    void AddMissingTimeZones(RIcsCalendar* calendar);
    void BuildVTimeZone(const char* tzid, RIcsCalendar* calendar);

private:
    friend class CalendarSyncRun;

    // The operations' bodies; the caller holds the operation lock.
    RResult UploadLocked(RIcsCalendar* calendar, const char* fileName, const char* scheduleTag, const char* etag,
                         CStringA* uploadedName, CStringA* newEtag, CStringA* newScheduleTag);
    RResult FetchItemLocked(const char* fileName);
    RResult MoveResourceLocked(const char* from, const char* to, ROrvaneCalendar* target);
    RResult StoreItemFromTextLocked(const char* serverFileName, const char* scheduleTag, const char* etag,
                                    const char* text, bool upload);
    // Writes the item file, then the rows.
    RResult StoreParsed(const char* serverFileName, const char* scheduleTag, const char* etag, const char* text,
                        RIcsCalendar& parsed);
    // The same with the store, account and record already read, so that it takes none of this
    // calendar's locks (callers inside a store WriteBatch must not: a writer may hold them).
    static RResult StoreParsedInto(ROrvaneDataManager& store, const ROrvaneAccount& account,
                                   const CalendarRecord& record, const char* serverFileName, const char* scheduleTag,
                                   const char* etag, const char* text, RIcsCalendar& parsed);
    // Stores one multiget round's records in one store transaction; on a failure the round is
    // rolled back and stored again record by record, so that one bad record costs no others.
    // Sets `storeError`, when it is 0, to the store's error for a record that could not be
    // stored, `stopped` when the account was deleted meanwhile; adds each record's name to
    // `received`. Returns the records handled.
    int StoreRound(const std::vector<ResponseRecord>& records, std::set<std::string>& received, RResult& storeError,
                   bool& stopped);
    // Uploads and stores the parsed file one resource per UID; `toDoTexts` are the file's to-dos
    // as read, in the order of the parsed to-dos.
    void ImportGroups(RIcsCalendar& parsed, const std::vector<std::string>& toDoTexts, const ImportControl& control,
                      ImportOutcome& outcome);
    RResult SyncLocked(bool force);
    RResult RefreshSubscriptionLocked(bool serverSide);
    // Stores the record (the record mutex held).
    void WriteRecordLocked();
    // Text setter shared by the string fields.
    void SetTextField(CStringA CalendarRecord::*field, const char* value);
    void SetIntField(std::int32_t CalendarRecord::*field, int value);
    // The collection, attaching by path first when none is attached.
    RRef<RCalDAVCalendar> AttachedServerCalendar();
    // Whether the worker should stop now: the program is closing or the account was deleted.
    bool StopRequested();

    platform::Mutex mutex_;
    RRef<ROrvaneAccount> account_;
    RRef<ROrvaneDataManager> dataManager_;
    CalendarRecord record_;
    RRef<RCalDAVCalendar> server_;
    std::set<std::string> pendingDeletes_;  // by guid: each stored item takes its own off at once
    // The tags of resources the store keeps no row of (their only items lack a start), by
    // resource name: while they stay the same, the resource is not downloaded again.
    struct ResourceTags {
        CStringA etag;
        CStringA scheduleTag;
    };
    std::map<std::string, ResourceTags> rowlessResources_ ORVANE_GUARDED_BY(mutex_);
    CalendarOperationLock operationLock_;
    std::atomic<std::uint64_t> localChanges_{0};
    const std::uint64_t notifyId_;
};

// How a subscription's feed is fetched: the URL's own server (webcal as http, webcals as
// https, the scheme's default port when none is given), its path and query as written, the file
// name its items are stored under (never empty), and whether the owning account's credentials
// may go with the request (only to the account's own host and port).
struct FeedRequest {
    RResult error = 0;  // ERROR_INTERNET_INVALID_URL for a URL that names no http(s) feed
    CStringA host;
    int port = 0;
    bool secure = false;
    CStringA pathAndQuery;
    CStringA fileName;
    bool sendCredentials = false;
};
FeedRequest PlanFeedRequest(const char* url, const char* accountServerUrl);

// Whether the calling thread is an account's refresh worker (set by the worker for its life).
bool IsRefreshWorkerThread();
void SetRefreshWorkerThread(bool worker);
