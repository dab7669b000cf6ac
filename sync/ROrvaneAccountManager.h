#pragma once
// All accounts of the program: loads them from the store, creates and deletes them, and keeps
// their refresh worker threads, which it joins before an account's next refresh and at exit.
//
// Shared between threads: the account list and the worker list are kept under their own
// mutexes; getters return counted references.
#include "foundation/ResultCodes.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>

#include "platform/threads/Mutex.h"
#include <thread>
#include <vector>

#include "foundation/memory/RRef.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"
#include "store/ROrvaneDataManager.h"
#include "sync/ROrvaneAccount.h"

class ROrvaneAccountManager : public RRefCounted {
public:
    ROrvaneAccountManager();
    ~ROrvaneAccountManager() override;

    virtual RResult Init(ROrvaneDataManager* dataManager);
    virtual RResult LoadAccounts();
    // Unlists every account and breaks its reference cycles.
    virtual void ReleaseAll();
    virtual int GetAccountCount();
    virtual RRef<ROrvaneAccount> GetAccountAt(int index);
    // Case-insensitive guid comparison.
    virtual RRef<ROrvaneAccount> FindAccountByGuid(const char* guid);
    virtual RRef<ROrvaneAccount> FindAccountByGuidW(const CStringW& guid);
    virtual int IndexOfAccount(const char* guid);
    // The new account when it was created and listed; null otherwise.
    virtual RRef<ROrvaneAccount> CreateAccount(const char* description, const char* username, const char* password);
    virtual RRef<ROrvaneAccount> CreateSubscriptionsAccount(const char* description);
    // Deletes a listed account (a running refresh stops before its next write). An unknown guid
    // changes nothing. Always 0.
    virtual RResult DeleteAccount(const char* guid);

    // Finds an account by the id its messages carry.
    RRef<ROrvaneAccount> FindAccountByNotifyId(std::uint64_t id);
    RRef<ROrvaneDataManager> GetDataManager();

    // Starts `account`'s refresh worker; false when the manager is stopping.
    bool LaunchRefreshWorker(RRef<ROrvaneAccount> account);
    // Asks every refresh to stop, aborts its transfer and waits at most `timeout` for all
    // workers. True when every worker ended (the managers may then be released); false when one
    // still runs (the process should exit without releasing them).
    [[nodiscard]] bool StopAll(std::chrono::milliseconds timeout);

private:
    struct Worker {
        CStringA guid;
        std::thread thread;
        bool done = false;
    };
    void JoinFinishedWorkers(const CStringA& guid);

    platform::Mutex mutex_;
    RRef<ROrvaneDataManager> dataManager_;
    std::vector<RRef<ROrvaneAccount>> accounts_;

    std::mutex workersMutex_;
    std::condition_variable workersChanged_;
    std::list<Worker> workers_;
    bool stopping_ = false;
};
