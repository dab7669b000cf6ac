#pragma once
// Entering a calendar's operation lock the way the calling thread should: a refresh worker
// waits as long as it takes, any other thread waits at most kUserWait and gets R_E_CALENDAR_BUSY.
#include <chrono>

#include "sync/ROrvaneCalendar.h"
#include "sync/SyncResults.h"

inline constexpr std::chrono::milliseconds kUserWait{5000};

class CalendarOperation {
public:
    explicit CalendarOperation(ROrvaneCalendar& calendar)
        : guard_(IsRefreshWorkerThread() ? CalendarOperationGuard::ForWorker(calendar.OperationLock())
                                         : CalendarOperationGuard::ForUser(calendar.OperationLock(), kUserWait)) {}
    bool Held() const { return guard_.Held(); }

private:
    CalendarOperationGuard guard_;
};
