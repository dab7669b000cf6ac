#include "sync/ImportWorker.h"

#include <utility>

#include "platform/http/HttpClient.h"
#include "sync/ROrvaneAccount.h"

ImportWorker::ImportWorker(RRef<ROrvaneCalendar> calendar, const CStringW& path, NotifyTarget target)
    : calendar_(std::move(calendar)), path_(path), target_(target) {
    thread_ = std::thread([this] { Run(); });
}

ImportWorker::~ImportWorker() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

bool ImportWorker::Finished() const {
    platform::MutexLock hold(mutex_);
    return finished_;
}

bool ImportWorker::Wait(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::MutexLock hold(mutex_);
    while (!finished_) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return false;
        (void)ended_.WaitFor(mutex_, left);  // woken or timed out: the loop looks again
    }
    return true;
}

ImportOutcome ImportWorker::Outcome() const {
    platform::MutexLock hold(mutex_);
    return outcome_;
}

void ImportWorker::Run() {
    // The program's exit stops the account: the transfer in flight is then aborted, not awaited.
    const RRef<ROrvaneAccount> account = calendar_->GetAccount();
    if (account) platform::http::SetThreadAbortFlag(account->StopFlag());
    ImportControl control;
    control.stop = &stop_;
    control.progress = [this](int done, int all) {
        PostToTarget(target_, platform::messages::WM_APP_IMPORT_PROGRESS, static_cast<std::uint64_t>(done), all);
    };
    const ImportOutcome outcome = calendar_->ImportIcsFileWithProgress(path_, control);
    platform::http::SetThreadAbortFlag(nullptr);
    {
        platform::MutexLock hold(mutex_);
        outcome_ = outcome;
        finished_ = true;
    }
    ended_.NotifyAll();
    PostToTarget(target_, platform::messages::WM_APP_IMPORT_FINISHED, 0, 0);
}
