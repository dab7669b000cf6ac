// Accounts and their manager without a server: loading order, look-ups, calendar orders,
// deletion, the user agent, and uploads or imports that cannot or must not reach a server.
#include "tests/sync/SyncTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <filesystem>
#include <fstream>

#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "sync/SyncResults.h"

using namespace orvane::test;

namespace {

class Accounts : public SyncStoreFixture {
protected:
    // A stored calendar row of an account.
    void AddCalendar(ROrvaneAccount& account, const char* guid, int order, const char* path = "") {
        CalendarRecord record;
        record.Clear();
        record.guid = guid;
        record.calendarOrder = order;
        record.pathURI = path;
        record.resourceType = "collection, calendar";
        record.supportedCalendarComponentSet = "VEVENT";
        ASSERT_EQ(R_OK, world.store->AddCalendar(account.GetGuid(), &record));
    }
};

}  // namespace

TEST_F(Accounts, TheSubscriptionsAccountIsListedLastAndGuidsAreFoundInAnyCase) {
    ASSERT_TRUE(world.manager->CreateSubscriptionsAccount("Subscriptions"));
    RRef<ROrvaneAccount> work = world.manager->CreateAccount("Work", "alice", "secret");
    ASSERT_TRUE(work);
    world.ReloadManager();
    ASSERT_EQ(world.manager->GetAccountCount(), 2);
    EXPECT_TRUE(world.manager->GetAccountAt(1)->IsSubscriptionsAccount());
    EXPECT_EQ(world.manager->GetAccountAt(0)->GetDescription(), "Work");
    EXPECT_TRUE(world.manager->FindAccountByGuid("__SUBSCRIPTIONS_GUID__"));
    EXPECT_EQ(world.manager->IndexOfAccount("__subscriptions_guid__"), 1);
    CStringA upper = work->GetGuid();
    upper.MakeUpper();
    EXPECT_EQ(world.manager->FindAccountByGuid(upper)->GetGuid(), work->GetGuid());
    EXPECT_FALSE(world.manager->GetAccountAt(2));
    EXPECT_EQ(world.manager->GetAccountAt(0)->GetPassword(), "secret");
}

TEST_F(Accounts, DeletingAnUnknownGuidChangesNothing) {
    RRef<ROrvaneAccount> work = world.manager->CreateAccount("Work", "alice", "secret");
    ASSERT_EQ(R_OK, world.manager->DeleteAccount("no-such-guid"));
    EXPECT_EQ(world.manager->GetAccountCount(), 1);
    EXPECT_EQ(world.store->GetAccountCount(), 1);
    ASSERT_EQ(R_OK, world.manager->DeleteAccount(work->GetGuid()));
    EXPECT_EQ(world.manager->GetAccountCount(), 0);
    EXPECT_EQ(world.store->GetAccountCount(), 0);
    // The deleted object writes nothing back.
    EXPECT_EQ(R_OK, work->SetDescription("Resurrected?"));
    EXPECT_EQ(world.store->GetAccountCount(), 0);
}

TEST_F(Accounts, CalendarOrdersRunPastTheLargestAndCollisionsMoveToTheEnd) {
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Orders", "alice", "secret");
    EXPECT_EQ(account->NextCalendarOrder(), 0);
    AddCalendar(*account, "a", 5);
    AddCalendar(*account, "b", 1);
    AddCalendar(*account, "c", 2);
    EXPECT_EQ(account->NextCalendarOrder(), 8);

    int order = 3;
    EXPECT_FALSE(account->MakeCalendarOrderUnique(order));
    EXPECT_EQ(order, 3);
    RRef<ROrvaneAccount> other = world.manager->CreateAccount("Other", "alice", "secret");
    AddCalendar(*other, "x", -1);
    AddCalendar(*other, "y", 4);
    order = -1;
    EXPECT_TRUE(other->MakeCalendarOrderUnique(order));
    EXPECT_EQ(order, 5);
}

TEST_F(Accounts, SettersStoreTheRowAndALoadedAccountReadsItBack) {
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Before", "alice", "secret");
    EXPECT_EQ(R_OK, account->SetDescription("After"));
    EXPECT_EQ(R_OK, account->SetRefreshInterval(30));
    EXPECT_EQ(R_OK, account->SetAddress("https://dav.example.org/"));
    world.ReloadManager();
    RRef<ROrvaneAccount> loaded = world.manager->FindAccountByGuid(account->GetGuid());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetDescription(), "After");
    EXPECT_EQ(loaded->GetRefreshInterval(), 30);
    EXPECT_EQ(loaded->GetAddress(), "https://dav.example.org/");
    EXPECT_TRUE(loaded->IsFullRefreshPending());
    EXPECT_FALSE(loaded->IsRefreshing());
}

TEST_F(Accounts, TheUserAgentNamesTheProgramAndItsVersion) {
    const CStringA agent = BuildUserAgent().ToUtf8();
    EXPECT_EQ(agent.Left(7), "Orvane/");
    EXPECT_GT(agent.GetLength(), 7);
}

TEST_F(Accounts, WithoutACollectionAnUploadSendsAndStoresNothing) {
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Offline", "alice", "secret");
    AddCalendar(*account, "home", 1, "/alice/home/");
    account->LoadCalendars();
    RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid("home");
    ASSERT_TRUE(calendar);
    auto event = MakeRef<RIcsCalendar>();
    ASSERT_EQ(R_OK, event->Parse("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20240101T100000Z\r\n"
                                 "SUMMARY:No UID yet\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, calendar->UploadItem(event.get(), nullptr, nullptr, nullptr));
    EXPECT_EQ(0, world.store->GetCalendarItemCount("home", account->GetGuid()));
    // The component got a UID of its own on the way.
    ASSERT_NE(nullptr, event->GetEventAt(0)->GetUid());
    EXPECT_EQ(36u, std::strlen(event->GetEventAt(0)->GetUid()));

    auto empty = MakeRef<RIcsCalendar>();
    ASSERT_EQ(R_OK, empty->Parse("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n"));
    EXPECT_EQ(R_E_BAD_FORMAT, calendar->UploadItem(empty.get(), nullptr, nullptr, nullptr));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, calendar->StoreItemFromText("", "", "", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n"
                                                                "UID:u\r\nDTSTART:20240101T100000Z\r\nEND:VEVENT\r\n"
                                                                "END:VCALENDAR\r\n", true));
    EXPECT_EQ(0, world.store->GetCalendarItemCount("home", account->GetGuid()));
}

TEST_F(Accounts, FilesThatCannotBeImportedGiveTheirErrorAndStoreNothing) {
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Imports", "alice", "secret");
    AddCalendar(*account, "home", 1, "/alice/home/");
    account->LoadCalendars();
    RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid("home");
    const std::string folder = world.folder.Str();
    EXPECT_EQ(2, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/missing.ics")));
    std::ofstream(folder + "/empty.ics").close();
    EXPECT_EQ(R_E_BAD_FORMAT, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/empty.ics")));
    {
        // A zero byte inside the second item: neither item is stored.
        static const char kText[] =
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:whole\r\nDTSTART:20240101T100000Z\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:cut\0short\r\nDTSTART:20240102T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        const std::string text(kText, sizeof kText - 1);
        std::ofstream(folder + "/zero.ics", std::ios::binary) << text;
    }
    EXPECT_EQ(R_E_BAD_FORMAT, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/zero.ics")));
    std::ofstream(folder + "/page.ics") << "<html><body>Not a calendar</body></html>";
    EXPECT_EQ(R_E_BAD_FORMAT, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/page.ics")));
    {
        std::ofstream big(folder + "/big.ics", std::ios::binary);
        big.seekp(64LL * 1024 * 1024);
        big.put('\n');
    }
    EXPECT_EQ(R_E_FILE_TOO_LARGE, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/big.ics")));
    if (::geteuid() != 0) {  // root reads every file
        std::ofstream(folder + "/locked.ics") << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
        ::chmod((folder + "/locked.ics").c_str(), 0);
        EXPECT_EQ(5, calendar->ImportIcsFile(CStringW::FromUtf8(folder + "/locked.ics")));
    }
    EXPECT_EQ(0, world.store->GetCalendarItemCount("home", account->GetGuid()));
}
