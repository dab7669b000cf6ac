#include "platform/core/WinTypes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <limits>

#include "platform/core/ClockOverride.h"

namespace {

constexpr std::int64_t kNoOverride = std::numeric_limits<std::int64_t>::min();
// Milliseconds since the epoch of the fixed instant, or kNoOverride.
std::atomic<std::int64_t> g_fixedInstantMs{kNoOverride};

void Fill(SYSTEMTIME* out, bool local) {
    if (out == nullptr) {
        return;
    }
    const auto now = platform::CurrentInstant();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    if (local) {
        localtime_r(&seconds, &parts);
    } else {
        gmtime_r(&seconds, &parts);
    }
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    out->wSecond = static_cast<WORD>(parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(ms % 1000);
}

}  // namespace

void GetLocalTime(SYSTEMTIME* out) { Fill(out, true); }
void GetSystemTime(SYSTEMTIME* out) { Fill(out, false); }

namespace platform {

void SetClockOverride(std::optional<std::chrono::system_clock::time_point> instant) {
    g_fixedInstantMs.store(
        instant ? std::chrono::duration_cast<std::chrono::milliseconds>(instant->time_since_epoch()).count()
                : kNoOverride,
        std::memory_order_relaxed);
}

std::chrono::system_clock::time_point CurrentInstant() {
    const std::int64_t fixed = g_fixedInstantMs.load(std::memory_order_relaxed);
    if (fixed == kNoOverride) {
        return std::chrono::system_clock::now();
    }
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(fixed));
}

}  // namespace platform
