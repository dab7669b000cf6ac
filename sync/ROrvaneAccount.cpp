#include "sync/ROrvaneAccount.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/files/ModuleFileVersion.h"
#include "foundation/text/GuidString.h"
#include "sync/HrefNames.h"
#include "sync/ROrvaneAccountManager.h"

namespace {

std::atomic<std::uint64_t> g_nextAccountNotifyId{1};

const char* Text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

CStringW BuildUserAgent() {
    VS_FIXEDFILEINFO info{};
    char text[32];
    if (GetModuleFileVersion(&info) == 0) {
        std::snprintf(text, sizeof text, "Orvane/%d.%d.%d.%d", static_cast<int>(info.dwFileVersionMS >> 16),
                      static_cast<int>(info.dwFileVersionMS & 0xFFFF), static_cast<int>(info.dwFileVersionLS >> 16),
                      static_cast<int>(info.dwFileVersionLS & 0xFFFF));
    } else {
        std::snprintf(text, sizeof text, "Orvane/1.0");
    }
    return CStringW::FromUtf8(text);
}

ROrvaneAccount::ROrvaneAccount() : notifyId_(g_nextAccountNotifyId.fetch_add(1)) { record_.Clear(); }

ROrvaneAccount::~ROrvaneAccount() = default;

RResult ROrvaneAccount::InitFromStore(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager, int index) {
    try {
        {
            platform::MutexLock lock(mutex_);
            manager_ = RRef<ROrvaneAccountManager>::Share(manager);
            dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        }
        return LoadFromStore(index);
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneAccount::Create(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager,
                               const char* description, const char* username, const char* password) {
    try {
        if (dataManager == nullptr) return R_E_INVALID_ARGUMENT;
        CStringA guid;
        if (const RResult made = NewGuidStringA(guid); made != 0) return made;
        AccountRecord record;
        record.Clear();
        record.guid = guid;
        record.description = Text(description);
        record.username = Text(username);
        record.password = Text(password);
        static_cast<void>(dataManager->AddAccount(&record));  // a failed add shows in the look-up below
        AccountRecord stored;
        if (const RResult found = dataManager->FindAccount(guid, &stored); found != 0) return found;
        auto calDAV = MakeRef<RCalDAVAccount>();
        const RResult discovered = calDAV->DiscoverBySrv(record.username, record.password);
        calDAV->SetUserAgent(BuildUserAgent().ToUtf8());
        platform::MutexLock lock(mutex_);
        discoveryResult_ = discovered;
        manager_ = RRef<ROrvaneAccountManager>::Share(manager);
        dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        record_ = record;
        calDAVAccount_ = std::move(calDAV);
        return 0;
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneAccount::CreateSubscriptionsAccount(ROrvaneAccountManager* manager, ROrvaneDataManager* dataManager,
                                                   const char* description) {
    try {
        if (dataManager == nullptr) return R_E_INVALID_ARGUMENT;
        AccountRecord record;
        record.Clear();
        record.guid = kSubscriptionsAccountGuid;
        record.description = Text(description);
        record.refreshInterval = 1440;
        static_cast<void>(dataManager->AddAccount(&record));  // a failed add shows in the look-up below
        AccountRecord stored;
        if (const RResult found = dataManager->FindAccount(record.guid, &stored); found != 0) return found;
        platform::MutexLock lock(mutex_);
        manager_ = RRef<ROrvaneAccountManager>::Share(manager);
        dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        record_ = record;
        return 0;
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RResult ROrvaneAccount::LoadFromStore(int index) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    if (index < 0 || index >= store->GetAccountCount()) return R_E_INVALID_INDEX;
    AccountRecord record;
    if (const RResult read = store->GetAccount(index, &record); read != 0) return read;
    {
        platform::MutexLock lock(mutex_);
        record_ = record;
    }
    if (IsSubscriptionsAccount()) return LoadCalendars();
    auto calDAV = RRef<RCalDAVAccount>::Adopt(new (std::nothrow) RCalDAVAccount());
    if (!calDAV) return 0;
    RResult result = calDAV->DiscoverBySrv(record.username, record.password);
    const RResult discovered = result;
    if (record.address.GetLength() > 7) result = calDAV->ConnectByUrl(record.username, record.password, record.address);
    calDAV->SetUserAgent(BuildUserAgent().ToUtf8());
    {
        platform::MutexLock lock(mutex_);
        calDAVAccount_ = calDAV;
        discoveryResult_ = discovered;
    }
    // The stored calendars are the account's whether or not its server can be set up now: the
    // user still sees, hides and shows them, and the next refresh attaches them to the server.
    const RResult loaded = LoadCalendars();
    if (result == 0) result = loaded;
    if (result == 0 && !record.OAuthAuthenticationGrant.IsEmpty()) {
        result = calDAV->SetAuthCode(record.OAuthAuthenticationGrant);
    }
    return result;
}

AccountRecord ROrvaneAccount::GetRecord() {
    platform::MutexLock lock(mutex_);
    return record_;
}

RRef<ROrvaneDataManager> ROrvaneAccount::GetDataManager() {
    platform::MutexLock lock(mutex_);
    return dataManager_;
}

RResult ROrvaneAccount::GetDiscoveryResult() {
    platform::MutexLock lock(mutex_);
    return discoveryResult_;
}

RRef<RCalDAVAccount> ROrvaneAccount::GetCalDAVAccount() {
    platform::MutexLock lock(mutex_);
    return calDAVAccount_;
}

RResult ROrvaneAccount::WriteRecordLocked() {
    if (!dataManager_) return R_E_INVALID_ARGUMENT;
    // A deleted account's row is not written again.
    if (IsDeleted()) return 0;
    AccountRecord copy = record_;
    static_cast<void>(dataManager_->UpdateAccount(&copy));  // not reported; the next change writes the whole row again
    return 0;
}

RResult ROrvaneAccount::SetTextField(CStringA AccountRecord::*field, const char* value) {
    platform::MutexLock lock(mutex_);
    if (record_.*field == Text(value)) return 0;
    record_.*field = Text(value);
    return WriteRecordLocked();
}

RResult ROrvaneAccount::SetIntField(std::int32_t AccountRecord::*field, int value) {
    platform::MutexLock lock(mutex_);
    if (record_.*field == value) return 0;
    record_.*field = value;
    return WriteRecordLocked();
}

CStringA ROrvaneAccount::GetGuid() { return GetRecord().guid; }
bool ROrvaneAccount::IsSubscriptionsAccount() { return GetRecord().guid == kSubscriptionsAccountGuid; }
CStringA ROrvaneAccount::GetDescription() { return GetRecord().description; }
RResult ROrvaneAccount::SetDescription(const char* value) { return SetTextField(&AccountRecord::description, value); }
CStringA ROrvaneAccount::GetUserName() { return GetRecord().username; }
RResult ROrvaneAccount::SetUserName(const char* value) { return SetTextField(&AccountRecord::username, value); }
CStringA ROrvaneAccount::GetPassword() { return GetRecord().password; }
RResult ROrvaneAccount::SetPassword(const char* value) { return SetTextField(&AccountRecord::password, value); }
int ROrvaneAccount::GetRefreshInterval() { return GetRecord().refreshInterval; }
RResult ROrvaneAccount::SetRefreshInterval(int minutes) { return SetIntField(&AccountRecord::refreshInterval, minutes); }
CStringA ROrvaneAccount::GetAddress() { return GetRecord().address; }
RResult ROrvaneAccount::SetAddress(const char* value) { return SetTextField(&AccountRecord::address, value); }
int ROrvaneAccount::GetShowInSeparateWindow() { return GetRecord().showInSeparateWindow; }
RResult ROrvaneAccount::SetShowInSeparateWindow(int value) {
    return SetIntField(&AccountRecord::showInSeparateWindow, value);
}
int ROrvaneAccount::GetEnabled() { return GetRecord().enabled; }
RResult ROrvaneAccount::SetEnabled(int value) { return SetIntField(&AccountRecord::enabled, value); }
CStringA ROrvaneAccount::GetOAuthAuthenticationGrant() { return GetRecord().OAuthAuthenticationGrant; }
RResult ROrvaneAccount::SetOAuthAuthenticationGrant(const char* value) {
    return SetTextField(&AccountRecord::OAuthAuthenticationGrant, value);
}

RResult ROrvaneAccount::LoadCalendars() {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    const CStringA guid = GetGuid();
    const int count = store->GetCalendarCount(guid);
    for (int i = 0; i < count; ++i) {
        auto calendar = MakeRef<ROrvaneCalendar>();
        if (calendar->InitFromStore(store.get(), this, i) != 0) {
            calendar->Detach();
            continue;
        }
        platform::MutexLock lock(mutex_);
        const CStringA calendarGuid = calendar->GetGuid();
        const bool listed = std::any_of(calendars_.begin(), calendars_.end(),
                                        [&](const RRef<ROrvaneCalendar>& c) { return c->GetGuid() == calendarGuid; });
        if (listed) {
            calendar->Detach();
        } else {
            calendars_.push_back(std::move(calendar));
        }
    }
    return 0;
}

std::vector<RRef<ROrvaneCalendar>> ROrvaneAccount::Calendars() {
    platform::MutexLock lock(mutex_);
    return calendars_;
}

int ROrvaneAccount::GetCalendarCount() {
    platform::MutexLock lock(mutex_);
    return static_cast<int>(calendars_.size());
}

RRef<ROrvaneCalendar> ROrvaneAccount::GetCalendarAt(int index) {
    platform::MutexLock lock(mutex_);
    if (index < 0 || index >= static_cast<int>(calendars_.size())) return nullptr;
    return calendars_[static_cast<std::size_t>(index)];
}

RRef<ROrvaneCalendar> ROrvaneAccount::FindCalendarByGuid(const char* guid) {
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (calendar->GetGuid() == Text(guid)) return calendar;
    }
    return nullptr;
}

RRef<ROrvaneCalendar> ROrvaneAccount::FindCalendarBySubscriptionURL(const char* url) {
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (calendar->GetSubscriptionURL() == Text(url)) return calendar;
    }
    return nullptr;
}

RRef<ROrvaneCalendar> ROrvaneAccount::GetDefaultCalendar() {
    std::vector<RRef<ROrvaneCalendar>> usable;
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (calendar->IsUsableCalendar()) usable.push_back(calendar);
    }
    int best = -1;
    for (const auto& calendar : usable) {
        const int order = calendar->GetCalendarOrder();
        if (order > 0 && (best < 0 || order < best)) best = order;
    }
    if (best < 0) {
        for (const auto& calendar : usable) {
            const int order = calendar->GetCalendarOrder();
            if (order >= 0 && (best < 0 || order < best)) best = order;
        }
    }
    if (best >= 0) {
        for (const auto& calendar : usable) {
            if (calendar->GetCalendarOrder() == best) return calendar;
        }
    }
    for (const auto& calendar : usable) {
        if (!calendar->IsReadOnly()) return calendar;
    }
    return nullptr;
}

RRef<ROrvaneCalendar> ROrvaneAccount::AddSubscribedCalendar(const char* url, const char* displayName) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    auto calendar = RRef<ROrvaneCalendar>::Adopt(new (std::nothrow) ROrvaneCalendar());
    if (!calendar || !store) return nullptr;
    if (calendar->Create(store.get(), this, displayName) != 0) {
        calendar->Detach();
        return nullptr;
    }
    calendar->SetSubscriptionURL(url);
    calendar->SetReadOnly(1);
    calendar->SetCalendarOrder(NextCalendarOrder());
    calendar->SetResourceType("calendar, subscribed");
    if (calendar->SaveNew() != 0) {
        calendar->Detach();
        return nullptr;
    }
    platform::MutexLock lock(mutex_);
    calendars_.push_back(calendar);
    return calendar;
}

RResult ROrvaneAccount::DeleteCalendarRecord(const CalendarRecord& record) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    return store->DeleteCalendarByGuid(GetGuid(), record.guid);
}

RResult ROrvaneAccount::RemoveCalendar(const CalendarRecord& record) {
    RRef<ROrvaneCalendar> removed;
    {
        platform::MutexLock lock(mutex_);
        for (auto it = calendars_.begin(); it != calendars_.end(); ++it) {
            if ((*it)->GetGuid() == record.guid) {
                removed = *it;
                calendars_.erase(it);
                break;
            }
        }
    }
    if (removed) {
        removed->SetServerCalendar(nullptr);
        removed->Detach();
    }
    return DeleteCalendarRecord(record);
}

int ROrvaneAccount::NextCalendarOrder() {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return 0;
    const CStringA guid = GetGuid();
    int next = 0;
    const int count = store->GetCalendarCount(guid);
    for (int i = 0; i < count; ++i) {
        CalendarRecord record;
        if (!store->IsEventCalendarAt(guid, i) || store->GetCalendar(guid, i, &record) != 0) continue;
        next = std::max(next, record.calendarOrder) + 1;
    }
    return next;
}

bool ROrvaneAccount::MakeCalendarOrderUnique(int& order) {
    if (order > 0) return false;
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return false;
    CStringA home, inbox, outbox;
    if (RRef<RCalDAVAccount> calDAV = GetCalDAVAccount()) {
        calDAV->GetCalendarHomeSet(&home);
        calDAV->GetScheduleInboxUrl(&inbox);
        calDAV->GetScheduleOutboxUrl(&outbox);
    }
    const CStringA guid = GetGuid();
    int candidate = order;
    int largest = -1;
    bool changed = false;
    const int count = store->GetCalendarCount(guid);
    for (int i = 0; i < count; ++i) {
        CalendarRecord record;
        if (!store->IsEventCalendarAt(guid, i) || store->GetCalendar(guid, i, &record) != 0) continue;
        // The home and scheduling collections are not calendars of their own (unknown URLs match nothing).
        auto isSpecial = [&](const CStringA& url) { return !url.IsEmpty() && SameServerPath(record.pathURI, url); };
        if (isSpecial(home) || isSpecial(inbox) || isSpecial(outbox)) continue;
        largest = std::max(largest, record.calendarOrder);
        if (record.calendarOrder == candidate) {
            ++candidate;
            changed = true;
        }
    }
    if (changed) order = largest + 1;
    return changed;
}

NotifyTarget ROrvaneAccount::GetNotifyTarget() {
    platform::MutexLock lock(mutex_);
    return notifyTarget_;
}

std::vector<std::pair<CStringA, CStringA>> ROrvaneAccount::FillCalendarComboBox(bool includeReadOnly) {
    struct Entry {
        int order;
        CStringA name;
        CStringA guid;
    };
    std::vector<Entry> entries;
    for (const RRef<ROrvaneCalendar>& calendar : Calendars()) {
        if (!calendar->IsUsableCalendar()) continue;
        if (!includeReadOnly && calendar->IsReadOnly()) continue;
        entries.push_back({calendar->GetCalendarOrder(), calendar->GetDisplayName(), calendar->GetGuid()});
    }
    // Ascending order, and every calendar without one (a negative order) after them: each is a
    // place an item may go. Equal orders keep the list's order.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if ((a.order < 0) != (b.order < 0)) return b.order < 0;
        return a.order >= 0 && a.order < b.order;
    });
    std::vector<std::pair<CStringA, CStringA>> out;
    out.reserve(entries.size());
    for (const Entry& entry : entries) out.emplace_back(entry.name, entry.guid);
    return out;
}

RRef<RCalDAVCalendar> ROrvaneAccount::FindListedServerCalendar(const char* path) {
    platform::MutexLock lock(mutex_);
    for (const RRef<RCalDAVCalendar>& listed : listed_) {
        CStringA href;
        listed->GetHref(&href);
        if (SameServerPath(href, path)) return listed;
    }
    return nullptr;
}

void ROrvaneAccount::Detach() {
    std::vector<RRef<ROrvaneCalendar>> calendars;
    RRef<ROrvaneAccountManager> manager;
    RRef<RCalDAVAccount> calDAV;
    std::vector<RRef<RCalDAVCalendar>> listed;
    {
        platform::MutexLock lock(mutex_);
        calendars.swap(calendars_);
        manager = std::move(manager_);
        calDAV = std::move(calDAVAccount_);
        listed.swap(listed_);
    }
    for (const RRef<ROrvaneCalendar>& calendar : calendars) calendar->Detach();
}
