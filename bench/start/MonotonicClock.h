#pragma once
// The system-wide monotonic clock in nanoseconds: the start-up benchmark and the program it
// starts read the same clock, so their readings subtract.
// Threads: any thread.
#include <ctime>

inline long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}
