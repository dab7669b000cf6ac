#pragma once
// One CalDAV server login, or the pseudo-account that holds the subscribed calendars: the
// stored row, the protocol-side account, the account's calendars, and the state of its refresh.
// The refresh itself runs on a worker thread that the account manager keeps.
//
// Shared between threads: the record, the calendar list, the server listing, the notify target
// and the refresh state are kept under the account's mutex; getters return copies and walks that
// call out run over a snapshot of counted pointers. The protocol-side account is used by the
// refresh worker only (and by the creating thread before the account is listed).
#include "foundation/ResultCodes.h"

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/threads/Mutex.h"
#include <utility>
#include <vector>

#include "dav/caldav/RCalDAVAccount.h"
#include "foundation/memory/RRef.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "store/ROrvaneDataManager.h"
#include "sync/NotifyTarget.h"
#include "sync/ROrvaneCalendar.h"

class ROrvaneAccountManager;

inline constexpr char kSubscriptionsAccountGuid[] = "__Subscriptions_GUID__";

class ROrvaneAccount : public RRefCounted {
public:
    ROrvaneAccount();
    ~ROrvaneAccount() override;

    virtual RResult InitFromStore(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager, int index);
    virtual RResult Create(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager, const char* description,
                           const char* username, const char* password);
    virtual RResult CreateSubscriptionsAccount(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager,
                                               const char* description);
    virtual RResult LoadFromStore(int index);

    virtual CStringA GetGuid();
    virtual bool IsSubscriptionsAccount();
    virtual CStringA GetDescription();
    virtual RResult SetDescription(const char* value);
    virtual CStringA GetUserName();
    virtual RResult SetUserName(const char* value);
    virtual CStringA GetPassword();
    virtual RResult SetPassword(const char* value);
    virtual int GetRefreshInterval();
    virtual RResult SetRefreshInterval(int minutes);
    virtual CStringA GetAddress();
    virtual RResult SetAddress(const char* value);
    virtual int GetShowInSeparateWindow();
    virtual RResult SetShowInSeparateWindow(int value);
    virtual int GetEnabled();
    virtual RResult SetEnabled(int value);
    virtual CStringA GetOAuthAuthenticationGrant();
    virtual RResult SetOAuthAuthenticationGrant(const char* value);

    virtual RResult LoadCalendars();
    virtual int GetCalendarCount();
    // Calendars are returned with a reference for the caller.
    virtual RRef<ROrvaneCalendar> GetCalendarAt(int index);
    virtual RRef<ROrvaneCalendar> FindCalendarByGuid(const char* guid);
    virtual RRef<ROrvaneCalendar> GetDefaultCalendar();
    virtual RRef<ROrvaneCalendar> FindCalendarBySubscriptionURL(const char* url);
    virtual RRef<ROrvaneCalendar> AddSubscribedCalendar(const char* url, const char* displayName);
    virtual RResult DeleteCalendarRecord(const CalendarRecord& record);

    virtual RRef<RCalDAVAccount> GetCalDAVAccount();
    // Starts the refresh worker unless one runs; `target` (0: none) gets the messages and the
    // timer. Always 0.
    virtual RResult StartRefresh(NotifyTarget target);
    // The end of a refresh, on the user-interface thread (posted there by the worker).
    virtual void OnRefreshFinished(RResult result);
    virtual RResult GetLastResult();
    // What finding the server from the user name gave when the account was made or loaded: 0,
    // or the lookup's code (9003 when the name does not exist, as for a user name without a domain).
    RResult GetDiscoveryResult();
    virtual bool IsRefreshing();
    virtual bool IsFullRefreshPending();
    // Reconciles the calendar list with the server's and syncs every calendar (worker side).
    virtual RResult PerformRefresh(bool full);
    virtual int NextCalendarOrder();
    virtual bool MakeCalendarOrderUnique(int& order);
    virtual NotifyTarget GetNotifyTarget();
    // The calendars to offer in a choice of calendar, as (display name, calendar guid) pairs in
    // ascending order, those without an order last; read-only ones only when asked for.
    virtual std::vector<std::pair<CStringA, CStringA>> FillCalendarComboBox(bool includeReadOnly);

    // The collection of the last listing whose path equals `path` (percent-decoded
    // comparison), with a reference for the caller; null when the last listing lacks it.
    RRef<RCalDAVCalendar> FindListedServerCalendar(const char* path);
    // A snapshot of the calendar list.
    std::vector<RRef<ROrvaneCalendar>> Calendars();
    // Removes a calendar the user gave up: its rows and files, and its object from the list, so
    // no later refresh syncs or downloads into it again. The store's result.
    RResult RemoveCalendar(const CalendarRecord& record);
    AccountRecord GetRecord();
    RRef<ROrvaneDataManager> GetDataManager();
    std::uint64_t GetNotifyId() const { return notifyId_; }

    // The refresh worker's body (called on the worker thread by the manager).
    RResult RunRefreshOnWorker();
    // Asks a running refresh to stop at its next request, batch or pause.
    void RequestStop() { stopRequested_.store(true, std::memory_order_release); }
    // Marks the account deleted: a running refresh stops before its next write.
    void MarkDeleted() {
        deleted_.store(true, std::memory_order_release);
        RequestStop();
    }
    bool IsDeleted() const { return deleted_.load(std::memory_order_acquire); }
    bool ShouldStop() const { return stopRequested_.load(std::memory_order_acquire); }
    // The flag that RequestStop sets, for transfers to watch.
    const std::atomic<bool>* StopFlag() const { return &stopRequested_; }
    // Sleeps up to `ms`, waking early when a stop is requested or `calendar`'s lock is wanted.
    void Pause(int ms, ROrvaneCalendar* calendar);
    // Posts a message to the notify target of the running refresh, when there is one.
    void PostToNotifyTarget(std::uint32_t message, std::uint64_t id);
    // Breaks the account/manager/calendar reference cycles (shut-down and deletion).
    void Detach();

private:
    RResult RunAccountRefresh();
    RResult RunSubscriptionRefresh();
    RResult DeleteVanishedCalendars(const std::vector<CStringA>& listedPaths);
    void ReconcileListedCalendars(bool full);
    // Compares, assigns and writes the record under the mutex.
    RResult SetTextField(CStringA AccountRecord::*field, const char* value);
    RResult SetIntField(std::int32_t AccountRecord::*field, int value);
    RResult WriteRecordLocked();
    void AddRefreshWorkerReferences();

    platform::Mutex mutex_;
    RRef<ROrvaneAccountManager> manager_;
    RRef<ROrvaneDataManager> dataManager_;
    AccountRecord record_;
    RRef<RCalDAVAccount> calDAVAccount_;
    std::vector<RRef<ROrvaneCalendar>> calendars_;
    // The collections of the last successful listing, in listing order.
    std::vector<RRef<RCalDAVCalendar>> listed_;
    bool fullRefreshPending_ = true;
    bool refreshing_ = false;
    NotifyTarget notifyTarget_ = 0;
    RResult lastResult_ = 0;
    RResult discoveryResult_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> deleted_{false};
    const std::uint64_t notifyId_;
};

// The User-Agent of every connection: "Orvane/<file version>", or "Orvane/1.0" without one.
CStringW BuildUserAgent();
