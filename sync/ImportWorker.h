#pragma once
// An import of an .ics file on a thread of its own, so that the window stays responsive however
// long the file: after each item it posts WM_APP_IMPORT_PROGRESS (wParam: items done, lParam: all
// items) to its target, and WM_APP_IMPORT_FINISHED once it has ended. A stop request ends it after
// the item being sent; the program's exit (its account's stop) also aborts that item's transfer.
//
// Shared between threads: RequestStop, Finished, Wait and Outcome may be called from any thread;
// the object is destroyed by its owner, which waits for the thread then.
#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/memory/RRef.h"
#include "platform/string/CString.h"
#include "platform/threads/ConditionVariable.h"
#include "platform/threads/Mutex.h"
#include "sync/NotifyTarget.h"
#include "sync/ROrvaneCalendar.h"

class ImportWorker {
public:
    // Starts importing the file at `path` into `calendar`.
    ImportWorker(RRef<ROrvaneCalendar> calendar, const CStringW& path, NotifyTarget target);
    // Asks for a stop and waits for the thread.
    ~ImportWorker();
    ImportWorker(const ImportWorker&) = delete;
    ImportWorker& operator=(const ImportWorker&) = delete;

    // The import ends after the item being sent.
    void RequestStop() { stop_.store(true, std::memory_order_release); }
    bool Finished() const;
    // Waits at most `timeout` for the import to end; true when it has.
    [[nodiscard]] bool Wait(std::chrono::milliseconds timeout) const;
    // How the import went; final once Finished.
    ImportOutcome Outcome() const;

private:
    void Run();

    RRef<ROrvaneCalendar> calendar_;
    CStringW path_;
    NotifyTarget target_;
    std::atomic<bool> stop_{false};
    mutable platform::Mutex mutex_;
    mutable platform::ConditionVariable ended_;
    ImportOutcome outcome_ ORVANE_GUARDED_BY(mutex_);
    bool finished_ ORVANE_GUARDED_BY(mutex_) = false;
    std::thread thread_;
};
