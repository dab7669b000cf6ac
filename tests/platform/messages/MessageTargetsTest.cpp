// Posted messages and functions: delivery on the user-interface thread, order per target,
// posts from many threads at once, and targets that go away with messages still queued.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/messages/MessageTargets.h"
#include "platform/messages/UiThreadLoop.h"
#include "tests/platform/messages/QtTestApplication.h"

using namespace platform::messages;
using orvane::test::ProcessEventsUntil;

namespace {

struct Received {
    AppMessage message;
    std::uint64_t wParam;
    std::int64_t lParam;
};

}  // namespace

TEST(PostedMessages, ArriveOnTheUiThreadInPostingOrderFromManyThreads) {
    ASSERT_TRUE(IsUiThread());
    const auto uiThread = std::this_thread::get_id();
    std::vector<Received> received;
    bool allOnUiThread = true;
    const TargetId target = RegisterTarget([&](AppMessage message, std::uint64_t w, std::int64_t l) {
        allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
        received.push_back({message, w, l});
    });

    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::atomic<bool> workerSawUiThread{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([t, target, &workerSawUiThread] {
            if (IsUiThread()) {
                workerSawUiThread = true;
            }
            for (int i = 0; i < kEach; ++i) {
                EXPECT_TRUE(PostAppMessage(target, WM_APP_SYNC_PROGRESS, static_cast<std::uint64_t>(t), i));
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_TRUE(received.empty()) << "posting never delivers synchronously";
    ASSERT_TRUE(ProcessEventsUntil([&] { return received.size() == kThreads * kEach; }));
    EXPECT_TRUE(allOnUiThread);
    EXPECT_FALSE(workerSawUiThread);

    std::vector<std::int64_t> next(kThreads, 0);
    for (const Received& r : received) {
        EXPECT_EQ(r.message, WM_APP_SYNC_PROGRESS);
        ASSERT_LT(r.wParam, static_cast<std::uint64_t>(kThreads));
        EXPECT_EQ(r.lParam, next[r.wParam]) << "messages of one poster arrive in posting order";
        next[r.wParam] = r.lParam + 1;
    }
    UnregisterTarget(target);
}

TEST(PostedMessages, MessagesAndFunctionsShareOneOrder) {
    std::vector<int> order;
    const TargetId target = RegisterTarget([&](AppMessage, std::uint64_t w, std::int64_t) {
        order.push_back(static_cast<int>(w));
    });
    std::thread worker([&] {
        PostAppMessage(target, WM_APP_DATA_CHANGED, 1, 0);
        RunOnUiThread([&] { order.push_back(2); });
        PostAppMessage(target, WM_APP_DATA_CHANGED, 3, 0);
    });
    worker.join();
    // Also asynchronous on the user-interface thread itself.
    RunOnUiThread([&] { order.push_back(4); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(ProcessEventsUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    UnregisterTarget(target);
}

TEST(PostedMessages, PostsToAGoneTargetAreDroppedAlsoWhenAlreadyQueued) {
    int delivered = 0;
    const TargetId gone = RegisterTarget([&](AppMessage, std::uint64_t, std::int64_t) { ++delivered; });
    ASSERT_NE(gone, kNoTarget);
    EXPECT_TRUE(PostAppMessage(gone, WM_APP_DATA_CHANGED, 0, 0));
    EXPECT_TRUE(PostAppMessage(gone, WM_APP_DATA_CHANGED, 0, 0));
    UnregisterTarget(gone);
    EXPECT_FALSE(IsTargetRegistered(gone));
    EXPECT_FALSE(PostAppMessage(gone, WM_APP_DATA_CHANGED, 0, 0));
    EXPECT_FALSE(PostAppMessage(kNoTarget, WM_APP_DATA_CHANGED, 0, 0));

    // A new target never takes over the old id.
    int deliveredToNew = 0;
    const TargetId fresh = RegisterTarget([&](AppMessage, std::uint64_t, std::int64_t) { ++deliveredToNew; });
    EXPECT_NE(fresh, gone);
    bool flushed = false;
    RunOnUiThread([&] { flushed = true; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return flushed; }));
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(deliveredToNew, 0);
    UnregisterTarget(fresh);
}

TEST(PostedMessages, AHandlerMayUnregisterItselfAndPostToOthers) {
    std::vector<std::tuple<int, AppMessage>> seen;
    TargetId second = kNoTarget;
    TargetId first = kNoTarget;
    first = RegisterTarget([&](AppMessage message, std::uint64_t, std::int64_t) {
        seen.emplace_back(1, message);
        UnregisterTarget(first);
        PostAppMessage(second, WM_APP_CALENDARS_CHANGED, 0, 0);
    });
    second = RegisterTarget([&](AppMessage message, std::uint64_t, std::int64_t) { seen.emplace_back(2, message); });
    PostAppMessage(first, WM_APP_DATA_CHANGED, 0, 0);
    PostAppMessage(first, WM_APP_DATA_CHANGED, 0, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return seen.size() >= 2; }));
    bool flushed = false;
    RunOnUiThread([&] { flushed = true; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return flushed; }));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_tuple(1, WM_APP_DATA_CHANGED));
    EXPECT_EQ(seen[1], std::make_tuple(2, WM_APP_CALENDARS_CHANGED));
    UnregisterTarget(second);
}
