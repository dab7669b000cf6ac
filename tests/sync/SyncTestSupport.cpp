#include "tests/sync/SyncTestSupport.h"

#include <memory>
#include <thread>

#include "platform/dns/SrvLookup.h"
#include "sync/AppContext.h"

namespace orvane::test {

namespace {

// No test asks a real name server: every service lookup finds nothing.
void RefuseServiceLookups() {
    platform::dns::SetSrvResolver([](const std::string&, platform::dns::SrvRecord&) -> DWORD {
        return platform::dns::DNS_ERROR_RCODE_NAME_ERROR;
    });
}

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment(RefuseServiceLookups));

}  // namespace

RecordingTarget::RecordingTarget() {
    id_ = platform::messages::RegisterTarget(
        [this](platform::messages::AppMessage message, std::uint64_t wParam, std::int64_t) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back({message, wParam});
        });
}

RecordingTarget::~RecordingTarget() { platform::messages::UnregisterTarget(id_); }

int RecordingTarget::Count(platform::messages::AppMessage message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const Message& m : messages_) count += m.message == message ? 1 : 0;
    return count;
}

void SyncWorld::SetUp() {
    store = MakeRef<ROrvaneDataManager>();
    ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8(DataFolder())));
    manager = MakeRef<ROrvaneAccountManager>();
    ASSERT_EQ(R_OK, manager->Init(store.get()));
    InstallAppContext(store, manager);
}

void SyncWorld::TearDown() {
    if (manager) {
        EXPECT_TRUE(manager->StopAll(std::chrono::seconds(5)));
        // Ends that the workers posted run before anything is released.
        ProcessEventsUntil([] { return true; });
        platform::messages::UiThreadLoop::DrainQueued();
        manager->ReleaseAll();
    }
    ClearAppContext();
    manager.reset();
    store.reset();
}

void SyncWorld::ReloadManager() {
    if (manager) {
        EXPECT_TRUE(manager->StopAll(std::chrono::seconds(5)));
        platform::messages::UiThreadLoop::DrainQueued();
        manager->ReleaseAll();
    }
    manager = MakeRef<ROrvaneAccountManager>();
    ASSERT_EQ(R_OK, manager->Init(store.get()));
    InstallAppContext(store, manager);
}

std::vector<CalendarItemRecord> SyncWorld::Items(ROrvaneCalendar& calendar) {
    std::vector<CalendarItemRecord> rows;
    EXPECT_EQ(R_OK, store->GetCalendarItems(calendar.GetGuid(), calendar.GetParentAccountGuid(), &rows));
    return rows;
}

RResult RefreshAndWait(ROrvaneAccount& account, platform::messages::TargetId target) {
    account.StartRefresh(target);
    if (!ProcessEventsUntil([&] { return !account.IsRefreshing(); })) return -1;
    // What the end of the refresh posted reaches its target too.
    platform::messages::UiThreadLoop::DrainQueued();
    return account.GetLastResult();
}

}  // namespace orvane::test
