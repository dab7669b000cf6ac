#include "sync/NotifyTarget.h"

#include "platform/messages/Timers.h"

void PostToTarget(NotifyTarget target, platform::messages::AppMessage message, std::uint64_t wParam,
                  std::int64_t lParam) {
    if (target != platform::messages::kNoTarget) platform::messages::PostAppMessage(target, message, wParam, lParam);
}

void ArmRefreshTimer(NotifyTarget target, const CStringA& accountGuid, std::int64_t minutes, std::function<void()> fn) {
    if (target == platform::messages::kNoTarget) return;
    const std::int64_t period = platform::messages::RefreshPeriodMs(minutes);
    platform::messages::ArmTimer(target, accountGuid.Str(), period,
                                 [fn = std::move(fn)](platform::messages::TargetId, const std::string&) { fn(); });
}

void KillRefreshTimer(NotifyTarget target, const CStringA& accountGuid) {
    if (target != platform::messages::kNoTarget) platform::messages::KillTimer(target, accountGuid.Str());
}

void RunOnUserInterfaceThread(std::function<void()> fn) { platform::messages::RunOnUiThread(std::move(fn)); }
