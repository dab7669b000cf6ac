// An account's stored calendars are its own even when its server cannot be set up at start-up,
// and a calendar the user removes leaves the account's list as well as the store.
#include <gtest/gtest.h>

#include "store/ROrvaneDataManager.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "tests/support/TempFolder.h"

namespace {

struct StoredCalendars : ::testing::Test {
    void SetUp() override {
        store = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
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
