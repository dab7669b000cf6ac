#include "sync/SyncClock.h"

#include <mutex>

namespace {
std::mutex g_clockMutex;
std::function<void(SYSTEMTIME*)> g_clock;
}  // namespace

void SyncLocalTime(SYSTEMTIME* out) {
    std::function<void(SYSTEMTIME*)> clock;
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        clock = g_clock;
    }
    if (clock) {
        clock(out);
    } else {
        GetLocalTime(out);
    }
}

void SetSyncClock(std::function<void(SYSTEMTIME*)> clock) {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_clock = std::move(clock);
}
