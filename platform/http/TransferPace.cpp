#include "platform/http/TransferPace.h"

#include "platform/threads/Mutex.h"

namespace platform::http {

namespace {

struct SharedLimits {
    platform::Mutex lock;
    TransferLimits limits ORVANE_GUARDED_BY(lock);
};

SharedLimits& Limits() {
    static SharedLimits shared;
    return shared;
}

}  // namespace

void SetTransferLimits(const TransferLimits& limits) {
    SharedLimits& shared = Limits();
    platform::MutexLock hold(shared.lock);
    shared.limits = limits;
}

TransferLimits CurrentTransferLimits() {
    SharedLimits& shared = Limits();
    platform::MutexLock hold(shared.lock);
    return shared.limits;
}

void TransferPace::Start(const TransferLimits& limits, Clock::time_point now) {
    limits_ = limits;
    AnswerStarted(now);
}

void TransferPace::AnswerStarted(Clock::time_point now) {
    waitStart_ = now;
    flowing_ = false;
    total_ = 0;
    samples_.clear();
}

void TransferPace::Received(size_t bytes, Clock::time_point now) {
    if (bytes == 0) return;
    if (!flowing_) {
        flowing_ = true;
        bodyStart_ = now;
    }
    total_ += bytes;
    if (!samples_.empty() && samples_.back().first == now) {
        samples_.back().second = total_;
    } else {
        samples_.emplace_back(now, total_);
    }
}

bool TransferPace::TooSlow(Clock::time_point now) {
    if (!flowing_) return now - waitStart_ > limits_.firstByte;
    if (now - bodyStart_ < limits_.window) return false;
    const Clock::time_point windowStart = now - limits_.window;
    while (samples_.size() > 1 && samples_[1].first <= windowStart) samples_.pop_front();
    const size_t before = samples_.front().first <= windowStart ? samples_.front().second : 0;
    const auto windowMs = std::chrono::duration_cast<std::chrono::milliseconds>(limits_.window).count();
    const auto needed = static_cast<unsigned long long>(limits_.floorBytesPerSecond) *
                        static_cast<unsigned long long>(windowMs) / 1000u;
    return total_ - before < needed;
}

}  // namespace platform::http
