// An account's refresh: started on any thread, run on a worker thread that the manager keeps,
// and finished on the user-interface thread, where the messages are posted, the timer is armed
// and failures are reported.
#include "sync/ROrvaneAccount.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "dav/discovery/Discovery.h"
#include "foundation/debug/DebugTrace.h"
#include "foundation/text/GuidString.h"
#include "sync/AppContext.h"
#include "sync/HrefNames.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/SyncResults.h"

namespace {

// The account's repeating timer: refreshes it again while it is listed and stored.
std::function<void()> RefreshTimerProc(NotifyTarget target, const CStringA& guid) {
    return [target, guid]() {
        RRef<ROrvaneAccountManager> manager = AppAccountManager();
        RRef<ROrvaneDataManager> store = AppDataManager();
        RRef<ROrvaneAccount> account = manager ? manager->FindAccountByGuid(guid) : nullptr;
        AccountRecord stored;
        if (account && store && !account->IsDeleted() && store->FindAccount(guid, &stored) == 0) {
            account->StartRefresh(target);
        } else {
            KillRefreshTimer(target, guid);
        }
    };
}

}  // namespace

RResult ROrvaneAccount::StartRefresh(NotifyTarget target) {
    RRef<ROrvaneAccountManager> manager;
    {
        platform::MutexLock lock(mutex_);
        if (refreshing_ || IsDeleted() || !manager_) return 0;
        refreshing_ = true;
        notifyTarget_ = target;
        lastResult_ = 0;
        manager = manager_;
    }
    if (!manager->LaunchRefreshWorker(RRef<ROrvaneAccount>::Share(this))) {
        platform::MutexLock lock(mutex_);
        refreshing_ = false;
        notifyTarget_ = 0;
    }
    return 0;
}

RResult ROrvaneAccount::GetLastResult() {
    platform::MutexLock lock(mutex_);
    return lastResult_;
}

bool ROrvaneAccount::IsRefreshing() {
    platform::MutexLock lock(mutex_);
    return refreshing_;
}

bool ROrvaneAccount::IsFullRefreshPending() {
    platform::MutexLock lock(mutex_);
    return fullRefreshPending_;
}

void ROrvaneAccount::PostToNotifyTarget(std::uint32_t message, std::uint64_t id) {
    const NotifyTarget target = GetNotifyTarget();
    if (target != 0) PostToTarget(target, message, id, 0);
}

void ROrvaneAccount::Pause(int ms, ROrvaneCalendar* calendar) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (ShouldStop() || (calendar != nullptr && calendar->OperationLock().YieldRequested())) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

RResult ROrvaneAccount::RunRefreshOnWorker() {
    try {
        return IsSubscriptionsAccount() ? RunSubscriptionRefresh() : RunAccountRefresh();
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneAccount::RunAccountRefresh() {
    DebugTrace("_PerformAccountRefreshThreadProc BEGIN\n");
    RRef<RCalDAVAccount> calDAV = GetCalDAVAccount();
    if (!calDAV) {
        DebugTrace("_PerformAccountRefreshThreadProc - DONE rc=%d\n", 0);
        return R_E_INVALID_ARGUMENT;
    }
    const AccountRecord record = GetRecord();
    RWebDAVConnection* connection = nullptr;
    calDAV->GetConnection(&connection);
    if (record.address.GetLength() > 7 && connection == nullptr) {
        calDAV->ConnectByUrl(record.username, record.password, record.address);
    }
    calDAV->SetCredentials(record.username, record.password);
    const bool full = IsFullRefreshPending();
    RResult result = ShouldStop() ? R_E_SYNC_CANCELLED : calDAV->Refresh(full);
    if (result == 0 && ShouldStop()) result = R_E_SYNC_CANCELLED;
    if (result == 0) result = PerformRefresh(full);
    CStringA grant;
    calDAV->GetAuthCode(&grant);
    SetOAuthAuthenticationGrant(grant);
    DebugTrace("_PerformAccountRefreshThreadProc - DONE rc=%d\n", result);
    return result;
}

RResult ROrvaneAccount::RunSubscriptionRefresh() {
    DebugTrace("_PerformSubscriptionRefreshThreadProc BEGIN\n");
    RResult first = 0;
    // One failing feed does not stop the others; the first error is the account's result.
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (ShouldStop()) {
            first = R_E_SYNC_CANCELLED;
            break;
        }
        const RResult result = calendar->RefreshSubscription(false);
        if (result != 0 && first == 0) first = result;
    }
    DebugTrace("_PerformSubscriptionRefreshThreadProc - DONE rc=%d\n", first);
    return first;
}

RResult ROrvaneAccount::PerformRefresh(bool full) {
    RRef<RCalDAVAccount> calDAV = GetCalDAVAccount();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!calDAV || !store) return R_E_INVALID_ARGUMENT;
    std::vector<RCalDAVCalendar*> borrowed;
    if (!calDAV->GetLastListing(&borrowed)) return R_E_BAD_FORMAT;
    std::vector<RRef<RCalDAVCalendar>> listing;
    listing.reserve(borrowed.size());
    for (RCalDAVCalendar* calendar : borrowed) listing.push_back(RRef<RCalDAVCalendar>::Adopt(calendar));
    {
        platform::MutexLock lock(mutex_);
        listed_ = listing;
    }
    if (IsDeleted()) return R_E_SYNC_CANCELLED;
    const CStringA accountGuid = GetGuid();

    // The stored calendars; those whose collection this listing lacks are deleted.
    RResult result = 0;
    std::vector<CalendarRecord> stored;
    const int count = store->GetCalendarCount(accountGuid);
    for (int i = 0; i < count && result == 0; ++i) {
        CalendarRecord row;
        result = store->GetCalendar(accountGuid, i, &row);
        if (result == 0) stored.push_back(row);
    }
    std::vector<CStringA> listedPaths;
    for (const RRef<RCalDAVCalendar>& server : listing) {
        CStringA href;
        server->GetHref(&href);
        listedPaths.push_back(href);
    }
    // Only after a listing of the home the server named, which showed the home itself (a
    // listing lacking it is not the whole collection), and only those found in that home: a
    // home that was guessed, or another home, says nothing about them.
    CStringA homePath;
    const bool mayDelete = calDAV->GetNamedCalendarHome(&homePath) &&
                           std::any_of(listedPaths.begin(), listedPaths.end(),
                                       [&](const CStringA& path) { return SameServerPath(path, homePath); });
    if (result == 0) {
        std::vector<CalendarRecord> kept;
        for (const CalendarRecord& row : stored) {
            bool present = false;
            for (const CStringA& path : listedPaths) present = present || SameServerPath(path, row.pathURI);
            if (present || !mayDelete || !IsInCollection(row.pathURI, homePath)) {
                kept.push_back(row);
                continue;
            }
            if (IsDeleted()) return R_E_SYNC_CANCELLED;
            DeleteCalendarRecord(row);
            // The calendar object goes with its row: nothing is synced into it again.
            platform::MutexLock lock(mutex_);
            for (auto it = calendars_.begin(); it != calendars_.end(); ++it) {
                if ((*it)->GetGuid() == row.guid) {
                    (*it)->SetServerCalendar(nullptr);
                    calendars_.erase(it);
                    break;
                }
            }
        }
        stored.swap(kept);
    }

    if (result == 0) {
        for (std::size_t j = 0; j < listing.size(); ++j) {
            if (IsDeleted()) return R_E_SYNC_CANCELLED;
            RCalDAVCalendar& server = *listing[j];
            CalendarRecord r;
            r.Clear();
            const CStringA& href = listedPaths[j];
            MakeResourceNameFromUrl(r.guid, href);
            r.parentAccountGuid = accountGuid;
            server.GetOwner(&r.owner);
            server.GetDisplayName(&r.displayName);
            server.GetOrder(&r.calendarOrder);
            server.GetColor(&r.rgbValue);
            r.pathURI = href;
            server.GetSourceUrl(&r.subscriptionURL);
            server.GetCtag(&r.ctag);
            server.GetSyncToken(&r.syncToken);
            server.GetResourceTypes(&r.resourceType);
            server.GetSupportedComponents(&r.supportedCalendarComponentSet);

            const CalendarRecord* old = nullptr;
            for (const CalendarRecord& row : stored) {
                if (SameServerPath(row.pathURI, href)) {
                    old = &row;
                    break;
                }
            }
            if (old == nullptr) {
                // Two collections whose paths end in the same name (/a/work/, /b/work/) would
                // share one guid, and with it their rows and files: the later one gets its own.
                const bool taken = std::any_of(stored.begin(), stored.end(), [&](const CalendarRecord& row) {
                    return row.guid.CompareNoCase(r.guid) == 0;
                });
                if (taken && NewGuidStringA(r.guid) != 0) continue;  // listed again by the next refresh
                r.ctag.Empty();
                r.syncToken.Empty();
                if (store->IsEventCalendar(r)) MakeCalendarOrderUnique(r.calendarOrder);
                // Not reported: the next refresh lists the calendars again.
                if (store->AddCalendar(accountGuid, &r) == R_E_ALREADY_EXISTS) {
                    static_cast<void>(store->UpdateCalendar(accountGuid, &r));
                }
                stored.push_back(r);
                continue;
            }
            if (RRef<ROrvaneCalendar> calendar = FindCalendarByGuid(old->guid)) {
                // Merged under the calendar's own lock, so a flag the user set meanwhile stays.
                calendar->MergeServerRecord(r, full);
            } else {
                r.guid = old->guid;
                r.enabled = old->enabled;
                r.subscriptionLastRefreshed = old->subscriptionLastRefreshed;
                if (!full) {
                    r.ctag = old->ctag;
                    r.syncToken = old->syncToken;
                }
                if (r.calendarOrder < 1) r.calendarOrder = old->calendarOrder;
                static_cast<void>(store->UpdateCalendar(accountGuid, &r));  // not reported, as above
            }
        }
    }

    if (!IsDeleted()) LoadCalendars();
    // Every calendar is attached to the collection of this listing with its path.
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        calendar->SetServerCalendar(FindListedServerCalendar(calendar->GetRecord().pathURI));
    }
    PostToNotifyTarget(platform::messages::WM_APP_CALENDARS_CHANGED, GetNotifyId());
    if (result != 0) return result;

    // One calendar's failure does not stop the others; the first error is the result.
    RResult first = 0;
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (ShouldStop()) return R_E_SYNC_CANCELLED;
        if (calendar->Reload() != 0) continue;  // its row is gone
        const RResult synced = calendar->IsSubscribed() ? calendar->RefreshSubscription(true)
                                                        : calendar->SyncWithServer(full);
        if (synced == R_E_SYNC_CANCELLED) return synced;
        if (synced != 0 && first == 0) first = synced;
    }
    return first;
}

void ROrvaneAccount::OnRefreshFinished(RResult result) {
    const bool deleted = IsDeleted();
    NotifyTarget target = 0;
    AccountRecord record;
    RRef<ROrvaneDataManager> store;
    RRef<RCalDAVAccount> calDAV;
    {
        platform::MutexLock lock(mutex_);
        lastResult_ = result;
        target = notifyTarget_;
        notifyTarget_ = 0;
        record = record_;
        store = dataManager_;
        calDAV = calDAVAccount_;
    }
    if (result == 0 && !deleted && calDAV && calDAV->IsDiscovered()) {
        CStringA url;
        if (calDAV->GetServerUrl(&url) == 0) {
            platform::MutexLock lock(mutex_);
            record_.address = url;
            WriteRecordLocked();
        }
    }
    if (target != 0) {
        PostToTarget(target, platform::messages::WM_APP_DATA_CHANGED, GetNotifyId(), 0);
        if (result == 0 && !deleted) {
            ArmRefreshTimer(target, record.guid, record.refreshInterval, RefreshTimerProc(target, record.guid));
        }
    }
    {
        platform::MutexLock lock(mutex_);
        // A full refresh that did not succeed stays due: the next one discovers again and
        // compares every item.
        if (result == 0) fullRefreshPending_ = false;
        refreshing_ = false;
    }
    if (deleted) {
        // Whatever the worker wrote before it saw the deletion goes too.
        if (store) static_cast<void>(store->DeleteAccount(record.guid));  // not reported: the account is gone
        {
            platform::MutexLock lock(mutex_);
            lastResult_ = 0;
        }
        Detach();
        return;
    }
    if (result == 0 || result == R_E_SYNC_CANCELLED) return;
    AccountRecord stillStored;
    if (!store || store->FindAccount(record.guid, &stillStored) != 0) {
        platform::MutexLock lock(mutex_);
        lastResult_ = 0;
        return;
    }
    ReportSyncError(record.guid, record.description, result);
}
