#pragma once
// Error reports from workers and commands to the user: a worker hands the report over and goes
// on; it never waits for a dialog. The application installs the sink; ErrorReportQueue is the
// user-interface side that shows the reports one at a time.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/string/CString.h"

namespace platform::messages {

struct ErrorReport {
    std::string accountGuid;  // the account the failure belongs to; empty for none
    CStringW accountName;
    std::int32_t code = 0;
    CStringW calendarName;
    CStringW eventText;
};

using ErrorReportSink = std::function<void(ErrorReport report)>;

// Installs the application's sink (an empty one removes it). Any thread.
void InstallErrorReportSink(ErrorReportSink sink);
// Hands a report to the installed sink; without a sink it is dropped. Any thread; the sink
// must not block.
void SubmitErrorReport(ErrorReport report);

// Queues reports from any thread and shows them on the user-interface thread, one at a time:
// a report that arrives while one is shown (a modal dialog runs its own event loop) waits
// until that one is closed; a report whose account no longer exists is not shown.
//
// May be shared between threads (Push); the rest belongs to the user-interface thread.
class ErrorReportQueue {
public:
    using ShowFunction = std::function<void(const ErrorReport& report)>;
    using AccountExists = std::function<bool(const std::string& accountGuid)>;

    ErrorReportQueue(ShowFunction show, AccountExists accountExists);
    ~ErrorReportQueue();
    ErrorReportQueue(const ErrorReportQueue&) = delete;
    ErrorReportQueue& operator=(const ErrorReportQueue&) = delete;

    // Any thread; returns at once.
    void Push(ErrorReport report);
    // A sink for InstallErrorReportSink that pushes here while this queue exists.
    ErrorReportSink Sink() const;

    // User-interface thread: shows the waiting reports in order (called by Push's wake-up).
    void ShowPending();
    std::size_t PendingCount() const;

private:
    struct State;
    static void ShowWaiting(State& state);
    std::shared_ptr<State> state_;
};

}  // namespace platform::messages
