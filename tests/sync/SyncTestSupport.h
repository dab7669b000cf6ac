#pragma once
// Shared pieces of the synchronisation tests: the event loop of the one QCoreApplication, a
// store opened in a fresh data folder, an account manager over it, and a message target that
// records what it receives.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/memory/RRef.h"
#include "platform/messages/MessageTargets.h"
#include "store/ROrvaneDataManager.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/platform/messages/QtTestApplication.h"
#include "tests/support/TempFolder.h"

namespace orvane::test {

// A registered target that keeps every message it is sent.
class RecordingTarget {
public:
    struct Message {
        platform::messages::AppMessage message;
        std::uint64_t wParam;
    };
    RecordingTarget();
    ~RecordingTarget();
    platform::messages::TargetId Id() const { return id_; }
    int Count(platform::messages::AppMessage message) const;

private:
    platform::messages::TargetId id_;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

// A store in a fresh data folder, and an account manager over it (installed as the program's).
struct SyncWorld {
    void SetUp();
    void TearDown();
    // Stops and releases the account manager and loads a new one from the store.
    void ReloadManager();
    // Rows of a calendar, straight from the store.
    std::vector<CalendarItemRecord> Items(ROrvaneCalendar& calendar);
    // The folder of the data manager's item files.
    std::string DataFolder() const { return (folder.Path() / "data").string(); }

    TempFolder folder{"orvane-sync"};
    RRef<ROrvaneDataManager> store;
    RRef<ROrvaneAccountManager> manager;
};

class SyncStoreFixture : public ::testing::Test {
protected:
    void SetUp() override { world.SetUp(); }
    void TearDown() override { world.TearDown(); }
    SyncWorld world;
};

// Refreshes an account with `target` and waits for its end on this thread.
RResult RefreshAndWait(ROrvaneAccount& account, platform::messages::TargetId target);

}  // namespace orvane::test
