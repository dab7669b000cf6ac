#pragma once
// Watches one transfer against its TransferLimits: the wait for the first byte of an answer's
// body, then the bytes that arrive in every window. The request feeds it as bytes come and asks
// it from libcurl's progress callback whether to give up.
// Threads: a pace belongs to the thread that runs its transfer; the limits are set and read on
// any thread.
#include <chrono>
#include <cstddef>
#include <deque>
#include <utility>

namespace platform::http {

// When a transfer gives up on a slow server, ending with ERROR_INTERNET_TIMEOUT. A server may
// compute a large answer for minutes before it sends anything, so the wait for the first byte of
// an answer's body is long; once the body flows it must keep a floor that a slow but honest link
// clears, averaged over a window.
struct TransferLimits {
    std::chrono::milliseconds firstByte{std::chrono::minutes(10)};
    size_t floorBytesPerSecond = 1024;
    std::chrono::milliseconds window{std::chrono::seconds(30)};
};

// The limits of every transfer started afterwards, on any thread (tests shorten them).
void SetTransferLimits(const TransferLimits& limits);
TransferLimits CurrentTransferLimits();

class TransferPace {
public:
    using Clock = std::chrono::steady_clock;

    // Starts the wait for an answer.
    void Start(const TransferLimits& limits, Clock::time_point now);
    // A new answer began (after an authentication round, say): its body is waited for afresh.
    void AnswerStarted(Clock::time_point now);
    // `bytes` of body arrived.
    void Received(size_t bytes, Clock::time_point now);
    // True when the body has not started within the first-byte wait, or when the bytes of the
    // last window fell below the floor.
    bool TooSlow(Clock::time_point now);

private:
    TransferLimits limits_;
    Clock::time_point waitStart_{};
    bool flowing_ = false;
    Clock::time_point bodyStart_{};
    size_t total_ = 0;
    // (instant, body bytes received up to then), oldest first; one at or before the window's
    // start is kept as its base.
    std::deque<std::pair<Clock::time_point, size_t>> samples_;
};

}  // namespace platform::http
