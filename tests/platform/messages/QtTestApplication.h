#pragma once
// Test programs that use posted messages run under one QCoreApplication with the queue bound to
// the main thread. Header-only, so each program that needs it registers its own environment.
#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/messages/UiThreadLoop.h"

namespace orvane::test {

// Makes the application and the UI-thread loop before the first test and ends them after the last.
// Threads: the test program's main thread only.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    explicit QtApplicationEnvironment(std::function<void()> afterStart = {}) : afterStart_(std::move(afterStart)) {}

    void SetUp() override {
        static int argc = 1;
        static char name[] = "orvane_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
        loop_ = std::make_unique<platform::messages::UiThreadLoop>();
        if (afterStart_) afterStart_();
    }
    void TearDown() override {
        loop_.reset();
        app_.reset();
    }

private:
    std::function<void()> afterStart_;
    std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<platform::messages::UiThreadLoop> loop_;
};

// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool ProcessEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace orvane::test
