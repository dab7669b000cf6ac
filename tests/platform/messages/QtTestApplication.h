#pragma once
// The message tests run under one QCoreApplication with the queue bound to the main thread.
#include <chrono>
#include <functional>

namespace orvane::test {

// Runs the event loop until `done` holds or the time is up; returns `done()`.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

}  // namespace orvane::test
