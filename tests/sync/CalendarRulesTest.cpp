// The calendar object over its stored row: which calendars hold events, which are read-only or
// server-side subscriptions, the default calendar, the subscription age, and setters that write
// the row only when something changed.
#include "tests/sync/SyncTestSupport.h"

#include <cstring>

#include "sync/SyncClock.h"

using namespace orvane::test;

namespace {

class CalendarRules : public SyncStoreFixture {
protected:
    void SetUp() override {
        SyncStoreFixture::SetUp();
        account = world.manager->CreateAccount("Rules", "nobody", "secret");
        ASSERT_TRUE(account);
    }
    void TearDown() override {
        SetSyncClock({});
        account.reset();
        SyncStoreFixture::TearDown();
    }
    // A stored calendar of the account with an attached collection of the given kinds.
    RRef<ROrvaneCalendar> Calendar(const char* guid, int order, const char* types, const char* components,
                                   int readOnly = 0) {
        CalendarRecord record;
        record.Clear();
        record.guid = guid;
        record.displayName = guid;
        record.calendarOrder = order;
        record.pathURI = CStringA("/dav/") + guid + "/";
        EXPECT_EQ(R_OK, world.store->AddCalendar(account->GetGuid(), &record));
        account->LoadCalendars();
        RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid(guid);
        EXPECT_TRUE(calendar);
        auto server = MakeRef<RCalDAVCalendar>();
        server->SetResourceTypes(types);
        for (const char* c = components; c != nullptr && *c != '\0';) {
            const char* comma = std::strchr(c, ',');
            const std::string one = comma ? std::string(c, comma) : std::string(c);
            server->AddSupportedComponent(one.c_str());
            c = comma ? comma + 1 : nullptr;
        }
        calendar->SetServerCalendar(server);
        calendar->SetReadOnly(readOnly);  // the flag has no column: it lives in the object
        return calendar;
    }

    RRef<ROrvaneAccount> account;
};

void FixedClock(int year, int month, int day, int hour, int minute, int second) {
    SetSyncClock([=](SYSTEMTIME* out) {
        *out = SYSTEMTIME{};
        out->wYear = static_cast<WORD>(year);
        out->wMonth = static_cast<WORD>(month);
        out->wDay = static_cast<WORD>(day);
        out->wHour = static_cast<WORD>(hour);
        out->wMinute = static_cast<WORD>(minute);
        out->wSecond = static_cast<WORD>(second);
    });
}

}  // namespace

TEST_F(CalendarRules, EventCalendarsAreUsableAndTaskListsAreNot) {
    EXPECT_TRUE(Calendar("both", 1, "collection, calendar", "VEVENT,VTODO")->IsUsableCalendar());
    EXPECT_FALSE(Calendar("tasks", 2, "collection, calendar", "VTODO")->IsUsableCalendar());
    EXPECT_TRUE(Calendar("sub-events", 3, "collection, subscribed", "VEVENT")->IsUsableCalendar());
    EXPECT_FALSE(Calendar("sub-other", 4, "collection, subscribed", "VJOURNAL")->IsUsableCalendar());
    EXPECT_FALSE(Calendar("plain", 5, "collection", "")->IsUsableCalendar());
}

TEST_F(CalendarRules, WithoutACollectionNothingIsUsableButReadOnlyFollowsTheRow) {
    CalendarRecord record;
    record.Clear();
    record.guid = "detached";
    ASSERT_EQ(R_OK, world.store->AddCalendar(account->GetGuid(), &record));
    account->LoadCalendars();
    RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid("detached");
    ASSERT_TRUE(calendar);
    calendar->SetReadOnly(1);
    EXPECT_FALSE(calendar->IsUsableCalendar());
    EXPECT_FALSE(calendar->IsSubscribed());
    EXPECT_TRUE(calendar->IsReadOnly());
    EXPECT_EQ(calendar->GetServerPath(), "");
    EXPECT_EQ(R_OK, calendar->SyncWithServer(true));  // nothing to do
    calendar->SetReadOnly(0);
    EXPECT_FALSE(calendar->IsReadOnly());
    calendar->SetResourceType("calendar, subscribed");
    EXPECT_TRUE(calendar->IsReadOnly());
}

TEST_F(CalendarRules, AServerSideSubscriptionNeedsEventsAndASource) {
    RRef<ROrvaneCalendar> calendar = Calendar("feed", 1, "collection, subscribed", "VEVENT");
    EXPECT_FALSE(calendar->IsSubscribed());
    calendar->SetSubscriptionURL("webcal://feeds.example/x.ics");
    EXPECT_TRUE(calendar->IsSubscribed());
}

TEST_F(CalendarRules, TheDefaultCalendarIsTheUsableOneWithTheSmallestPositiveOrder) {
    Calendar("zero", 0, "calendar", "VEVENT");
    Calendar("three-a", 3, "calendar", "VEVENT");
    Calendar("three-b", 3, "calendar", "VEVENT");
    Calendar("tasks", 1, "calendar", "VTODO");
    EXPECT_EQ(account->GetDefaultCalendar()->GetGuid(), "three-a");
}

TEST_F(CalendarRules, WithoutPositiveOrdersZeroWinsAndWithoutOrdersTheFirstWritableOne) {
    Calendar("unordered", -1, "calendar", "VEVENT");
    Calendar("zero", 0, "calendar", "VEVENT");
    EXPECT_EQ(account->GetDefaultCalendar()->GetGuid(), "zero");
}

TEST_F(CalendarRules, WithOnlyUnorderedCalendarsTheFirstWritableOneIsTheDefault) {
    Calendar("read-only", -1, "calendar", "VEVENT", 1);
    Calendar("writable", -1, "calendar", "VEVENT");
    EXPECT_EQ(account->GetDefaultCalendar()->GetGuid(), "writable");
}

TEST_F(CalendarRules, TheCalendarChoiceListsNameAndGuidInOrderUnorderedLastLeavingOutReadOnly) {
    Calendar("second", 2, "calendar", "VEVENT");
    Calendar("first", 1, "calendar", "VEVENT");
    Calendar("unordered", -1, "calendar", "VEVENT");
    Calendar("locked", 0, "calendar", "VEVENT", 1);
    auto entries = account->FillCalendarComboBox(false);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].second, "first");
    EXPECT_EQ(entries[1].second, "second");
    EXPECT_EQ(entries[2].second, "unordered");
    entries = account->FillCalendarComboBox(true);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].first, "locked");
}

TEST_F(CalendarRules, SubscriptionAgeCountsWholeDaysAndNeverRefreshedIsLongAgo) {
    RRef<ROrvaneCalendar> calendar = Calendar("age", 1, "calendar", "VEVENT");
    EXPECT_EQ(calendar->GetDaysSinceLastRefresh(), 9999);
    FixedClock(2024, 3, 1, 12, 30, 0);
    calendar->MarkRefreshedNow();
    EXPECT_EQ(calendar->GetRecord().subscriptionLastRefreshed, "2024-03-01 12:30");  // no seconds when 0
    FixedClock(2024, 3, 8, 11, 30, 0);  // 6 days 23 hours later
    EXPECT_EQ(calendar->GetDaysSinceLastRefresh(), 6);
    FixedClock(2024, 3, 8, 12, 30, 5);
    EXPECT_EQ(calendar->GetDaysSinceLastRefresh(), 7);
    calendar->MarkRefreshedNow();
    CalendarRecord stored;
    ASSERT_EQ(R_OK, world.store->FindCalendar(account->GetGuid(), "age", &stored));
    EXPECT_EQ(stored.subscriptionLastRefreshed, "2024-03-08 12:30:05");
}

TEST_F(CalendarRules, SettersWriteTheRowOnlyWhenTheValueChanges) {
    RRef<ROrvaneCalendar> calendar = Calendar("setters", 1, "calendar", "VEVENT");
    // A row changed behind the object's back shows whether a setter wrote.
    CalendarRecord changed;
    ASSERT_EQ(R_OK, world.store->FindCalendar(account->GetGuid(), "setters", &changed));
    changed.description = "written elsewhere";
    ASSERT_EQ(R_OK, world.store->UpdateCalendar(account->GetGuid(), &changed));
    calendar->SetDisplayName("setters");  // unchanged: nothing written
    calendar->SetCalendarOrder(1);
    CalendarRecord stored;
    ASSERT_EQ(R_OK, world.store->FindCalendar(account->GetGuid(), "setters", &stored));
    EXPECT_EQ(stored.description, "written elsewhere");
    calendar->SetDisplayName("Renamed");
    ASSERT_EQ(R_OK, world.store->FindCalendar(account->GetGuid(), "setters", &stored));
    EXPECT_EQ(stored.displayName, "Renamed");
    EXPECT_EQ(stored.description, "");
}
