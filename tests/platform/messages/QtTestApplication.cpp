#include "tests/platform/messages/QtTestApplication.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/messages/UiThreadLoop.h"

namespace orvane::test {

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "platform_messages_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
        loop_ = std::make_unique<platform::messages::UiThreadLoop>();
    }
    void TearDown() override {
        loop_.reset();
        app_.reset();
    }

private:
    std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<platform::messages::UiThreadLoop> loop_;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace orvane::test
