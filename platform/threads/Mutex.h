#pragma once
// Mutexes the thread-safety analysis understands (libstdc++'s std::mutex carries no annotations).
// Guard members with ORVANE_GUARDED_BY(mutex) and lock them through MutexLock:
//
//   mutable platform::Mutex lock_;
//   std::string path_ ORVANE_GUARDED_BY(lock_);
//   std::string Path() const { platform::MutexLock hold(lock_); return path_; }
//
// The lower-case lock/unlock/try_lock make them usable wherever the standard library expects a
// lockable (std::condition_variable_any, std::unique_lock), but such uses are not checked.
// Threads: safe to share (that is their purpose).
#include <mutex>

#include "platform/threads/ThreadAnnotations.h"

namespace platform {

class ORVANE_CAPABILITY("mutex") Mutex {
public:
    constexpr Mutex() = default;  // constant-initialised, so safe in program-wide objects
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ORVANE_ACQUIRE() { mutex_.lock(); }
    void unlock() ORVANE_RELEASE() { mutex_.unlock(); }
    bool try_lock() ORVANE_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    // Tells the analysis the caller holds the mutex where it cannot see it (a callback run
    // under the lock); checks nothing at run time.
    void AssertHeld() const ORVANE_ASSERT_CAPABILITY(this) {}

private:
    std::mutex mutex_;
};

// The same for code that takes the mutex again on a thread that already holds it. The analysis
// treats a second lock in one function as a fault, so nest only across function calls.
class ORVANE_CAPABILITY("mutex") RecursiveMutex {
public:
    RecursiveMutex() = default;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock() ORVANE_ACQUIRE() { mutex_.lock(); }
    void unlock() ORVANE_RELEASE() { mutex_.unlock(); }
    bool try_lock() ORVANE_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    void AssertHeld() const ORVANE_ASSERT_CAPABILITY(this) {}

private:
    std::recursive_mutex mutex_;
};

// Holds a mutex for the rest of the scope. Threads: one thread only.
template <typename M>
class ORVANE_SCOPED_CAPABILITY BasicMutexLock {
public:
    explicit BasicMutexLock(M& mutex) ORVANE_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~BasicMutexLock() ORVANE_RELEASE() { mutex_.unlock(); }
    BasicMutexLock(const BasicMutexLock&) = delete;
    BasicMutexLock& operator=(const BasicMutexLock&) = delete;

private:
    M& mutex_;
};

using MutexLock = BasicMutexLock<Mutex>;
using RecursiveMutexLock = BasicMutexLock<RecursiveMutex>;

}  // namespace platform
