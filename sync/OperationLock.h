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
#include <mutex>

class CalendarOperationLock {
public:
    void LockForWorker() { mutex_.lock(); }
    // True when the lock is held; false when the holder did not give way within `wait`.
    [[nodiscard]] bool LockForUser(std::chrono::milliseconds wait) {
        userWaiting_.fetch_add(1, std::memory_order_acq_rel);
        const bool locked = mutex_.try_lock_for(wait);
        userWaiting_.fetch_sub(1, std::memory_order_acq_rel);
        return locked;
    }
    void Unlock() { mutex_.unlock(); }
    bool YieldRequested() const { return userWaiting_.load(std::memory_order_acquire) > 0; }

private:
    std::timed_mutex mutex_;
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
