// Timers armed from any thread fire on the user-interface thread; re-arming, killing, periods
// from refresh intervals, and targets that go away.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/messages/MessageTargets.h"
#include "platform/messages/Timers.h"
#include "tests/platform/messages/QtTestApplication.h"

using namespace platform::messages;
using orvane::test::ProcessEventsUntil;

namespace {

TargetId NewTarget() { return RegisterTarget([](AppMessage, std::uint64_t, std::int64_t) {}); }

}  // namespace

TEST(RefreshTimers, IntervalsBecomePeriodsIn64BitsAndAreCut) {
    EXPECT_EQ(RefreshPeriodMs(0), 0);
    EXPECT_EQ(RefreshPeriodMs(-5), 0);
    EXPECT_EQ(RefreshPeriodMs(1), 60000);
    EXPECT_EQ(RefreshPeriodMs(35791), 35791LL * 60000);  // still below 2^31
    // 35792 minutes overflow 32 bits: the period is cut to the longest, never wrapped.
    EXPECT_EQ(RefreshPeriodMs(35792), kLongestTimerPeriodMs);
    EXPECT_EQ(RefreshPeriodMs(0x7FFFFFFF), kLongestTimerPeriodMs);
    EXPECT_EQ(RefreshPeriodMs(INT64_MAX), kLongestTimerPeriodMs);
}

TEST(RefreshTimers, ArmedOnAWorkerFiresOnTheUiThreadWithItsKey) {
    const TargetId target = NewTarget();
    const auto uiThread = std::this_thread::get_id();
    int fired = 0;
    bool onUiThread = false;
    std::string firedKey;
    std::thread worker([&] {
        ArmTimer(target, "account-guid", 5, [&](TargetId t, const std::string& key) {
            ++fired;
            onUiThread = std::this_thread::get_id() == uiThread && t == target;
            firedKey = key;
        });
    });
    worker.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return fired >= 2; })) << "a timer repeats";
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(firedKey, "account-guid");
    KillTimer(target, "account-guid");
    EXPECT_FALSE(ArmedTimerPeriod(target, "account-guid"));
    UnregisterTarget(target);
}

TEST(RefreshTimers, ReArmingReplacesPeriodAndProcedureAndZeroKills) {
    const TargetId target = NewTarget();
    int first = 0;
    ArmTimer(target, "a", RefreshPeriodMs(30), [&](TargetId, const std::string&) { ++first; });
    ArmTimer(target, "b", RefreshPeriodMs(5), [](TargetId, const std::string&) {});
    EXPECT_EQ(ArmedTimerPeriod(target, "a"), 30 * 60000);

    int second = 0;
    ArmTimer(target, "a", 5, [&](TargetId, const std::string&) { ++second; });
    EXPECT_EQ(ArmedTimerPeriod(target, "a"), 5);
    ASSERT_TRUE(ProcessEventsUntil([&] { return second >= 1; }));
    EXPECT_EQ(first, 0);

    // A manual refresh interval: arms nothing and stops what was armed, leaving other keys.
    ArmTimer(target, "a", RefreshPeriodMs(0), [&](TargetId, const std::string&) { ++first; });
    EXPECT_FALSE(ArmedTimerPeriod(target, "a"));
    EXPECT_EQ(ArmedTimerPeriod(target, "b"), 5 * 60000);

    ArmTimer(target, "huge", INT64_MAX, [](TargetId, const std::string&) {});
    EXPECT_EQ(ArmedTimerPeriod(target, "huge"), kLongestTimerPeriodMs);

    UnregisterTarget(target);
    EXPECT_FALSE(ArmedTimerPeriod(target, "b")) << "a gone target's timers stop";
    EXPECT_FALSE(ArmedTimerPeriod(target, "huge"));
    ArmTimer(target, "late", 5, [](TargetId, const std::string&) {});
    EXPECT_FALSE(ArmedTimerPeriod(target, "late")) << "a gone target arms nothing";
}

TEST(RefreshTimers, ChangesFromWorkersApplyInTheirOrder) {
    const TargetId target = NewTarget();
    std::thread worker([&] {
        ArmTimer(target, "k", 1000, [](TargetId, const std::string&) {});
        KillTimer(target, "k");
        ArmTimer(target, "k", 2000, [](TargetId, const std::string&) {});
    });
    worker.join();
    // A change made on the user-interface thread comes after those queued before it.
    ArmTimer(target, "k", 3000, [](TargetId, const std::string&) {});
    EXPECT_EQ(ArmedTimerPeriod(target, "k"), 3000);
    UnregisterTarget(target);
}

TEST(RefreshTimers, AProcedureMayKillOrReArmItsOwnTimer) {
    const TargetId target = NewTarget();
    int killer = 0;
    ArmTimer(target, "killer", 5, [&](TargetId t, const std::string& key) {
        ++killer;
        KillTimer(t, key);
    });
    int rearmed = 0;
    ArmTimer(target, "rearm", 5, [&](TargetId t, const std::string& key) {
        ++rearmed;
        ArmTimer(t, key, 7, [&](TargetId, const std::string&) { ++rearmed; });
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return rearmed >= 3; }));
    EXPECT_EQ(killer, 1);
    EXPECT_FALSE(ArmedTimerPeriod(target, "killer"));
    EXPECT_EQ(ArmedTimerPeriod(target, "rearm"), 7);
    UnregisterTarget(target);
}
