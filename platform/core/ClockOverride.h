#pragma once
// A fixed "now" for GetLocalTime and GetSystemTime, so that code reading the clock (new items'
// start and stamps, ages of downloads) can be tested at a chosen instant.
// Threads: any thread.
#include <chrono>
#include <optional>

namespace platform {

// From now on the clock reads `instant`; nothing restores the running system clock.
void SetClockOverride(std::optional<std::chrono::system_clock::time_point> instant);

// The instant GetLocalTime and GetSystemTime read.
std::chrono::system_clock::time_point CurrentInstant();

}  // namespace platform
