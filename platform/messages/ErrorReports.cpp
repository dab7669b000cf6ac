#include "platform/messages/ErrorReports.h"

#include <deque>

#include "platform/messages/MessageTargets.h"
#include "platform/threads/Mutex.h"

namespace platform::messages {

namespace {

struct SinkSlot {
    Mutex mutex;
    std::shared_ptr<const ErrorReportSink> sink ORVANE_GUARDED_BY(mutex);
};

SinkSlot& Slot() {
    static SinkSlot slot;
    return slot;
}

}  // namespace

void InstallErrorReportSink(ErrorReportSink sink) {
    auto installed = sink ? std::make_shared<const ErrorReportSink>(std::move(sink)) : nullptr;
    MutexLock lock(Slot().mutex);
    Slot().sink = std::move(installed);
}

void SubmitErrorReport(ErrorReport report) {
    std::shared_ptr<const ErrorReportSink> sink;
    {
        MutexLock lock(Slot().mutex);
        sink = Slot().sink;
    }
    if (sink) {
        (*sink)(std::move(report));
    }
}

struct ErrorReportQueue::State {
    ShowFunction show;
    AccountExists accountExists;
    Mutex mutex;
    std::deque<ErrorReport> waiting ORVANE_GUARDED_BY(mutex);
    bool showing = false;             // user-interface thread only
};

ErrorReportQueue::ErrorReportQueue(ShowFunction show, AccountExists accountExists)
    : state_(std::make_shared<State>()) {
    state_->show = std::move(show);
    state_->accountExists = std::move(accountExists);
}

ErrorReportQueue::~ErrorReportQueue() = default;

void ErrorReportQueue::Push(ErrorReport report) { Sink()(std::move(report)); }

ErrorReportSink ErrorReportQueue::Sink() const {
    std::weak_ptr<State> weak = state_;
    return [weak](ErrorReport report) {
        auto state = weak.lock();
        if (!state) {
            return;
        }
        {
            MutexLock lock(state->mutex);
            state->waiting.push_back(std::move(report));
        }
        RunOnUiThread([weak] {
            if (auto alive = weak.lock()) {
                ErrorReportQueue::ShowWaiting(*alive);
            }
        });
    };
}

void ErrorReportQueue::ShowPending() { ShowWaiting(*state_); }

void ErrorReportQueue::ShowWaiting(State& state) {
    // A report shown modally runs a nested event loop, in which the wake-up for the next report
    // lands here again: that one waits until the outer loop takes it.
    if (state.showing) {
        return;
    }
    state.showing = true;
    for (;;) {
        ErrorReport report;
        {
            MutexLock lock(state.mutex);
            if (state.waiting.empty()) {
                break;
            }
            report = std::move(state.waiting.front());
            state.waiting.pop_front();
        }
        if (!report.accountGuid.empty() && state.accountExists && !state.accountExists(report.accountGuid)) {
            continue;
        }
        if (state.show) {
            state.show(report);
        }
    }
    state.showing = false;
}

std::size_t ErrorReportQueue::PendingCount() const {
    MutexLock lock(state_->mutex);
    return state_->waiting.size();
}

}  // namespace platform::messages
