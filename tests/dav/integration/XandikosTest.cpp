// The client against a real Xandikos (through the WSGI fixture) on 127.0.0.1: discovery
// through the 302 well-known redirect, listings whose status comes before the properties, a
// sync, the 207 answer to a UID conflict and the refused MOVE.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "dav/caldav/RCalDAVAccount.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "tests/dav/integration/ServerSuite.h"
#include "tests/support/TempFolder.h"

using namespace orvane::test;

namespace {

constexpr char kPython[] = "/usr/bin/python3";

struct XandikosServer {
    static constexpr char kName[] = "xandikos";
    static bool Available() {
        static const bool available =
            ServerAvailable(kPython) && std::system("/usr/bin/python3 -c 'import xandikos' 2>/dev/null") == 0;
        return available;
    }
    static std::string Start(const TempFolder& folder, ServerProcess& server) {
        return server.Start({kPython, FixtureFolder() + "/xandikos_server.py", folder.Str() + "/store", "alice", "secret"},
                            folder.Str() + "/log", std::chrono::seconds(30));
    }
};

using Xandikos = ServerSuite<XandikosServer>;

constexpr char kCalendarHref[] = "/alice/calendars/calendar/";

}  // namespace

TEST_F(Xandikos, DiscoversThroughTheRedirectAndListsTheDefaultCalendar) {
    auto a = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(a->ConnectByUrl("alice", "secret", (Base() + "/").c_str()), 0);
    ASSERT_EQ(a->Refresh(true), 0);
    EXPECT_TRUE(a->IsDiscovered());
    CStringA url, home, inbox;
    a->GetPrincipalUrl(&url);
    a->GetCalendarHomeSet(&home);
    a->GetScheduleInboxUrl(&inbox);
    EXPECT_EQ(url, "/alice/");
    EXPECT_EQ(home, "/alice/calendars/");
    EXPECT_EQ(inbox, "/alice/inbox");
    RCalDAVCalendar* calendar = a->FindCalendar(kCalendarHref);
    ASSERT_NE(calendar, nullptr);
    CStringA types, components;
    calendar->GetResourceTypes(&types);
    calendar->GetSupportedComponents(&components);
    EXPECT_GE(types.Find("calendar"), 0);
    EXPECT_GE(components.Find("VEVENT"), 0);
    EXPECT_EQ(calendar->GetStatus(), 200);
}

TEST_F(Xandikos, SyncsInBatchesAndReportsConflictsAndRefusedMoves) {
    auto a = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(a->ConnectByUrl("alice", "secret", (Base() + "/").c_str()), 0);
    ASSERT_EQ(a->Refresh(true), 0);
    RCalDAVCalendar* calendar = a->FindCalendar(kCalendarHref);
    ASSERT_NE(calendar, nullptr);
    for (int i = 0; i < 60; ++i) {
        const std::string uid = "x-" + std::to_string(i);
        ASSERT_EQ(calendar->PutResource(EventText(uid, "X").c_str(), (uid + ".ics").c_str(), nullptr, nullptr), 0);
    }
    TempFolder logs("xandikos-log");
    RequestLog log(logs.Str() + "/log.txt");
    auto lock = calendar->Lock();
    ASSERT_EQ(calendar->FetchCtag(), 0);
    ASSERT_EQ(calendar->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    calendar->GetEtagResponse(&listing);
    ASSERT_NE(listing, nullptr);
    int items = 0;
    for (const auto& record : listing->Records()) {
        if (record.href.Find(".ics") < 0) continue;
        ++items;
        EXPECT_EQ(record.status, 200);
        EXPECT_EQ(record.contentType, "text/calendar");
        calendar->AddMultigetHref(record.href);
    }
    EXPECT_EQ(items, 60);
    ASSERT_EQ(calendar->FetchMultiget(), 0);
    RXmlMultigetResponse* bodies = nullptr;
    calendar->GetMultigetResponse(&bodies);
    EXPECT_EQ(bodies->GetCount(), 60);
    EXPECT_EQ(log.Count("REPORT"), 2);

    // The same UID under another name: answered 207 with the failure inside.
    EXPECT_EQ(calendar->PutResource(EventText("x-1", "Twin").c_str(), "twin.ics", nullptr, nullptr), 412);
    EXPECT_EQ(calendar->MoveResource("x-1.ics", "/alice/calendars/calendar/moved.ics"), 405);
}
