// The client against a real Radicale on 127.0.0.1: discovery through the well-known redirect,
// the calendar list, a 120-item sync, the PUT preconditions, MOVE, DELETE and a wrong password.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <fstream>

#include "dav/caldav/RCalDAVAccount.h"
#include "platform/dns/SrvLookup.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "tests/dav/integration/ServerSuite.h"
#include "tests/support/TempFolder.h"

using namespace orvane::test;

namespace {

constexpr char kRadicale[] = "/usr/bin/radicale";

struct RadicaleServer {
    static constexpr char kName[] = "radicale";
    static bool Available() { return ServerAvailable(kRadicale); }
    static std::string Start(const TempFolder& folder, ServerProcess& server) {
        const std::string config = WriteRadicaleConfig(folder.Str());
        std::ofstream(folder.Str() + "/users") << "alice:secret\nbob@example.test:secret\n";
        return server.Start({kRadicale, "-C", config}, folder.Str() + "/log", std::chrono::seconds(20));
    }
};

class Radicale : public ServerSuite<RadicaleServer> {
protected:
    // An account of alice, refreshed in full.
    static void Refreshed(RCalDAVAccount* a) {
        ASSERT_EQ(a->ConnectByUrl("alice", "secret", (Base() + "/").c_str()), 0);
        a->SetUserAgent("Orvane-IntegrationTest/1");
        ASSERT_EQ(a->Refresh(true), 0);
    }
};

}  // namespace

TEST_F(Radicale, DiscoversThePrincipalThroughTheWellKnownRedirectAndListsCalendars) {
    ASSERT_EQ(MakeCalendar(Port(), "alice", "secret", "/alice/work/", "Work"), 201);
    auto a = MakeRef<RCalDAVAccount>();
    Refreshed(a.get());
    EXPECT_TRUE(a->IsDiscovered());
    CStringA url, home;
    a->GetPrincipalUrl(&url);
    EXPECT_EQ(url, "/alice/");
    a->GetCalendarHomeSet(&home);
    EXPECT_EQ(home, "/alice/");
    RCalDAVCalendar* work = a->FindCalendar("/alice/work/");
    ASSERT_NE(work, nullptr);
    CStringA name, types;
    work->GetDisplayName(&name);
    work->GetResourceTypes(&types);
    EXPECT_EQ(name, "Work");
    EXPECT_GE(types.Find("calendar"), 0);
    EXPECT_EQ(work->GetStatus(), 200);
    EXPECT_EQ(work->GetUserAgent(), "Orvane-IntegrationTest/1");
}

TEST_F(Radicale, ConnectsByMailAddressThroughAServiceRecord) {
    const int port = Port();
    platform::dns::SetSrvResolver([port](const std::string& name, platform::dns::SrvRecord& out) -> DWORD {
        if (name != "_caldav._tcp.example.test") return platform::dns::DNS_ERROR_RCODE_NAME_ERROR;
        out = {"127.0.0.1", static_cast<std::uint16_t>(port)};
        return 0;
    });
    auto a = MakeRef<RCalDAVAccount>();
    const RResult connected = a->DiscoverBySrv("bob@example.test", "secret");
    platform::dns::SetSrvResolver({});
    ASSERT_EQ(connected, 0);
    ASSERT_EQ(MakeCalendar(port, "bob@example.test", "secret", "/bob@example.test/personal/", "Personal"), 201);
    ASSERT_EQ(a->Refresh(true), 0);
    CStringA url;
    a->GetPrincipalUrl(&url);
    EXPECT_EQ(url, "/bob%40example.test/");  // the server escapes the at sign in its hrefs
    EXPECT_NE(a->FindCalendar("/bob%40example.test/personal/"), nullptr);
}

TEST_F(Radicale, SyncsOneHundredTwentyItemsInThreeReports) {
    ASSERT_EQ(MakeCalendar(Port(), "alice", "secret", "/alice/sync/", "Sync"), 201);
    auto a = MakeRef<RCalDAVAccount>();
    Refreshed(a.get());
    RCalDAVCalendar* calendar = a->FindCalendar("/alice/sync/");
    ASSERT_NE(calendar, nullptr);
    for (int i = 0; i < 120; ++i) {
        const std::string uid = "sync-" + std::to_string(i);
        ASSERT_EQ(calendar->PutResource(EventText(uid, "Item " + std::to_string(i)).c_str(), (uid + ".ics").c_str(), nullptr, nullptr), 0);
    }
    ASSERT_EQ(calendar->FetchCtag(), 0);
    CStringA ctag;
    calendar->GetCtag(&ctag);
    EXPECT_FALSE(ctag.IsEmpty());
    EXPECT_TRUE(calendar->IsChanged());

    TempFolder logs("radicale-log");
    RequestLog log(logs.Str() + "/log.txt");
    auto lock = calendar->Lock();
    ASSERT_EQ(calendar->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    calendar->GetEtagResponse(&listing);
    ASSERT_NE(listing, nullptr);
    int items = 0;
    for (const auto& record : listing->Records()) {
        if (record.href.Find(".ics") < 0) continue;
        ++items;
        EXPECT_EQ(record.status, 200);
        EXPECT_FALSE(record.etag.IsEmpty());
        calendar->AddMultigetHref(record.href);
    }
    EXPECT_EQ(items, 120);
    ASSERT_EQ(calendar->FetchMultiget(), 0);
    RXmlMultigetResponse* bodies = nullptr;
    calendar->GetMultigetResponse(&bodies);
    ASSERT_EQ(bodies->GetCount(), 120);
    for (const auto& record : bodies->Records()) {
        EXPECT_EQ(record.data.Find("BEGIN:VCALENDAR"), 0);
        EXPECT_GE(record.data.Find("UID:sync-"), 0);
    }
    EXPECT_EQ(log.Count("REPORT"), 3);
    EXPECT_EQ(log.Count("PROPFIND"), 1);

    // Unchanged collection: the same tag leaves the flag clear.
    calendar->ClearChanged();
    ASSERT_EQ(calendar->FetchCtag(), 0);
    EXPECT_FALSE(calendar->IsChanged());
}

TEST_F(Radicale, PutPreconditionsMoveAndDelete) {
    ASSERT_EQ(MakeCalendar(Port(), "alice", "secret", "/alice/edit/", "Edit"), 201);
    auto a = MakeRef<RCalDAVAccount>();
    Refreshed(a.get());
    RCalDAVCalendar* calendar = a->FindCalendar("/alice/edit/");
    ASSERT_NE(calendar, nullptr);
    ASSERT_EQ(calendar->PutResource(EventText("e1", "First").c_str(), "e1.ics", nullptr, nullptr), 0);
    EXPECT_EQ(calendar->PutResource(EventText("e1", "Again").c_str(), "e1.ics", nullptr, nullptr), 412);
    EXPECT_EQ(calendar->PutResource(EventText("e1", "Stale").c_str(), "e1.ics", nullptr, "\"not-the-etag\""), 412);
    // The same UID under another name conflicts; the recovery must leave e1 alone.
    EXPECT_EQ(calendar->PutResource(EventText("e1", "Twin").c_str(), "twin.ics", nullptr, nullptr), 409);

    ASSERT_EQ(calendar->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    calendar->GetEtagResponse(&listing);
    CStringA etag;
    int found = 0;
    for (const auto& record : listing->Records()) {
        if (record.href == "/alice/edit/e1.ics") etag = record.etag;
        if (record.href.Find(".ics") >= 0) ++found;
    }
    EXPECT_EQ(found, 1);
    ASSERT_FALSE(etag.IsEmpty());
    EXPECT_EQ(calendar->PutResource(EventText("e1", "Edited").c_str(), "e1.ics", nullptr, etag), 0);

    EXPECT_EQ(calendar->MoveResource("e1.ics", "/alice/edit/e2.ics"), 0);
    RWebDAVConnection* c = nullptr;
    calendar->GetConnection(&c);
    EXPECT_EQ(c->Get(nullptr, "e1.ics"), 404);
    EXPECT_EQ(c->Get(nullptr, "e2.ics"), 200);
    RHeapBuffer* body = c->ReadResponse();
    ASSERT_NE(body, nullptr);
    EXPECT_NE(std::string(body->data).find("SUMMARY:Edited"), std::string::npos);
    c->Release();
    EXPECT_EQ(calendar->DeleteResource("e2.ics"), 0);
    EXPECT_EQ(calendar->DeleteResource("e2.ics"), 404);
}

TEST_F(Radicale, AWrongPasswordIsReportedAs401) {
    auto a = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(a->ConnectByUrl("alice", "wrong", (Base() + "/").c_str()), 0);
    EXPECT_EQ(a->Refresh(true), 401);
    EXPECT_EQ(a->GetCalendarCount(), 0);
}
