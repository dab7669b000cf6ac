// The calendar home's listing: the request, the walk of each response and the rules that
// decide which properties a calendar keeps.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <string>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/caldav/RCalDAVCalendarHome.h"
#include "foundation/memory/RRef.h"
#include "tests/platform/http/LoopbackPeer.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerRequest;

namespace {

// A new calendar home, opened on the peer's port.
struct Home : RRef<RCalDAVCalendarHome> {
    explicit Home(int port = 1) : RRef(MakeRef<RCalDAVCalendarHome>()) {
        EXPECT_EQ(get()->Open("127.0.0.1", port, "/u/", false, "user", "pw"), 0);
    }
};

std::string Listing(const std::string& responses) {
    return "<?xml version=\"1.0\"?>\n<D:multistatus xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
           "xmlns:CS=\"http://calendarserver.org/ns/\" xmlns:A=\"http://apple.com/ns/ical/\">" +
           responses + "</D:multistatus>";
}

std::string CalendarResponse(const std::string& href, const std::string& name, const std::string& extra = "") {
    return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop><D:displayname>" + name +
           "</D:displayname><D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"
           "<A:calendar-color>#FF0000FF</A:calendar-color><A:calendar-order>3x</A:calendar-order>"
           "<C:supported-calendar-component-set><C:comp name=\"VEVENT\"/><C:comp name=\"VTODO\"/></C:supported-calendar-component-set>"
           "<D:owner><D:href>/principals/u/</D:href></D:owner>" +
           extra + "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
}

std::string Text(RCalDAVCalendar* c, RResult (RCalDAVCalendar::*getter)(CStringA*)) {
    CStringA value;
    (c->*getter)(&value);
    return value.Str();
}

}  // namespace

TEST(CalendarHome, ListsCalendarsWithTheirProperties) {
    LoopbackPeer peer([](const PeerRequest&) {
        return HttpReply(207, "Multi-Status",
                         Listing(CalendarResponse("/u/work/", "Work", "<CS:getctag>cs-tag</CS:getctag>") +
                                 CalendarResponse("/u/home/", "Home", "<D:getctag>dav-tag</D:getctag>")));
    });
    Home home(peer.Port());
    home->SetUserAgent("Orvane/9");
    home->SetBearerToken("tok");
    ASSERT_EQ(home->LoadCalendars(), 0);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "PROPFIND");
    EXPECT_EQ(requests[0].target, "/u/");
    EXPECT_EQ(requests[0].Header("Depth"), "1");
    EXPECT_EQ(requests[0].body, kCalendarHomeBody);

    ASSERT_EQ(home->GetCalendarCount(), 2);
    RCalDAVCalendar* work = home->GetAt(0);
    EXPECT_EQ(home->FindByHref("/u/work/"), work);
    EXPECT_EQ(home->GetAt(2), nullptr);
    EXPECT_EQ(home->GetAt(-1), nullptr);
    EXPECT_EQ(Text(work, &RCalDAVCalendar::GetDisplayName), "Work");
    EXPECT_EQ(Text(work, &RCalDAVCalendar::GetResourceTypes), "collection, calendar");
    EXPECT_EQ(Text(work, &RCalDAVCalendar::GetColor), "#FF0000FF");
    EXPECT_EQ(Text(work, &RCalDAVCalendar::GetOwner), "/principals/u/");
    EXPECT_EQ(Text(work, &RCalDAVCalendar::GetSupportedComponents),
              "<C:comp name=\"VEVENT\"/>, <C:comp name=\"VTODO\"/>");
    int order = 0;
    work->GetOrder(&order);
    EXPECT_EQ(order, 3);
    EXPECT_EQ(work->GetStatus(), 200);
    EXPECT_TRUE(Text(work, &RCalDAVCalendar::GetCtag).empty());  // the calendar-server getctag is not read here
    EXPECT_FALSE(work->IsChanged());
    EXPECT_EQ(Text(home->GetAt(1), &RCalDAVCalendar::GetCtag), "dav-tag");
    EXPECT_EQ(work->GetUserAgent(), "Orvane/9");
    RWebDAVConnection* connection = nullptr;
    work->GetConnection(&connection);
    CStringA token, user, path;
    int port = 0;
    connection->GetBearerToken(&token);
    connection->GetCredentials(&user, nullptr);
    connection->GetServer(nullptr, &port, &path, nullptr);
    connection->Release();
    EXPECT_EQ(token, "tok");
    EXPECT_EQ(user, "user");
    EXPECT_EQ(port, peer.Port());
    EXPECT_EQ(path, "/u/work/");
}

TEST(CalendarHome, AFailedPropstatAppliesUntilASuccessfulOneDecides) {
    Home home;
    const std::string body = Listing(
        "<D:response><D:href>/u/a/</D:href>"
        "<D:propstat><D:prop><D:displayname/><A:calendar-order/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>"
        "</D:response>");
    ASSERT_EQ(home->ParseCalendars(body.c_str()), 0);
    RCalDAVCalendar* a = home->FindByHref("/u/a/");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetStatus(), 404);
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "Real")).c_str()), 0);
    EXPECT_EQ(Text(a, &RCalDAVCalendar::GetDisplayName), "Real");
    EXPECT_EQ(a->GetStatus(), 200);

    // A later listing's values replace a listed calendar's (a rename on the server arrives) without
    // appending its lists twice; within one listing the first answer for an href holds; new hrefs
    // add calendars.
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "Renamed") + CalendarResponse("/u/b/", "B") +
                                           CalendarResponse("/u/b/", "B again")).c_str()),
              0);
    EXPECT_EQ(Text(a, &RCalDAVCalendar::GetDisplayName), "Renamed");
    EXPECT_EQ(Text(a, &RCalDAVCalendar::GetResourceTypes), "collection, calendar");
    EXPECT_EQ(home->GetCalendarCount(), 2);
    EXPECT_EQ(Text(home->GetAt(1), &RCalDAVCalendar::GetDisplayName), "B");
}

TEST(CalendarHome, OnlyTheResponseHrefNamesACalendar) {
    Home home;
    const std::string body = Listing(
        "<D:response><D:href>/u/sub/</D:href><D:propstat><D:prop>"
        "<CS:source><D:href>webcal://feeds.example.org/f.ics</D:href></CS:source>"
        "<C:schedule-default-calendar-URL><D:href>/u/default/</D:href></C:schedule-default-calendar-URL>"
        "<C:calendar-free-busy-set><D:href>/u/fb/</D:href></C:calendar-free-busy-set>"
        "<D:displayname>Feed</D:displayname></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
        "<D:response><D:propstat><D:prop><D:displayname>Orphan</D:displayname></D:prop></D:propstat></D:response>");
    ASSERT_EQ(home->ParseCalendars(body.c_str()), 0);
    ASSERT_EQ(home->GetCalendarCount(), 1);
    RCalDAVCalendar* sub = home->GetAt(0);
    EXPECT_EQ(Text(sub, &RCalDAVCalendar::GetSourceUrl), "webcal://feeds.example.org/f.ics");
    EXPECT_EQ(Text(sub, &RCalDAVCalendar::GetDisplayName), "Feed");
}

TEST(CalendarHome, AnEmptyHrefNamesNoCalendar) {
    Home home;
    const std::string body = Listing(CalendarResponse("", "Nameless") + CalendarResponse("/u/a/", "A"));
    for (int listing = 0; listing < 3; ++listing) {
        ASSERT_EQ(home->ParseCalendars(body.c_str()), 0);
    }
    ASSERT_EQ(home->GetCalendarCount(), 1);
    EXPECT_EQ(Text(home->GetAt(0), &RCalDAVCalendar::GetDisplayName), "A");
}

TEST(CalendarHome, ABodyThatIsNotXmlLeavesTheListAsItWas) {
    Home home;
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "A")).c_str()), 0);
    EXPECT_EQ(home->ParseCalendars("<html><head><title>Login</title></head><body><p>Sign in</body></html>"), R_E_BAD_FORMAT);
    EXPECT_EQ(home->ParseCalendars(""), 0);
    EXPECT_EQ(home->GetCalendarCount(), 1);
}

TEST(CalendarHome, WithoutAConnectionNothingIsListed) {
    auto* home = new RCalDAVCalendarHome();
    EXPECT_EQ(home->LoadCalendars(), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "A")).c_str()), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(home->GetCalendarCount(), 0);
    home->Release();
}

TEST(CalendarHome, TheLastListingNamesOnlyTheCalendarsItHeld) {
    Home home;
    std::vector<RCalDAVCalendar*> listed;
    EXPECT_FALSE(home->GetLastListing(&listed));  // nothing read yet
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "A") + CalendarResponse("/u/b/", "B")).c_str()), 0);
    ASSERT_TRUE(home->GetLastListing(&listed));
    EXPECT_EQ(listed.size(), 2u);
    for (RCalDAVCalendar* calendar : listed) calendar->Release();
    // /u/a/ was removed on the server: the kept list still has it, the last listing does not.
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/b/", "B")).c_str()), 0);
    EXPECT_EQ(home->GetCalendarCount(), 2);
    ASSERT_TRUE(home->GetLastListing(&listed));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(Text(listed[0], &RCalDAVCalendar::GetDisplayName), "B");
    for (RCalDAVCalendar* calendar : listed) calendar->Release();
    // A body that is not a listing leaves the last listing as it was.
    EXPECT_NE(home->ParseCalendars("<html>login</html"), 0);
    ASSERT_TRUE(home->GetLastListing(&listed));
    EXPECT_EQ(listed.size(), 1u);
    for (RCalDAVCalendar* calendar : listed) calendar->Release();
}

TEST(CalendarHome, AWellFormedPageThatIsNoMultistatusIsNoListing) {
    Home home;
    ASSERT_EQ(home->ParseCalendars(Listing(CalendarResponse("/u/a/", "A")).c_str()), 0);
    // A login page in XHTML parses as XML but names no calendars: read as a listing it would
    // make every stored calendar look deleted.
    EXPECT_EQ(home->ParseCalendars("<html><body><form>Log in</form></body></html>"), R_E_BAD_FORMAT);
    std::vector<RCalDAVCalendar*> listed;
    ASSERT_TRUE(home->GetLastListing(&listed));
    EXPECT_EQ(listed.size(), 1u);
    for (RCalDAVCalendar* calendar : listed) calendar->Release();
}
