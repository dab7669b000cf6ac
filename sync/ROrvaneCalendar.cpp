#include "sync/ROrvaneCalendar.h"

#include <cstdio>

#include "foundation/datetime/RDateTime.h"
#include "foundation/text/GuidString.h"
#include "sync/HrefNames.h"
#include "sync/ROrvaneAccount.h"
#include "sync/SyncClock.h"

namespace {

std::atomic<std::uint64_t> g_nextNotifyId{1};
thread_local bool t_refreshWorker = false;

const char* Text(const char* value) { return value != nullptr ? value : ""; }

bool Contains(const CStringA& text, const char* part) { return text.Find(part) >= 0; }

}  // namespace

bool IsRefreshWorkerThread() { return t_refreshWorker; }
void SetRefreshWorkerThread(bool worker) { t_refreshWorker = worker; }

ROrvaneCalendar::ROrvaneCalendar() : notifyId_(g_nextNotifyId.fetch_add(1)) { record_.Clear(); }

ROrvaneCalendar::~ROrvaneCalendar() = default;

RResult ROrvaneCalendar::InitFromStore(ROrvaneDataManager* dataManager, ROrvaneAccount* account, int index) {
    try {
        {
            platform::MutexLock lock(mutex_);
            account_ = RRef<ROrvaneAccount>::Share(account);
            dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        }
        return LoadFromStore(index);
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneCalendar::Create(ROrvaneDataManager* dataManager, ROrvaneAccount* account, const char* displayName) {
    try {
        CStringA guid;
        if (const RResult made = NewGuidStringA(guid); made != 0) return made;
        const CStringA accountGuid = account != nullptr ? account->GetGuid() : CStringA();
        platform::MutexLock lock(mutex_);
        account_ = RRef<ROrvaneAccount>::Share(account);
        dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        record_.Clear();
        record_.guid = guid;
        record_.displayName = Text(displayName);
        record_.parentAccountGuid = accountGuid;
        return 0;
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneCalendar::LoadFromStore(int index) {
    RRef<ROrvaneAccount> account = GetAccount();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!account || !store) return R_E_INVALID_ARGUMENT;
    const CStringA accountGuid = account->GetGuid();
    if (index < 0 || index >= store->GetCalendarCount(accountGuid)) return R_E_INVALID_INDEX;
    CalendarRecord loaded;
    const RResult result = store->GetCalendar(accountGuid, index, &loaded);
    if (result != 0) return result;
    {
        platform::MutexLock lock(mutex_);
        record_ = loaded;
    }
    AttachServerCalendar(index);
    return result;
}

RResult ROrvaneCalendar::AttachServerCalendar(int) {
    RRef<ROrvaneAccount> account = GetAccount();
    if (!account) return 0;
    const CStringA path = GetRecord().pathURI;
    if (path.IsEmpty()) return 0;
    RRef<RCalDAVCalendar> found = account->FindListedServerCalendar(path);
    if (found) {
        platform::MutexLock lock(mutex_);
        if (!server_) server_ = found;
    }
    return 0;
}

RResult ROrvaneCalendar::Reload() {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    // Read and taken over under one hold of the lock: a setter that ran in between would
    // otherwise be undone in memory here, and then written back by the next row write.
    platform::MutexLock lock(mutex_);
    CalendarRecord loaded;
    const RResult result = store->FindCalendar(record_.parentAccountGuid, record_.guid, &loaded);
    if (result == 0) record_ = loaded;
    return result;
}

RResult ROrvaneCalendar::SaveNew() {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    platform::MutexLock lock(mutex_);
    const CStringA accountGuid = record_.parentAccountGuid;
    if (store->AddCalendar(accountGuid, &record_) != 0) return store->UpdateCalendar(accountGuid, &record_);
    return 0;
}

CalendarRecord ROrvaneCalendar::GetRecord() {
    platform::MutexLock lock(mutex_);
    return record_;
}

RRef<ROrvaneAccount> ROrvaneCalendar::GetAccount() {
    platform::MutexLock lock(mutex_);
    return account_;
}

RRef<ROrvaneDataManager> ROrvaneCalendar::GetDataManager() {
    platform::MutexLock lock(mutex_);
    return dataManager_;
}

RRef<RCalDAVCalendar> ROrvaneCalendar::GetServerCalendar() {
    platform::MutexLock lock(mutex_);
    return server_;
}

void ROrvaneCalendar::SetServerCalendar(RRef<RCalDAVCalendar> server) {
    platform::MutexLock lock(mutex_);
    server_ = std::move(server);
}

RRef<RCalDAVCalendar> ROrvaneCalendar::AttachedServerCalendar() {
    if (RRef<RCalDAVCalendar> server = GetServerCalendar()) return server;
    AttachServerCalendar(-1);
    return GetServerCalendar();
}

void ROrvaneCalendar::MarkServerChanged() {
    localChanges_.fetch_add(1, std::memory_order_acq_rel);
    if (RRef<RCalDAVCalendar> server = GetServerCalendar()) server->SetCtag("");
}

void ROrvaneCalendar::Detach() {
    RRef<ROrvaneAccount> account;
    RRef<ROrvaneDataManager> store;
    RRef<RCalDAVCalendar> server;
    {
        platform::MutexLock lock(mutex_);
        account = std::move(account_);
        store = std::move(dataManager_);
        server = std::move(server_);
        pendingDeletes_.clear();
    }
    // Released outside the lock: the account's destructor may run here.
}

bool ROrvaneCalendar::StopRequested() {
    RRef<ROrvaneAccount> account = GetAccount();
    return !account || account->ShouldStop();
}

std::vector<CStringA> ROrvaneCalendar::GetPendingDeletes() {
    platform::MutexLock lock(mutex_);
    return std::vector<CStringA>(pendingDeletes_.begin(), pendingDeletes_.end());
}

void ROrvaneCalendar::RemovePendingDelete(const char* guid) {
    platform::MutexLock lock(mutex_);
    pendingDeletes_.erase(Text(guid));
}

void ROrvaneCalendar::WriteRecordLocked() {
    if (dataManager_) {
        CalendarRecord copy = record_;
        // Not reported; the next change writes the whole row again.
        static_cast<void>(dataManager_->UpdateCalendar(record_.parentAccountGuid, &copy));
    }
}

void ROrvaneCalendar::SetTextField(CStringA CalendarRecord::*field, const char* value) {
    platform::MutexLock lock(mutex_);
    if (record_.*field == Text(value)) return;
    record_.*field = Text(value);
    WriteRecordLocked();
}

void ROrvaneCalendar::SetIntField(std::int32_t CalendarRecord::*field, int value) {
    platform::MutexLock lock(mutex_);
    if (record_.*field == value) return;
    record_.*field = value;
    WriteRecordLocked();
}

CStringA ROrvaneCalendar::GetParentAccountGuid() { return GetRecord().parentAccountGuid; }
CStringA ROrvaneCalendar::GetGuid() { return GetRecord().guid; }

CStringA ROrvaneCalendar::GetServerPath() {
    CStringA href;
    if (RRef<RCalDAVCalendar> server = GetServerCalendar()) server->GetHref(&href);
    return href;
}

CStringA ROrvaneCalendar::GetCTag() { return GetRecord().ctag; }
void ROrvaneCalendar::SetCTag(const char* value) { SetTextField(&CalendarRecord::ctag, value); }
CStringA ROrvaneCalendar::GetSyncToken() { return GetRecord().syncToken; }
void ROrvaneCalendar::SetSyncToken(const char* value) { SetTextField(&CalendarRecord::syncToken, value); }
CStringA ROrvaneCalendar::GetDisplayName() { return GetRecord().displayName; }
void ROrvaneCalendar::SetDisplayName(const char* value) { SetTextField(&CalendarRecord::displayName, value); }
CStringA ROrvaneCalendar::GetDescription() { return GetRecord().description; }
void ROrvaneCalendar::SetDescription(const char* value) { SetTextField(&CalendarRecord::description, value); }
int ROrvaneCalendar::GetCalendarOrder() { return GetRecord().calendarOrder; }
void ROrvaneCalendar::SetCalendarOrder(int value) { SetIntField(&CalendarRecord::calendarOrder, value); }
CStringA ROrvaneCalendar::GetRGBValue() { return GetRecord().rgbValue; }
void ROrvaneCalendar::SetRGBValue(const char* value) { SetTextField(&CalendarRecord::rgbValue, value); }
int ROrvaneCalendar::GetEnabled() { return GetRecord().enabled; }
void ROrvaneCalendar::SetEnabled(int value) { SetIntField(&CalendarRecord::enabled, value); }

bool ROrvaneCalendar::IsReadOnly() {
    const CalendarRecord record = GetRecord();
    return record.readOnly != 0 || Contains(record.resourceType, "subscribed");
}

void ROrvaneCalendar::SetReadOnly(int value) { SetIntField(&CalendarRecord::readOnly, value); }
CStringA ROrvaneCalendar::GetSubscriptionURL() { return GetRecord().subscriptionURL; }
void ROrvaneCalendar::SetSubscriptionURL(const char* value) { SetTextField(&CalendarRecord::subscriptionURL, value); }

int ROrvaneCalendar::GetDaysSinceLastRefresh() {
    const CStringA last = GetRecord().subscriptionLastRefreshed;
    if (last.IsEmpty()) return 9999;
    RDateTime then;
    then.Parse(last);
    SYSTEMTIME now{};
    SyncLocalTime(&now);
    RDateTime today;
    today.FromSystemTime(&now);
    return static_cast<int>(today.ToDayNumber() - then.ToDayNumber());
}

void ROrvaneCalendar::MarkRefreshedNow() {
    SYSTEMTIME now{};
    SyncLocalTime(&now);
    char text[64];
    if (now.wSecond != 0) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute, now.wSecond);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute);
    }
    SetTextField(&CalendarRecord::subscriptionLastRefreshed, text);
}

CStringA ROrvaneCalendar::GetOwner() { return GetRecord().owner; }
void ROrvaneCalendar::SetOwner(const char* value) { SetTextField(&CalendarRecord::owner, value); }
CStringA ROrvaneCalendar::GetResourceType() { return GetRecord().resourceType; }

void ROrvaneCalendar::SetResourceTypeW(const CStringW& value) {
    SetResourceType(value.ToUtf8());
}

void ROrvaneCalendar::SetResourceType(const char* value) { SetTextField(&CalendarRecord::resourceType, value); }
CStringA ROrvaneCalendar::GetSupportedCalendarComponentSet() { return GetRecord().supportedCalendarComponentSet; }

namespace {

struct CollectionKinds {
    CStringA types;
    CStringA components;
    CStringA source;
};

CollectionKinds KindsOf(RCalDAVCalendar& server, const CalendarRecord& record) {
    CollectionKinds kinds;
    server.GetResourceTypes(&kinds.types);
    if (kinds.types.IsEmpty()) kinds.types = record.resourceType;
    server.GetSupportedComponents(&kinds.components);
    if (kinds.components.IsEmpty()) kinds.components = record.supportedCalendarComponentSet;
    server.GetSourceUrl(&kinds.source);
    if (kinds.source.IsEmpty()) kinds.source = record.subscriptionURL;
    return kinds;
}

}  // namespace

bool ROrvaneCalendar::IsUsableCalendar() {
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) return false;
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return false;
    const CollectionKinds kinds = KindsOf(*server, GetRecord());
    // The store's rule for event calendars, applied to what the server says of the collection.
    CalendarRecord described;
    described.Clear();
    described.resourceType = kinds.types;
    described.supportedCalendarComponentSet = kinds.components;
    return store->IsEventCalendar(described);
}

bool ROrvaneCalendar::IsSubscribed() {
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) return false;
    const CollectionKinds kinds = KindsOf(*server, GetRecord());
    return Contains(kinds.types, "subscribed") && Contains(kinds.components, "VEVENT") && !kinds.source.IsEmpty();
}

void ROrvaneCalendar::MergeServerRecord(const CalendarRecord& fromServer, bool full) {
    platform::MutexLock lock(mutex_);
    CalendarRecord merged = fromServer;
    merged.guid = record_.guid;
    merged.parentAccountGuid = record_.parentAccountGuid;
    merged.enabled = record_.enabled;
    merged.readOnly = record_.readOnly;
    merged.localDirPath = record_.localDirPath;
    merged.subscriptionLastRefreshed = record_.subscriptionLastRefreshed;
    if (full) {
        merged.ctag.Empty();
        merged.syncToken.Empty();
    } else {
        merged.ctag = record_.ctag;
        merged.syncToken = record_.syncToken;
    }
    if (merged.calendarOrder < 1) merged.calendarOrder = record_.calendarOrder;
    record_ = merged;
    WriteRecordLocked();
}
