#include "platform/messages/UiDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace platform::messages::detail {

namespace {
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x101);
}

UiDispatcher& UiDispatcher::Instance() {
    static UiDispatcher dispatcher;
    return dispatcher;
}

TargetId UiDispatcher::Register(MessageHandler handler) {
    platform::MutexLock lock(mutex_);
    const TargetId id = nextTarget_++;
    targets_.emplace(id, std::make_shared<MessageHandler>(std::move(handler)));
    return id;
}

void UiDispatcher::Unregister(TargetId target) {
    std::shared_ptr<MessageHandler> handler;
    {
        platform::MutexLock lock(mutex_);
        auto it = targets_.find(target);
        if (it == targets_.end()) {
            return;
        }
        handler = std::move(it->second);
        targets_.erase(it);
        // Queued messages are dropped at delivery, where the target is looked up again.
    }
    TimerOp op;
    op.target = target;
    op.killAllOfTarget = true;
    QueueTimerOp(std::move(op));
    // `handler` may be running on the user-interface thread right now; that call holds its own
    // copy, so it finishes on a valid handler.
}

bool UiDispatcher::IsRegistered(TargetId target) {
    platform::MutexLock lock(mutex_);
    return targets_.count(target) != 0;
}

bool UiDispatcher::Post(TargetId target, AppMessage message, std::uint64_t wParam, std::int64_t lParam) {
    platform::MutexLock lock(mutex_);
    if (targets_.count(target) == 0) {
        return false;
    }
    Task task;
    task.target = target;
    task.message = message;
    task.wParam = wParam;
    task.lParam = lParam;
    tasks_.push_back(std::move(task));
    WakeLocked();
    return true;
}

void UiDispatcher::RunOnUi(std::function<void()> function) {
    if (!function) {
        return;
    }
    platform::MutexLock lock(mutex_);
    Task task;
    task.function = std::move(function);
    tasks_.push_back(std::move(task));
    WakeLocked();
}

bool UiDispatcher::OnUiThread() {
    platform::MutexLock lock(mutex_);
    return waker_ != nullptr && uiThread_ == std::this_thread::get_id();
}

void UiDispatcher::WakeLocked() {
    if (waker_ == nullptr || wakePending_) {
        return;
    }
    wakePending_ = true;
    // Under mutex_, so Detach cannot delete the waker while the event is being posted.
    QCoreApplication::postEvent(waker_, new QEvent(kWakeEvent));
}

int UiDispatcher::EventTypeOf(const QEvent* event) {
    platform::MutexLock lock(mutex_);
    return static_cast<int>(event->type());
}

void UiDispatcher::Attach(QObject* waker) {
    platform::MutexLock lock(mutex_);
    waker_ = waker;
    uiThread_ = std::this_thread::get_id();
    wakePending_ = false;
    if (!tasks_.empty() || !timerOps_.empty()) {
        WakeLocked();
    }
}

void UiDispatcher::Detach() {
    std::deque<Task> dropped;
    std::deque<TimerOp> droppedOps;
    {
        platform::MutexLock lock(mutex_);
        waker_ = nullptr;
        uiThread_ = std::thread::id();
        wakePending_ = false;
        dropped.swap(tasks_);
        droppedOps.swap(timerOps_);
    }
    // The timers are children of the waker, which the caller deletes next.
    timers_.clear();
    // `dropped` releases whatever the queued functions held, outside the lock.
}

void UiDispatcher::Drain() {
    ApplyTimerOps();
    std::deque<Task> batch;
    {
        platform::MutexLock lock(mutex_);
        wakePending_ = false;
        batch.swap(tasks_);
    }
    for (Task& task : batch) {
        if (task.function) {
            task.function();
            continue;
        }
        std::shared_ptr<MessageHandler> handler;
        {
            platform::MutexLock lock(mutex_);
            auto it = targets_.find(task.target);
            if (it != targets_.end()) {
                handler = it->second;
            }
        }
        if (handler && *handler) {
            (*handler)(task.message, task.wParam, task.lParam);
        }
    }
    ApplyTimerOps();
}

void UiDispatcher::Arm(TargetId target, const std::string& key, std::int64_t periodMs, TimerProc procedure) {
    TimerOp op;
    op.target = target;
    op.key = key;
    op.periodMs = procedure ? std::min(periodMs, kLongestTimerPeriodMs) : 0;
    op.procedure = std::move(procedure);
    QueueTimerOp(std::move(op));
}

void UiDispatcher::Kill(TargetId target, const std::string& key) {
    TimerOp op;
    op.target = target;
    op.key = key;
    QueueTimerOp(std::move(op));
}

void UiDispatcher::QueueTimerOp(TimerOp op) {
    bool applyNow = false;
    {
        platform::MutexLock lock(mutex_);
        timerOps_.push_back(std::move(op));
        applyNow = waker_ != nullptr && uiThread_ == std::this_thread::get_id();
        if (!applyNow) {
            WakeLocked();
        }
    }
    if (applyNow) {
        // On the user-interface thread the change takes effect at once, after the changes
        // that other threads queued before it.
        ApplyTimerOps();
    }
}

void UiDispatcher::ApplyTimerOps() {
    for (;;) {
        TimerOp op;
        {
            platform::MutexLock lock(mutex_);
            if (timerOps_.empty() || waker_ == nullptr) {
                return;
            }
            op = std::move(timerOps_.front());
            timerOps_.pop_front();
        }
        ApplyTimerOp(op);
    }
}

void UiDispatcher::StopTimer(std::map<TimerKey, ArmedTimer>::iterator it) {
    // The timer may be the one whose procedure is running: it is stopped now and deleted by the
    // event loop later.
    it->second.timer->stop();
    it->second.timer->deleteLater();
    timers_.erase(it);
}

void UiDispatcher::ApplyTimerOp(TimerOp& op) {
    if (op.killAllOfTarget) {
        for (auto it = timers_.lower_bound({op.target, std::string()});
             it != timers_.end() && it->first.first == op.target;) {
            auto next = std::next(it);
            StopTimer(it);
            it = next;
        }
        return;
    }
    const TimerKey key{op.target, op.key};
    auto it = timers_.find(key);
    if (op.periodMs <= 0 || !IsRegistered(op.target)) {
        if (it != timers_.end()) {
            StopTimer(it);
        }
        return;
    }
    QObject* waker = nullptr;
    {
        platform::MutexLock lock(mutex_);
        waker = waker_;
    }
    if (it == timers_.end()) {
        ArmedTimer armed;
        armed.timer = new QTimer(waker);
        armed.procedure = std::make_shared<TimerProc>();
        it = timers_.emplace(key, std::move(armed)).first;
        std::weak_ptr<TimerProc> weakProcedure = it->second.procedure;
        const TargetId target = op.target;
        const std::string timerKey = op.key;
        QObject::connect(it->second.timer, &QTimer::timeout, [weakProcedure, target, timerKey] {
            // A copy, so that the procedure may re-arm or kill its own timer.
            std::shared_ptr<TimerProc> procedure = weakProcedure.lock();
            if (procedure) {
                TimerProc call = *procedure;
                call(target, timerKey);
            }
        });
    }
    it->second.periodMs = op.periodMs;
    *it->second.procedure = std::move(op.procedure);
    it->second.timer->start(static_cast<int>(op.periodMs));
}

std::optional<std::int64_t> UiDispatcher::ArmedPeriod(TargetId target, const std::string& key) {
    if (!OnUiThread()) {
        return std::nullopt;
    }
    ApplyTimerOps();
    auto it = timers_.find({target, key});
    if (it == timers_.end()) {
        return std::nullopt;
    }
    return it->second.periodMs;
}

}  // namespace platform::messages::detail
