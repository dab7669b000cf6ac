#pragma once
// Repeating timers owned by a message target and named by a key (an account's guid, never an
// object's address). Arming and killing may be done from any thread; the timers live on the
// user-interface thread and their procedures run there (a Qt timer started on a worker would
// never fire). Re-arming a key replaces its period and procedure and restarts the countdown.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/messages/MessageTargets.h"

namespace platform::messages {

using TimerProc = std::function<void(TargetId target, const std::string& key)>;

// The longest period a timer takes; longer periods are cut to it.
inline constexpr std::int64_t kLongestTimerPeriodMs = 0x7FFFFFFF;

// Minutes to the timer period in milliseconds, computed in 64 bits and cut to the longest
// period; 0 (or less) for an interval of 0 (or less), which arms nothing.
std::int64_t RefreshPeriodMs(std::int64_t intervalMinutes);

// Arms (or re-arms) the target's timer `key`. A period of 0 or less kills a timer armed earlier
// instead. Nothing happens for a target that is not registered or has no procedure.
void ArmTimer(TargetId target, const std::string& key, std::int64_t periodMs, TimerProc procedure);
void KillTimer(TargetId target, const std::string& key);

// User-interface thread only: the armed period of the timer, or nothing when none is armed.
std::optional<std::int64_t> ArmedTimerPeriod(TargetId target, const std::string& key);

}  // namespace platform::messages
