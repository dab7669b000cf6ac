// Saving while the calendar has no server collection attached (offline, or before the first
// refresh): a clear error, nothing sent and nothing stored.
#include "tests/sync/SyncTestSupport.h"

#include <filesystem>

#include "store/SeriesRows.h"
#include "sync/ROrvaneCalendarItem.h"

namespace orvane::test {
namespace {

TEST_F(SyncStoreFixture, AnOfflineSaveFailsClearlyAndStoresNothing) {
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Offline", "me", "secret");
    ASSERT_TRUE(account);
    auto calendar = MakeRef<ROrvaneCalendar>();
    ASSERT_EQ(R_OK, calendar->Create(world.store.get(), account.get(), "Home"));
    ASSERT_EQ(R_OK, calendar->SaveNew());

    auto item = MakeRef<ROrvaneCalendarItem>();
    ASSERT_EQ(R_OK, item->CreateNew(world.store.get(), account.get(), calendar.get()));
    item->SetSummary(CStringW(u"Written on the train"));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, item->Save());
    EXPECT_TRUE(item->IsModified()) << "the edit is still there to save later";

    std::vector<CalendarItemRecord> rows;
    ASSERT_EQ(R_OK, ReadSeriesRows(world.store.get(), item->GetGuid(), calendar->GetGuid(), account->GetGuid(), rows));
    EXPECT_TRUE(rows.empty());
    std::string file;
    EXPECT_EQ(STG_E_PATHNOTFOUND, ReadCalendarItemFile(world.store.get(), item->GetServerFileName(),
                                                       calendar->GetGuid(), account->GetGuid(), file));
}

}  // namespace
}  // namespace orvane::test
