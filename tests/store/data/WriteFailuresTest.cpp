// Writes that fail must say so and leave what was stored before: a statement refused halfway
// through an import, a database held by another connection, an item or folder name the file
// system refuses, a file that is some other program's database.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"
#include "tests/support/WithoutOverridingPermissions.h"

namespace orvane::test {
namespace {

class WriteFailuresTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
    }
    // Makes SQLite refuse the statements that write a row whose summary is "poison", as a full
    // disk or a broken file would refuse some statement in the middle of a batch.
    void PoisonSummary() {
        ASSERT_EQ(R_OK, ExecuteSql("create trigger RefuseInsert before insert on CalendarItems when "
                                   "new.summary = 'poison' begin select raise(abort, 'refused'); end;",
                                   SQL_MODE_EXEC, store, nullptr));
        ASSERT_EQ(R_OK, ExecuteSql("create trigger RefuseUpdate before update on CalendarItems when "
                                   "new.summary = 'poison' begin select raise(abort, 'refused'); end;",
                                   SQL_MODE_EXEC, store, nullptr));
    }
};

TEST_F(WriteFailuresTest, RefusedStatementFailsTheImportAndKeepsEarlierRows) {
    ASSERT_EQ(R_OK, ImportText(store, EventsText("kept", 3)));
    PoisonSummary();
    // Ten new events, the last of which is refused, and updates of the three stored ones.
    const std::string text =
        CalendarOf(EventBlocks("new", 9) + EventBlocks("kept", 3, "changed") + EventBlocks("bad", 1, "poison"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, ImportText(store, text));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(3, Scalar("select count(*) from CalendarItems"));
    EXPECT_EQ(3, Scalar("select count(*) from CalendarItems where summary = 'Planned'"));

    // An update refused on its own is reported too, and the row keeps its text.
    CalendarItemRecord row;
    ASSERT_EQ(R_OK, store->FindCalendarItem("kept-0", "", "cal", "acc", &row));
    row.summary = "poison";
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, store->UpdateCalendarItem("kept-0", "", "cal", "acc", row));
    EXPECT_NE(R_OK, store->AddCalendarItem("other", "", "cal", "acc", [&] {
        CalendarItemRecord item = row;
        item.guid = "other";
        return item;
    }()));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(3, Scalar("select count(*) from CalendarItems where summary = 'Planned'"));
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems where guid = 'other'"));
}

TEST_F(WriteFailuresTest, BusyDatabaseIsWaitedForThenReported) {
    ASSERT_EQ(R_OK, ExecuteSql("PRAGMA busy_timeout = 200;", SQL_MODE_EXEC, store, nullptr));
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((dataDir / "OrvaneDB.sqlite").c_str(), &other));
    // Another connection in the middle of its own write (readers may go on, writers wait).
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "begin immediate;", nullptr, nullptr, nullptr));

    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_DATABASE_BUSY, ImportText(store, EventsText("late", 5)));
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = "second";
    EXPECT_EQ(R_E_DATABASE_BUSY, store->AddCalendar("acc", &calendar));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "acc" / "second"));

    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "commit;", nullptr, nullptr, nullptr));
    sqlite3_close(other);
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems"));
    // Once the other connection lets go, the same writes succeed whole.
    EXPECT_EQ(R_OK, ImportText(store, EventsText("late", 5)));
    EXPECT_EQ(5, Scalar("select count(*) from CalendarItems"));
}

TEST_F(WriteFailuresTest, OpeningWaitsAtMostOneBusyTimeoutForAnotherConnectionsLock) {
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((dataDir / "OrvaneDB.sqlite").c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "begin immediate;", nullptr, nullptr, nullptr));
    constexpr auto kTimeout = std::chrono::milliseconds(1500);
    ROrvaneDataManager* second = new ROrvaneDataManager(static_cast<int>(kTimeout.count()));
    testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(R_OK, second->Open(CStringW::FromUtf8(dataDir.string())));
    const auto opening = std::chrono::steady_clock::now() - start;
    EXPECT_LT(opening, kTimeout * 2);
    // Once open, a write waits the whole timeout again.
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(R_E_DATABASE_BUSY, ImportText(second, EventsText("late", 1)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, kTimeout * 9 / 10);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "commit;", nullptr, nullptr, nullptr));
    sqlite3_close(other);
    EXPECT_EQ(R_OK, ImportText(second, EventsText("late", 1)));
    second->Release();
}

TEST_F(WriteFailuresTest, ADamagedPageIsReportedAtOpenAndNothingMoreIsWrittenIntoTheFile) {
    // Enough rows for the item table to span many pages.
    ASSERT_EQ(R_OK, ImportText(store, EventsText("item", 2000, std::string(300, 's'))));
    store->Release();
    store = nullptr;
    // A page of the item table's rows in the middle of the file, overwritten as a failing disk might.
    const long long page = Scalar(
        "select pageno from dbstat where name = 'CalendarItems' and pagetype = 'leaf' order by pageno limit 1 offset "
        "(select count(*) / 2 from dbstat where name = 'CalendarItems' and pagetype = 'leaf')");
    const long long pageSize = Scalar("PRAGMA page_size");
    ASSERT_GT(page, 1);
    const std::filesystem::path file = dataDir / "OrvaneDB.sqlite";
    {
        std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp((page - 1) * pageSize);
        out << std::string(static_cast<std::size_t>(pageSize), 'Z');
    }
    const std::string damaged = ReadBytes(file);

    store = new ROrvaneDataManager();
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_DATABASE_CORRUPT, store->Open(CStringW::FromUtf8(dataDir.string())));
    // The program goes on with the store it could not open; an import into it is refused.
    EXPECT_EQ(R_E_DATABASE_CORRUPT, ImportText(store, EventsText("late", 1)));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(damaged, ReadBytes(file));
}

TEST_F(WriteFailuresTest, NamesTheFileSystemRefusesAreReportedAndStoreNothing) {
    const std::string longName(300, 'c');
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = longName.c_str();
    EXPECT_EQ(R_E_NAME_TOO_LONG, store->AddCalendar("acc", &calendar));
    EXPECT_EQ(0, Scalar("select count(*) from Calendars where guid = '" + longName + "'"));

    const std::string longAccount(300, 'a');
    AccountRecord account;
    account.Clear();
    account.guid = longAccount.c_str();
    account.password = "secret";
    EXPECT_EQ(R_E_NAME_TOO_LONG, store->AddAccount(&account));
    EXPECT_EQ(0, Scalar("select count(*) from Accounts where guid = '" + longAccount + "'"));

    // An item file whose name is too long once its temporary file's suffix is added is refused;
    // the item's earlier file stays.
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("first", "item.ics", "cal", "acc"));
    EXPECT_EQ(R_E_NAME_TOO_LONG, store->WriteCalendarItemFile("second", std::string(250, 'i').c_str(), "cal", "acc"));
    EXPECT_EQ("first", ReadBytes(dataDir / "Accounts" / "acc" / "cal" / "item.ics"));
}

using orvane::test::WithoutOverridingPermissions;

TEST_F(WriteFailuresTest, RefusedFolderFailsTheCalendarAndItsItemFiles) {
    const std::filesystem::path account = dataDir / "Accounts" / "acc";
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("kept", "item.ics", "cal", "acc"));
    ASSERT_EQ(0, chmod(account.c_str(), 0555));
    ASSERT_EQ(0, chmod((account / "cal").c_str(), 0555));
    RResult added = R_OK;
    RResult written = R_OK;
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = "refused";
    WithoutOverridingPermissions([&] {
        added = store->AddCalendar("acc", &calendar);
        written = store->WriteCalendarItemFile("new", "item.ics", "cal", "acc");
    });
    chmod(account.c_str(), 0755);
    chmod((account / "cal").c_str(), 0755);
    EXPECT_EQ(R_E_ACCESS_DENIED, added);
    EXPECT_EQ(0, Scalar("select count(*) from Calendars where guid = 'refused'"));
    EXPECT_EQ(R_E_ACCESS_DENIED, written);
    EXPECT_EQ("kept", ReadBytes(account / "cal" / "item.ics"));
}

TEST_F(WriteFailuresTest, DeletedAccountGoesWholeOrNotAtAll) {
    ASSERT_EQ(R_OK, ImportText(store, EventsText("item", 2)));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("text", "item.ics", "cal", "acc"));
    ASSERT_EQ(R_OK, ExecuteSql("create trigger KeepAccounts before delete on Accounts begin "
                               "select raise(abort, 'kept'); end;",
                               SQL_MODE_EXEC, store, nullptr));
    testing::internal::CaptureStderr();
    EXPECT_EQ(R_E_BAD_FORMAT, store->DeleteAccount("acc"));
    testing::internal::GetCapturedStderr();
    // The items and calendars whose deletes ran before the refused one are back, and the folder
    // and the password are untouched.
    EXPECT_EQ(2, Scalar("select count(*) from CalendarItems"));
    EXPECT_EQ(1, Scalar("select count(*) from Calendars"));
    EXPECT_TRUE(std::filesystem::exists(dataDir / "Accounts" / "acc" / "cal" / "item.ics"));
    AccountRecord read;
    read.Clear();
    ASSERT_EQ(R_OK, store->FindAccount("acc", &read));
    EXPECT_STREQ("secret", read.password);

    ASSERT_EQ(R_OK, ExecuteSql("drop trigger KeepAccounts;", SQL_MODE_EXEC, store, nullptr));
    EXPECT_EQ(R_OK, store->DeleteAccount("acc"));
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems"));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "acc"));
    AccountRecord gone;
    gone.Clear();
    gone.guid = "acc";
    EXPECT_NE(R_OK, store->LoadAccountPassword(&gone));
}

// Another program's database: tables, but not the store's DatabaseInfo row. It is refused and
// left byte for byte as it was.
TEST(ForeignDatabaseTest, IsRefusedAndLeftAlone) {
    TempFolder folder;
    const std::filesystem::path dataDir = folder.Path() / "data";
    std::filesystem::create_directories(dataDir);
    const std::filesystem::path file = dataDir / "OrvaneDB.sqlite";
    for (const char* schema :
         {"create table Notes (text TEXT); insert into Notes values ('mine');",
          "create table DatabaseInfo(description TEXT, version INTEGER); insert into DatabaseInfo values ('Other', 3);"}) {
        std::filesystem::remove(file);
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, schema, nullptr, nullptr, nullptr));
        sqlite3_close(db);
        std::ifstream in(file, std::ios::binary);
        const std::string before(std::istreambuf_iterator<char>(in), {});

        ROrvaneDataManager* store = new ROrvaneDataManager();
        EXPECT_EQ(R_E_BAD_FORMAT, store->Open(CStringW::FromUtf8(dataDir.string())));
        store->Release();
        std::ifstream again(file, std::ios::binary);
        EXPECT_EQ(before, std::string(std::istreambuf_iterator<char>(again), {})) << schema;
        EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts"));
    }
}

}  // namespace
}  // namespace orvane::test
