// An account's stored calendars are its own even when its server cannot be set up at start-up,
// a calendar the user removes leaves the account's list as well as the store, and a reload of
// the row never undoes a change the user made meanwhile.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "store/ROrvaneDataManager.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "tests/support/TempFolder.h"

namespace {

// The real store, with a step run once right after its next calendar look-up has read the row.
class StoreWithPause : public ROrvaneDataManager {
public:
    RResult FindCalendar(const char* accountGuid, const char* calendarGuid, CalendarRecord* out) override {
        const RResult result = ROrvaneDataManager::FindCalendar(accountGuid, calendarGuid, out);
        std::function<void()> step;
        std::swap(step, afterRead);
        if (step) step();
        return result;
    }
    std::function<void()> afterRead;
};

struct StoredCalendars : ::testing::Test {
    void SetUp() override {
        store = RRef<ROrvaneDataManager>::Adopt(pausing = new StoreWithPause);
        ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8((folder.Path() / "data").string())));
        AccountRecord account;
        account.Clear();
        account.guid = "acc";
        account.description = "Offline";
        account.username = "nobody";  // no domain to discover, no address to connect to
        ASSERT_EQ(R_OK, store->AddAccount(&account));
        for (const char* guid : {"one", "two"}) {
            CalendarRecord calendar;
            calendar.Clear();
            calendar.guid = guid;
            calendar.displayName = guid;
            calendar.resourceType = "calendar";
            ASSERT_EQ(R_OK, store->AddCalendar("acc", &calendar));
        }
        manager = RRef<ROrvaneAccountManager>::Adopt(new ROrvaneAccountManager);
        ASSERT_EQ(R_OK, manager->Init(store.get()));
        ASSERT_EQ(R_OK, manager->LoadAccounts());
    }
    void TearDown() override { manager->ReleaseAll(); }

    orvane::test::TempFolder folder;
    StoreWithPause* pausing = nullptr;
    RRef<ROrvaneDataManager> store;
    RRef<ROrvaneAccountManager> manager;
};

}  // namespace

TEST_F(StoredCalendars, AreListedWhenTheServerCannotBeSetUpAndRemovedCalendarsStayGone) {
    RRef<ROrvaneAccount> account = manager->FindAccountByGuid("acc");
    ASSERT_TRUE(account);
    EXPECT_EQ(account->GetCalendarCount(), 2);
    RRef<ROrvaneCalendar> one = account->FindCalendarByGuid("one");
    ASSERT_TRUE(one);
    one->SetEnabled(0);  // the user can still hide it
    CalendarRecord stored;
    ASSERT_EQ(R_OK, store->FindCalendar("acc", "one", &stored));
    EXPECT_EQ(stored.enabled, 0);

    EXPECT_EQ(R_OK, account->RemoveCalendar(stored));
    EXPECT_FALSE(account->FindCalendarByGuid("one"));
    EXPECT_TRUE(account->FindCalendarByGuid("two"));
    EXPECT_EQ(store->GetCalendarCount("acc"), 1);
    EXPECT_EQ(account->LoadCalendars(), R_OK);  // nothing brings it back
    EXPECT_FALSE(account->FindCalendarByGuid("one"));
}

TEST_F(StoredCalendars, AToggleMadeWhileTheRowIsReloadedIsKeptInMemoryAndInTheStore) {
    RRef<ROrvaneAccount> account = manager->FindAccountByGuid("acc");
    ASSERT_TRUE(account);
    RRef<ROrvaneCalendar> one = account->FindCalendarByGuid("one");
    ASSERT_TRUE(one);
    ASSERT_EQ(one->GetEnabled(), 1);
    // The user hides the calendar just after the reload has read the row; the reload is given
    // time to let the toggle through, which it must not.
    std::future<void> toggled;
    pausing->afterRead = [&] {
        toggled = std::async(std::launch::async, [&] { one->SetEnabled(0); });
        static_cast<void>(toggled.wait_for(std::chrono::milliseconds(300)));
    };
    ASSERT_EQ(R_OK, one->Reload());
    toggled.get();
    EXPECT_EQ(one->GetEnabled(), 0);
    one->SetCTag("after-sync");  // the sync writes the whole row back
    CalendarRecord stored;
    ASSERT_EQ(R_OK, store->FindCalendar("acc", "one", &stored));
    EXPECT_EQ(stored.enabled, 0);
    EXPECT_EQ(stored.ctag, "after-sync");
}
