#pragma once
// A condition variable for platform::Mutex. Wait needs the mutex held, so a loop such as
//
//   platform::MutexLock hold(lock_);
//   while (queue_.empty() && !stopping_) wake_.Wait(lock_);
//
// reads its guarded members under the analysis' eye (a predicate lambda would hide them from it).
// Threads: safe to share.
#include <chrono>
#include <condition_variable>

#include "platform/threads/Mutex.h"

namespace platform {

class ConditionVariable {
public:
    // Releases the mutex while asleep and holds it again on return; may wake without a notify.
    void Wait(Mutex& mutex) ORVANE_REQUIRES(mutex) { condition_.wait(mutex); }

    // As Wait, but gives up after the timeout; false when it timed out.
    template <typename Rep, typename Period>
    bool WaitFor(Mutex& mutex, std::chrono::duration<Rep, Period> timeout) ORVANE_REQUIRES(mutex) {
        return condition_.wait_for(mutex, timeout) == std::cv_status::no_timeout;
    }

    void NotifyOne() { condition_.notify_one(); }
    void NotifyAll() { condition_.notify_all(); }

private:
    std::condition_variable_any condition_;
};

}  // namespace platform
