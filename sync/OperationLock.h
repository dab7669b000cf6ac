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
#include <condition_variable>
#include <mutex>

class CalendarOperationLock {
public:
    void LockForWorker() {
        std::unique_lock<std::mutex> lock(mutex_);
        free_.wait(lock, [this] { return !held_; });
        held_ = true;
    }
    // True when the lock is held; false when the holder did not give way within `wait`.
    [[nodiscard]] bool LockForUser(std::chrono::milliseconds wait) {
        userWaiting_.fetch_add(1, std::memory_order_acq_rel);
        bool locked = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            locked = free_.wait_for(lock, wait, [this] { return !held_; });
            if (locked) held_ = true;
        }
        userWaiting_.fetch_sub(1, std::memory_order_acq_rel);
        return locked;
    }
    void Unlock() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_ = false;
        }
        free_.notify_all();
    }
    bool YieldRequested() const { return userWaiting_.load(std::memory_order_acquire) > 0; }

private:
    // A flag under a plain mutex rather than a timed mutex: ThreadSanitizer does not see the
    // timed lock calls, and would report every unlock after one of them.
    std::mutex mutex_;
    std::condition_variable free_;
    bool held_ = false;  // guarded by mutex_
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
