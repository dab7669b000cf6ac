// A full disk: the data folder on a small tmpfs of its own, filled to the last byte. Every write
// must report the failure and leave what was stored before; once room is made, writes work again.
// Needs the right to mount (root); skipped elsewhere.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        mountPoint = folder.Path() / "disk";
        std::filesystem::create_directories(mountPoint);
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=4m") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here (errno " << errno << ")";
        }
        mounted = true;
        dataDir = mountPoint / "Orvane";
        store = new ROrvaneDataManager();
        ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8(dataDir.string())));
        AccountRecord account;
        account.Clear();
        account.guid = "acc";
        ASSERT_EQ(R_OK, store->AddAccount(&account));
        CalendarRecord calendar;
        calendar.Clear();
        calendar.guid = "cal";
        ASSERT_EQ(R_OK, store->AddCalendar("acc", &calendar));
    }
    void TearDown() override {
        if (store != nullptr) {
            store->Release();
        }
        if (mounted) {
            umount2(mountPoint.c_str(), MNT_DETACH);
        }
    }
    // Writes a filler file until the disk takes not one byte more.
    void FillDisk() {
        const int fd = open((mountPoint / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const std::vector<char> chunk(64 * 1024, 'x');
        for (std::size_t size = chunk.size(); size > 0; size /= 2) {
            while (write(fd, chunk.data(), size) == static_cast<ssize_t>(size)) {
            }
        }
        close(fd);
    }
    long long Count(const char* sql) {
        CppSQLite3Table table;
        if (ExecuteSql(sql, SQL_MODE_GTBL, store, &table) != R_OK) {
            return -1;
        }
        table.setRow(0);
        return table.getIntField("n");
    }

    TempFolder folder;
    std::filesystem::path mountPoint;
    std::filesystem::path dataDir;
    bool mounted = false;
    ROrvaneDataManager* store = nullptr;
};

TEST_F(FullDiskTest, EveryWriteReportsTheFullDiskAndKeepsWhatWasStored) {
    ASSERT_EQ(R_OK, ImportText(store, EventsText("before", 5)));
    const std::filesystem::path itemFile = dataDir / "Accounts" / "acc" / "cal" / "item.ics";
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old text", "item.ics", "cal", "acc"));
    FillDisk();

    testing::internal::CaptureStderr();
    const RResult imported = ImportText(store, EventsText("lost", 200));
    EXPECT_TRUE(imported == R_E_DISK_FULL || imported == R_E_WRITE_FAULT) << std::hex << imported;
    EXPECT_EQ(R_E_DISK_FULL, store->WriteCalendarItemFile(std::string(10000, 'n').c_str(), "item.ics", "cal", "acc"));
    EXPECT_EQ(R_E_DISK_FULL, store->WriteCalendarItemFile("new", "other.ics", "cal", "acc"));
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = "second";
    EXPECT_NE(R_OK, store->AddCalendar("acc", &calendar));
    AccountRecord account;
    account.Clear();
    account.guid = "acc2";
    EXPECT_NE(R_OK, store->AddAccount(&account));
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(5, Count("select count(*) as n from CalendarItems;"));
    EXPECT_EQ(1, Count("select count(*) as n from Calendars;"));
    EXPECT_EQ(1, Count("select count(*) as n from Accounts;"));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "acc" / "second"));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "acc" / "cal" / "other.ics"));
    std::ifstream in(itemFile, std::ios::binary);
    EXPECT_EQ("old text", std::string(std::istreambuf_iterator<char>(in), {}));
    // No temporary file of the refused writes is left taking room.
    for (const auto& entry : std::filesystem::directory_iterator(itemFile.parent_path())) {
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp-")) << entry.path();
    }

    std::filesystem::remove(mountPoint / "filler");
    EXPECT_EQ(R_OK, ImportText(store, EventsText("after", 200)));
    EXPECT_EQ(205, Count("select count(*) as n from CalendarItems;"));
    EXPECT_EQ(R_OK, store->AddCalendar("acc", &calendar));
}

}  // namespace
}  // namespace orvane::test
