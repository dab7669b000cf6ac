#include "tests/store/data/OpenStoreFixture.h"

#include <atomic>
#include <string>
#include <thread>

namespace orvane::test {
namespace {

class ConcurrentWritersTest : public OpenStoreFixture {};

TEST_F(ConcurrentWritersTest, TwoWritersAndARangeReaderLoseNothing) {
    MakeAccount("acc");
    MakeCalendar("acc", "cal");
    constexpr int kPerWriter = 60;
    std::atomic<int> failures{0};
    std::atomic<int> writersLeft{2};

    auto writer = [&](int id) {
        for (int i = 0; i < kPerWriter; ++i) {
            CalendarItemRecord item;
            item.guid = ("w" + std::to_string(id) + "-" + std::to_string(i)).c_str();
            item.parentCalendarGuid = "cal";
            item.parentAccountGuid = "acc";
            item.serverFileName = item.guid + ".ics";
            item.localFileName = item.serverFileName;
            item.dtStart = "2020-12-10 09:00";
            item.dtPatternStart = item.dtStart;
            item.dtPatternEnd = "2020-12-10 10:00";
            if (i % 10 == 0) {
                item.rrule = "FREQ=WEEKLY";
                item.dtPatternEnd = "";
            }
            // Both writers also try to add each other's items: exactly one row may result.
            const CStringA other = ("w" + std::to_string(1 - id) + "-" + std::to_string(i)).c_str();
            CalendarItemRecord twin = item;
            twin.guid = other;
            const RResult added = store->AddCalendarItem(item.guid, "", "cal", "acc", item);
            if ((added != R_OK && added != R_E_ALREADY_EXISTS) ||
                store->WriteCalendarItemFile("BEGIN:VCALENDAR", item.serverFileName, "cal", "acc") != R_OK) {
                ++failures;
            }
            const RResult result = store->AddCalendarItem(other, "", "cal", "acc", twin);
            if (result != R_OK && result != R_E_ALREADY_EXISTS) {
                ++failures;
            }
        }
        --writersLeft;
    };
    auto reader = [&] {
        RDateTime from;
        from.year = 2020;
        from.month = 12;
        from.day = 1;
        RDateTime to = from;
        to.day = 31;
        do {
            ItemPointerArray* list = nullptr;
            try {
                if (store->GetCalendarItemsInDateRange("acc", from, to, &list) != R_OK) {
                    ++failures;
                }
            } catch (...) {
                ++failures;
            }
            store->FreeCalendarItemList(&list);
        } while (writersLeft.load() > 0);
    };

    testing::internal::CaptureStderr();
    std::thread first(writer, 0);
    std::thread second(writer, 1);
    std::thread third(reader);
    first.join();
    second.join();
    third.join();
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(2 * kPerWriter, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_EQ(2 * kPerWriter, Scalar("select count(distinct guid) from CalendarItems"));
    RDateTime from;
    from.year = 2020;
    from.month = 12;
    from.day = 1;
    RDateTime to = from;
    to.day = 31;
    ItemPointerArray* list = nullptr;
    ASSERT_EQ(R_OK, store->GetCalendarItemsInDateRange("acc", from, to, &list));
    EXPECT_EQ(2 * kPerWriter, ItemCount(list));
    store->FreeCalendarItemList(&list);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dataDir / "Accounts" / "acc" / "cal")) {
        ++files;
    }
    EXPECT_EQ(2 * kPerWriter, files);
}

}  // namespace
}  // namespace orvane::test
