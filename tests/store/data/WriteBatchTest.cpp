// Writes made under one WriteBatch land together or not at all: another connection sees none of
// them before the commit, a refused write or a batch left without Commit keeps none of them,
// and the store takes single writes again once a batch has ended.
#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class WriteBatchTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
    }
    long long Rows() { return Scalar("select count(*) from CalendarItems"); }
};

TEST_F(WriteBatchTest, CommittedBatchLandsEveryWriteAtOnce) {
    {
        ROrvaneDataManager::WriteBatch batch(*store);
        ASSERT_EQ(R_OK, ImportText(store, EventsText("a", 3)));
        ASSERT_EQ(R_OK, ImportText(store, EventsText("b", 2)));
        EXPECT_EQ(0, Rows());  // nothing committed yet
        ASSERT_EQ(R_OK, batch.Commit());
    }
    EXPECT_EQ(5, Rows());
    CalendarItemRecord row;
    EXPECT_EQ(R_OK, store->FindCalendarItem("b-1", "", "cal", "acc", &row));
}

TEST_F(WriteBatchTest, RefusedWriteRollsBackTheWholeBatch) {
    ASSERT_EQ(R_OK, ImportText(store, EventsText("kept", 1)));
    ASSERT_EQ(R_OK, ExecuteSql("create trigger Refuse before insert on CalendarItems when new.summary = 'poison' "
                               "begin select raise(abort, 'refused'); end;",
                               SQL_MODE_EXEC, store, nullptr));
    testing::internal::CaptureStderr();
    {
        ROrvaneDataManager::WriteBatch batch(*store);
        EXPECT_EQ(R_OK, ImportText(store, EventsText("first", 2)));
        EXPECT_NE(R_OK, ImportText(store, EventsText("bad", 1, "poison")));
        // A write after the failure is not made either, and the commit reports the failure.
        EXPECT_NE(R_OK, ImportText(store, EventsText("later", 1)));
        EXPECT_NE(R_OK, batch.Commit());
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, Rows());
    // The store writes again on its own afterwards.
    EXPECT_EQ(R_OK, ImportText(store, EventsText("after", 1)));
    EXPECT_EQ(2, Rows());
}

TEST_F(WriteBatchTest, BatchLeftWithoutCommitKeepsNothing) {
    {
        ROrvaneDataManager::WriteBatch batch(*store);
        ASSERT_EQ(R_OK, ImportText(store, EventsText("gone", 4)));
    }
    EXPECT_EQ(0, Rows());
    CalendarItemRecord row;
    EXPECT_NE(R_OK, store->FindCalendarItem("gone-0", "", "cal", "acc", &row));
}

}  // namespace
}  // namespace orvane::test
