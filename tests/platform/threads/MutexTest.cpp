#include "platform/threads/Mutex.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/threads/ConditionVariable.h"

namespace {

using namespace std::chrono_literals;

// Whether another thread could take the mutex right now.
bool FreeForOtherThreads(platform::Mutex& lock) {
    bool taken = false;
    std::thread([&] {
        if (lock.try_lock()) {
            taken = true;
            lock.unlock();
        }
    }).join();
    return taken;
}

struct Counter {
    platform::Mutex lock;
    long value ORVANE_GUARDED_BY(lock) = 0;

    void Add() ORVANE_EXCLUDES(lock) {
        platform::MutexLock hold(lock);
        const long seen = value;
        std::this_thread::yield();  // widens the window a missing lock would lose updates in
        value = seen + 1;
    }
    long Get() ORVANE_EXCLUDES(lock) {
        platform::MutexLock hold(lock);
        return value;
    }
};

TEST(Mutex, ScopedLockKeepsReadModifyWriteWhole) {
    Counter counter;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&counter] {
            for (int i = 0; i < 2000; ++i) counter.Add();
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter.Get(), 8000);
}

TEST(Mutex, ScopeEndReleasesSoAnotherThreadCanTakeIt) {
    platform::Mutex lock;
    {
        platform::MutexLock hold(lock);
        EXPECT_FALSE(FreeForOtherThreads(lock));
    }
    EXPECT_TRUE(FreeForOtherThreads(lock));
}

struct Nested {
    platform::RecursiveMutex lock;
    int depth ORVANE_GUARDED_BY(lock) = 0;

    int Outer() {
        platform::RecursiveMutexLock hold(lock);
        ++depth;
        return Inner();
    }
    int Inner() {
        platform::RecursiveMutexLock hold(lock);  // the same thread, again: must not deadlock
        return ++depth;
    }
};

TEST(RecursiveMutex, SameThreadTakesItAgainAcrossCalls) {
    Nested nested;
    EXPECT_EQ(nested.Outer(), 2);
}

struct Mailbox {
    platform::Mutex lock;
    platform::ConditionVariable wake;
    int letters ORVANE_GUARDED_BY(lock) = 0;
};

TEST(ConditionVariable, WaiterSeesTheChangeMadeBeforeTheNotify) {
    Mailbox box;
    std::atomic<int> received{0};
    std::thread reader([&] {
        platform::MutexLock hold(box.lock);
        while (box.letters < 3) box.wake.Wait(box.lock);
        received = box.letters;
    });
    for (int i = 0; i < 3; ++i) {
        {
            platform::MutexLock hold(box.lock);
            ++box.letters;
        }
        box.wake.NotifyAll();
    }
    reader.join();
    EXPECT_EQ(received, 3);
}

TEST(ConditionVariable, WaitForGivesUpWithoutANotifyAndHoldsTheMutexAgain) {
    Mailbox box;
    platform::MutexLock hold(box.lock);
    bool woken = true;
    const auto start = std::chrono::steady_clock::now();
    while (box.letters == 0 && woken) woken = box.wake.WaitFor(box.lock, 20ms);
    EXPECT_FALSE(woken);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
    EXPECT_FALSE(FreeForOtherThreads(box.lock));
}

}  // namespace
