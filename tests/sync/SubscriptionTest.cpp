// Subscribed calendars against a feed server of the tests' own: what is requested, how often,
// and what is stored.
#include "tests/sync/FeedServer.h"
#include "tests/sync/SyncTestSupport.h"

#include "ical/timezone/ZoneConversions.h"
#include "platform/messages/Timers.h"
#include "sync/SyncClock.h"

using namespace orvane::test;

namespace {

std::string Feed(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Feeds//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;VALUE=DATE:20241225\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

void ClockAt(int day) {
    SetSyncClock([day](SYSTEMTIME* out) {
        *out = SYSTEMTIME{};
        out->wYear = 2024;
        out->wMonth = 3;
        out->wDay = static_cast<WORD>(day);
        out->wHour = 9;
    });
}

class Subscriptions : public SyncStoreFixture {
protected:
    void SetUp() override {
        SyncStoreFixture::SetUp();
        account = world.manager->CreateSubscriptionsAccount("Subscriptions");
        ASSERT_TRUE(account);
        ClockAt(1);
    }
    void TearDown() override {
        SetSyncClock({});
        account.reset();
        SyncStoreFixture::TearDown();
    }

    FeedServer server;
    RRef<ROrvaneAccount> account;
};

}  // namespace

TEST_F(Subscriptions, AWebcalFeedDownloadsOverHttpAndAgainOnlyAfterAWeek) {
    server.Serve("/feeds/Holidays.ICS", {200, Feed("xmas", "Christmas")});
    RRef<ROrvaneCalendar> calendar =
        account->AddSubscribedCalendar(server.Url("webcal", "/feeds/Holidays.ICS").c_str(), "Holidays");
    ASSERT_TRUE(calendar);
    EXPECT_TRUE(calendar->IsReadOnly());
    ASSERT_EQ(R_OK, calendar->RefreshSubscription(false));
    auto rows = world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].serverFileName, "Holidays.ICS");
    EXPECT_EQ(rows[0].summary, "Christmas");
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_FALSE(server.Requests()[0].authorized);
    EXPECT_EQ(server.Requests()[0].userAgent.substr(0, 7), "Orvane/");

    ClockAt(7);  // six days later: not yet
    ASSERT_EQ(R_OK, calendar->RefreshSubscription(false));
    EXPECT_EQ(1u, server.Requests().size());
    server.Serve("/feeds/Holidays.ICS", {200, Feed("xmas", "Christmas Day")});
    ClockAt(8);
    ASSERT_EQ(R_OK, calendar->RefreshSubscription(false));
    EXPECT_EQ(2u, server.Requests().size());
    rows = world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].summary, "Christmas Day");
}

TEST_F(Subscriptions, AFeedWithoutIcsInItsPathIsRequestedAsWrittenAndStoredUnderAName) {
    server.Serve("/export?id=42&fmt=ical", {200, Feed("e1", "Exported")});
    RRef<ROrvaneCalendar> calendar =
        account->AddSubscribedCalendar(server.Url("http", "/export?id=42&fmt=ical").c_str(), "Export");
    ASSERT_EQ(R_OK, calendar->RefreshSubscription(false));
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(server.Requests()[0].target, "/export?id=42&fmt=ical");
    auto rows = world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].serverFileName, "export.ics");
}

TEST_F(Subscriptions, AMissingFeedReturnsItsStatusAndLeavesTheCalendarAsItWas) {
    RRef<ROrvaneCalendar> calendar = account->AddSubscribedCalendar(server.Url("http", "/gone.ics").c_str(), "Gone");
    EXPECT_EQ(404, calendar->RefreshSubscription(false));
    EXPECT_EQ(calendar->GetRecord().subscriptionLastRefreshed, "");
    EXPECT_EQ(0u, world.Items(*calendar).size());
    // A page that is no calendar stores nothing either.
    server.Serve("/gone.ics", {200, "<html><body>Log in first</body></html>"});
    EXPECT_EQ(R_E_BAD_FORMAT, calendar->RefreshSubscription(false));
    EXPECT_EQ(0u, world.Items(*calendar).size());
    EXPECT_EQ(calendar->GetRecord().subscriptionLastRefreshed, "");
}

TEST_F(Subscriptions, ADeadFeedDoesNotStopTheOthersAndItsErrorIsTheAccountsResult) {
    server.Serve("/alive.ics", {200, Feed("a1", "Alive")});
    RRef<ROrvaneCalendar> dead = account->AddSubscribedCalendar(server.Url("http", "/dead.ics").c_str(), "Dead");
    RRef<ROrvaneCalendar> alive = account->AddSubscribedCalendar(server.Url("http", "/alive.ics").c_str(), "Alive");
    RecordingTarget target;
    EXPECT_EQ(404, RefreshAndWait(*account, target.Id()));
    EXPECT_EQ(1u, world.Items(*alive).size());
    EXPECT_EQ(1, target.Count(platform::messages::WM_APP_DATA_CHANGED));
}

TEST_F(Subscriptions, ASuccessfulRefreshArmsTheDailyTimer) {
    server.Serve("/daily.ics", {200, Feed("d1", "Daily")});
    account->AddSubscribedCalendar(server.Url("http", "/daily.ics").c_str(), "Daily");
    RecordingTarget target;
    EXPECT_EQ(R_OK, RefreshAndWait(*account, target.Id()));
    const auto period = platform::messages::ArmedTimerPeriod(target.Id(), account->GetGuid().Str());
    ASSERT_TRUE(period.has_value());
    EXPECT_EQ(*period, 1440LL * 60000);
}

TEST_F(Subscriptions, AFeedOverSixtyFourMebibytesIsRefusedAndStoresNothing) {
    std::string huge = Feed("big", "Big");
    huge.insert(huge.find("END:VCALENDAR"), std::string(64 * 1024 * 1024, ' '));
    server.Serve("/huge.ics", {200, huge});
    RRef<ROrvaneCalendar> calendar = account->AddSubscribedCalendar(server.Url("http", "/huge.ics").c_str(), "Huge");
    EXPECT_NE(R_OK, calendar->RefreshSubscription(false));
    EXPECT_EQ(0u, world.Items(*calendar).size());
    EXPECT_EQ(calendar->GetRecord().subscriptionLastRefreshed, "");
}

TEST_F(Subscriptions, AnEventInAZoneThatOnlyItsFeedDefinesConvertsByThatDefinition) {
    // No alias, tz name or display name stands for this TZID: only the VTIMEZONE sent with it.
    const std::string feed =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Feeds//EN\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:custom_America/New_York\r\n"
        "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
        "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
        "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\nUID:custom\r\nDTSTAMP:20240101T000000Z\r\n"
        "DTSTART;TZID=custom_America/New_York:20240705T100000\r\n"
        "DTEND;TZID=custom_America/New_York:20240705T110000\r\nSUMMARY:Own zone\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    server.Serve("/feeds/custom.ics", {200, feed});
    RRef<ROrvaneCalendar> calendar =
        account->AddSubscribedCalendar(server.Url("http", "/feeds/custom.ics").c_str(), "Custom");
    ASSERT_TRUE(calendar);
    ASSERT_EQ(R_OK, calendar->RefreshSubscription(false));
    const auto rows = world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    auto start = MakeRef<RIcsDateTime>();
    start->SetFromDbText(rows[0].dtStart, rows[0].dtStartTZ);
    SYSTEMTIME utc{};
    ASSERT_EQ(R_OK, ItemTimeToUtc(&utc, start.get())) << rows[0].dtStartTZ.GetString();
    EXPECT_EQ(utc.wDay, 5);
    EXPECT_EQ(utc.wHour, 14) << "10:00 in summer time, four hours behind UTC";
}
