#pragma once
// Internal: the one queue between the posting threads and the user-interface thread, the
// registered targets and the timers. Shared between threads; every field is guarded by mutex_,
// except the timer table, which only the user-interface thread touches.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/messages/MessageTargets.h"
#include "platform/messages/Timers.h"
#include "platform/threads/Mutex.h"

class QEvent;
class QObject;
class QTimer;

namespace platform::messages::detail {

class UiDispatcher {
public:
    static UiDispatcher& Instance();

    TargetId Register(MessageHandler handler);
    void Unregister(TargetId target);
    bool IsRegistered(TargetId target);
    bool Post(TargetId target, AppMessage message, std::uint64_t wParam, std::int64_t lParam);
    void RunOnUi(std::function<void()> function);
    bool OnUiThread();

    void Arm(TargetId target, const std::string& key, std::int64_t periodMs, TimerProc procedure);
    void Kill(TargetId target, const std::string& key);
    std::optional<std::int64_t> ArmedPeriod(TargetId target, const std::string& key);

    // The bound loop: `waker` receives the wake-up events on the user-interface thread.
    void Attach(QObject* waker);
    void Detach();
    // User-interface thread: runs the queued work (called for each wake-up event).
    void Drain();
    // The type of an event the waker received, read under the queue's mutex: a wake-up event is
    // made by the posting thread under that mutex, and Qt's own hand-over is invisible to the
    // thread sanitizer (Debian's QtCore is not built for it).
    int EventTypeOf(const QEvent* event);

private:
    struct Task {
        TargetId target = kNoTarget;  // a message for this target, or
        AppMessage message = 0;
        std::uint64_t wParam = 0;
        std::int64_t lParam = 0;
        std::function<void()> function;  // a function to run
    };
    struct TimerOp {
        TargetId target = kNoTarget;
        std::string key;           // empty with killAllOfTarget
        std::int64_t periodMs = 0;  // <= 0 kills
        TimerProc procedure;
        bool killAllOfTarget = false;
    };
    struct ArmedTimer {
        QTimer* timer = nullptr;  // child of the waker
        std::int64_t periodMs = 0;
        std::shared_ptr<TimerProc> procedure;
    };
    using TimerKey = std::pair<TargetId, std::string>;

    void QueueTimerOp(TimerOp op);
    // Posts a wake-up to the bound loop unless one is on its way.
    void WakeLocked() ORVANE_REQUIRES(mutex_);
    // User-interface thread: applies the queued timer changes in order.
    void ApplyTimerOps();
    void ApplyTimerOp(TimerOp& op);
    void StopTimer(std::map<TimerKey, ArmedTimer>::iterator it);

    platform::Mutex mutex_;
    std::unordered_map<TargetId, std::shared_ptr<MessageHandler>> targets_ ORVANE_GUARDED_BY(mutex_);
    TargetId nextTarget_ ORVANE_GUARDED_BY(mutex_) = 1;
    std::deque<Task> tasks_ ORVANE_GUARDED_BY(mutex_);
    std::deque<TimerOp> timerOps_ ORVANE_GUARDED_BY(mutex_);
    QObject* waker_ ORVANE_GUARDED_BY(mutex_) = nullptr;
    std::thread::id uiThread_ ORVANE_GUARDED_BY(mutex_);
    bool wakePending_ ORVANE_GUARDED_BY(mutex_) = false;

    std::map<TimerKey, ArmedTimer> timers_;  // user-interface thread only
};

}  // namespace platform::messages::detail
