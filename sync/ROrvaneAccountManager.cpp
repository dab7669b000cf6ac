#include "sync/ROrvaneAccountManager.h"

#include <algorithm>

#include "platform/http/HttpClient.h"
#include "sync/NotifyTarget.h"
#include "sync/ROrvaneCalendar.h"

namespace {

const char* Text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

ROrvaneAccountManager::ROrvaneAccountManager() = default;

ROrvaneAccountManager::~ROrvaneAccountManager() {
    ReleaseAll();
    // Workers still listed here ended (StopAll) or were never started; joining is immediate.
    std::lock_guard<std::mutex> lock(workersMutex_);
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) {
            if (worker.done) {
                worker.thread.join();
            } else {
                worker.thread.detach();
            }
        }
    }
}

RResult ROrvaneAccountManager::Init(ROrvaneDataManager* dataManager) {
    if (dataManager == nullptr) return 0;
    try {
        {
            platform::MutexLock lock(mutex_);
            dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
        }
        return LoadAccounts();
    } catch (...) {
        return R_E_EXCEPTION;
    }
}

RRef<ROrvaneDataManager> ROrvaneAccountManager::GetDataManager() {
    platform::MutexLock lock(mutex_);
    return dataManager_;
}

RResult ROrvaneAccountManager::LoadAccounts() {
    ReleaseAll();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return 0;
    std::vector<RRef<ROrvaneAccount>> loaded;
    RRef<ROrvaneAccount> subscriptions;
    const int count = store->GetAccountCount();
    for (int i = 0; i < count; ++i) {
        auto account = MakeRef<ROrvaneAccount>();
        account->InitFromStore(this, store.get(), i);  // listed even when its loading failed
        if (account->IsSubscriptionsAccount()) {
            if (!subscriptions) {
                subscriptions = account;
                continue;
            }
        }
        loaded.push_back(std::move(account));
    }
    if (subscriptions) loaded.push_back(std::move(subscriptions));
    platform::MutexLock lock(mutex_);
    accounts_ = std::move(loaded);
    return 0;
}

void ROrvaneAccountManager::ReleaseAll() {
    std::vector<RRef<ROrvaneAccount>> accounts;
    {
        platform::MutexLock lock(mutex_);
        accounts.swap(accounts_);
    }
    for (const RRef<ROrvaneAccount>& account : accounts) account->Detach();
}

int ROrvaneAccountManager::GetAccountCount() {
    platform::MutexLock lock(mutex_);
    return static_cast<int>(accounts_.size());
}

RRef<ROrvaneAccount> ROrvaneAccountManager::GetAccountAt(int index) {
    platform::MutexLock lock(mutex_);
    if (index < 0 || index >= static_cast<int>(accounts_.size())) return nullptr;
    return accounts_[static_cast<std::size_t>(index)];
}

int ROrvaneAccountManager::IndexOfAccount(const char* guid) {
    platform::MutexLock lock(mutex_);
    for (std::size_t i = 0; i < accounts_.size(); ++i) {
        if (accounts_[i]->GetGuid().CompareNoCase(Text(guid)) == 0) return static_cast<int>(i);
    }
    return -1;
}

RRef<ROrvaneAccount> ROrvaneAccountManager::FindAccountByGuid(const char* guid) {
    platform::MutexLock lock(mutex_);
    for (const RRef<ROrvaneAccount>& account : accounts_) {
        if (account->GetGuid().CompareNoCase(Text(guid)) == 0) return account;
    }
    return nullptr;
}

RRef<ROrvaneAccount> ROrvaneAccountManager::FindAccountByGuidW(const CStringW& guid) {
    return FindAccountByGuid(guid.ToUtf8());
}

RRef<ROrvaneAccount> ROrvaneAccountManager::FindAccountByNotifyId(std::uint64_t id) {
    platform::MutexLock lock(mutex_);
    for (const RRef<ROrvaneAccount>& account : accounts_) {
        if (account->GetNotifyId() == id) return account;
    }
    return nullptr;
}

RRef<ROrvaneAccount> ROrvaneAccountManager::CreateAccount(const char* description, const char* username,
                                                          const char* password) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    auto account = RRef<ROrvaneAccount>::Adopt(new (std::nothrow) ROrvaneAccount());
    if (!account || !store) return nullptr;
    if (account->Create(this, store.get(), description, username, password) != 0) {
        account->Detach();
        return nullptr;
    }
    platform::MutexLock lock(mutex_);
    // Before the subscriptions account, which stays last.
    auto position = std::find_if(accounts_.begin(), accounts_.end(),
                                 [](const RRef<ROrvaneAccount>& a) { return a->IsSubscriptionsAccount(); });
    accounts_.insert(position, account);
    return account;
}

RRef<ROrvaneAccount> ROrvaneAccountManager::CreateSubscriptionsAccount(const char* description) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    auto account = RRef<ROrvaneAccount>::Adopt(new (std::nothrow) ROrvaneAccount());
    if (!account || !store) return nullptr;
    if (account->CreateSubscriptionsAccount(this, store.get(), description) != 0) {
        account->Detach();
        return nullptr;
    }
    platform::MutexLock lock(mutex_);
    accounts_.push_back(account);
    return account;
}

RResult ROrvaneAccountManager::DeleteAccount(const char* guid) {
    RRef<ROrvaneAccount> account;
    {
        platform::MutexLock lock(mutex_);
        for (auto it = accounts_.begin(); it != accounts_.end(); ++it) {
            if ((*it)->GetGuid().CompareNoCase(Text(guid)) == 0) {
                account = *it;
                accounts_.erase(it);
                break;
            }
        }
    }
    if (!account) return 0;
    account->MarkDeleted();
    // Not reported: the account is gone for the program once it is marked deleted.
    if (RRef<ROrvaneDataManager> store = GetDataManager()) static_cast<void>(store->DeleteAccount(account->GetGuid()));
    // A running refresh detaches the account when it ends; an idle one is detached now.
    if (!account->IsRefreshing()) account->Detach();
    return 0;
}

void ROrvaneAccountManager::JoinFinishedWorkers(const CStringA& guid) {
    // Called with workersMutex_ held.
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done && (guid.IsEmpty() || it->guid == guid)) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool ROrvaneAccountManager::LaunchRefreshWorker(RRef<ROrvaneAccount> account) {
    std::unique_lock<std::mutex> lock(workersMutex_);
    if (stopping_ || !account) return false;
    const CStringA guid = account->GetGuid();
    // The account's last worker has posted its end; it is joined before the next one starts.
    workersChanged_.wait(lock, [&] {
        return std::none_of(workers_.begin(), workers_.end(), [&](const Worker& w) { return w.guid == guid && !w.done; });
    });
    JoinFinishedWorkers(CStringA());
    workers_.push_back(Worker{guid, std::thread(), false});
    Worker& worker = workers_.back();
    worker.thread = std::thread([this, account, &worker]() mutable {
        SetRefreshWorkerThread(true);
        // A stop request aborts the transfer in flight instead of waiting for its answer.
        platform::http::SetThreadAbortFlag(account->StopFlag());
        const RResult result = account->RunRefreshOnWorker();
        platform::http::SetThreadAbortFlag(nullptr);
        RunOnUserInterfaceThread([finished = std::move(account), result]() { finished->OnRefreshFinished(result); });
        std::lock_guard<std::mutex> done(workersMutex_);
        worker.done = true;
        workersChanged_.notify_all();
    });
    return true;
}

bool ROrvaneAccountManager::StopAll(std::chrono::milliseconds timeout) {
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        stopping_ = true;
    }
    {
        platform::MutexLock lock(mutex_);
        for (const RRef<ROrvaneAccount>& account : accounts_) account->RequestStop();
    }
    std::unique_lock<std::mutex> lock(workersMutex_);
    const bool allDone = workersChanged_.wait_for(lock, timeout, [&] {
        return std::all_of(workers_.begin(), workers_.end(), [](const Worker& w) { return w.done; });
    });
    JoinFinishedWorkers(CStringA());
    return allDone;
}
