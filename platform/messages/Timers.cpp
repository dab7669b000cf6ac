#include "platform/messages/Timers.h"

#include <limits>

#include "platform/messages/UiDispatcher.h"

namespace platform::messages {

using detail::UiDispatcher;

std::int64_t RefreshPeriodMs(std::int64_t intervalMinutes) {
    if (intervalMinutes <= 0) {
        return 0;
    }
    constexpr std::int64_t kMinute = 60000;
    if (intervalMinutes > kLongestTimerPeriodMs / kMinute) {
        return kLongestTimerPeriodMs;
    }
    return intervalMinutes * kMinute;
}

void ArmTimer(TargetId target, const std::string& key, std::int64_t periodMs, TimerProc procedure) {
    UiDispatcher::Instance().Arm(target, key, periodMs, std::move(procedure));
}

void KillTimer(TargetId target, const std::string& key) { UiDispatcher::Instance().Kill(target, key); }

std::optional<std::int64_t> ArmedTimerPeriod(TargetId target, const std::string& key) {
    return UiDispatcher::Instance().ArmedPeriod(target, key);
}

}  // namespace platform::messages
