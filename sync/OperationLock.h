#pragma once
// The lock that one calendar's server operations take turns under: a sync, a subscription
// download, an upload, a delete, a move, a single fetch and an import never run at once on the
// same calendar, so one of them can never send another's queued hrefs or free the listing
// another is walking.
//
// A refresh worker waits for the lock as long as it takes. A user operation waits at most a
// given time and meanwhile asks the holder to give way: a worker polls YieldRequested at each
// batch and pause and stops there (its work is resumed by the next sync).
//
// Shared between threads.
#include <atomic>
#include <chrono>

#include "platform/threads/ConditionVariable.h"
#include "platform/threads/Mutex.h"

class CalendarOperationLock {
public:
    void LockForWorker() {
        platform::MutexLock hold(mutex_);
        while (held_) free_.Wait(mutex_);
        held_ = true;
    }
    // True when the lock is held; false when the holder did not give way within `wait`.
    [[nodiscard]] bool LockForUser(std::chrono::milliseconds wait) {
        userWaiting_.fetch_add(1, std::memory_order_acq_rel);
        bool locked = false;
        {
            const auto deadline = std::chrono::steady_clock::now() + wait;
            platform::MutexLock hold(mutex_);
            while (held_) {
                const auto left = deadline - std::chrono::steady_clock::now();
                if (left <= std::chrono::steady_clock::duration::zero()) break;
                free_.WaitFor(mutex_, left);
            }
            if (!held_) {
                held_ = true;
                locked = true;
            }
        }
        userWaiting_.fetch_sub(1, std::memory_order_acq_rel);
        return locked;
    }
    void Unlock() {
        {
            platform::MutexLock hold(mutex_);
            held_ = false;
        }
        free_.NotifyAll();
    }
    bool YieldRequested() const { return userWaiting_.load(std::memory_order_acquire) > 0; }

private:
    // A flag under a plain mutex rather than a timed mutex: ThreadSanitizer does not see the
    // timed lock calls, and would report every unlock after one of them.
    platform::Mutex mutex_;
    platform::ConditionVariable free_;
    bool held_ ORVANE_GUARDED_BY(mutex_) = false;
    std::atomic<int> userWaiting_{0};
};

// Holds a calendar's operation lock for one scope.
class CalendarOperationGuard {
public:
    CalendarOperationGuard(const CalendarOperationGuard&) = delete;
    CalendarOperationGuard& operator=(const CalendarOperationGuard&) = delete;
    ~CalendarOperationGuard() {
        if (held_) lock_.Unlock();
    }
    static CalendarOperationGuard ForWorker(CalendarOperationLock& lock) {
        lock.LockForWorker();
        return CalendarOperationGuard(lock, true);
    }
    static CalendarOperationGuard ForUser(CalendarOperationLock& lock, std::chrono::milliseconds wait) {
        return CalendarOperationGuard(lock, lock.LockForUser(wait));
    }
    CalendarOperationGuard(CalendarOperationGuard&& other) noexcept : lock_(other.lock_), held_(other.held_) {
        other.held_ = false;
    }
    bool Held() const { return held_; }

private:
    CalendarOperationGuard(CalendarOperationLock& lock, bool held) : lock_(lock), held_(held) {}
    CalendarOperationLock& lock_;
    bool held_;
};
