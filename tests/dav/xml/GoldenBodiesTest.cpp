// The parsers on answers captured from Radicale and Xandikos, each in the servers' compact
// form and pretty-printed: both forms must read the same.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "dav/caldav/RCalDAVAccount.h"
#include "dav/caldav/RCalDAVCalendar.h"
#include "dav/caldav/RCalDAVCalendarHome.h"
#include "dav/xml/RXmlResponse.h"
#include "foundation/memory/RRef.h"
#include "tests/dav/integration/ServerProcess.h"


namespace {

std::string Golden(const std::string& server, const std::string& kind, bool pretty) {
    std::ifstream in(orvane::test::FixtureFolder() + "/golden/" + server + "-" + kind + (pretty ? "-pretty" : "") + ".xml",
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Case {
    std::string server;
    std::string calendar;  // the calendar's href
    std::string home;
};

class GoldenBodies : public ::testing::TestWithParam<std::tuple<Case, bool>> {
protected:
    const Case& server() const { return std::get<0>(GetParam()); }
    bool pretty() const { return std::get<1>(GetParam()); }
    std::string Body(const std::string& kind) const {
        std::string body = Golden(server().server, kind, pretty());
        EXPECT_FALSE(body.empty()) << kind;
        return body;
    }
};

}  // namespace

TEST_P(GoldenBodies, EtagListing) {
    auto r = MakeRef<RXmlEtagResponse>();
    ASSERT_EQ(r->Parse(Body("etags").c_str()), 0);
    int items = 0;
    for (const auto& record : r->Records()) {
        if (record.href.Find(".ics") < 0) continue;
        ++items;
        EXPECT_EQ(record.href.Find(server().calendar.c_str()), 0);
        EXPECT_EQ(record.status, 200);
        EXPECT_EQ(record.etag.Find('"'), 0);
        EXPECT_TRUE(record.scheduleTag.IsEmpty());
    }
    EXPECT_EQ(items, 2);
}

TEST_P(GoldenBodies, Multiget) {
    auto r = MakeRef<RXmlMultigetResponse>();
    ASSERT_EQ(r->Parse(Body("multiget").c_str()), 0);
    ASSERT_EQ(r->GetCount(), 2);
    for (const auto& record : r->Records()) {
        EXPECT_EQ(record.data.Find("BEGIN:VCALENDAR"), 0);
        EXPECT_EQ(record.data.Right(13), "END:VCALENDAR");
        const std::string uid = "UID:" + record.href.Mid(record.href.ReverseFind('/') + 1, 2).Str();
        EXPECT_GE(record.data.Find(uid.c_str()), 0) << uid;
        EXPECT_FALSE(record.etag.IsEmpty());
    }
}

TEST_P(GoldenBodies, CollectionTag) {
    auto c = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(c->ParseCtagResponse(Body("ctag").c_str()), 0);
    CStringA ctag, token;
    c->GetCtag(&ctag);
    c->GetSyncToken(&token);
    EXPECT_FALSE(ctag.IsEmpty());
    EXPECT_FALSE(token.IsEmpty());
    EXPECT_TRUE(c->IsChanged());
}

TEST_P(GoldenBodies, CalendarHome) {
    auto home = MakeRef<RCalDAVCalendarHome>();
    home->Open("127.0.0.1", 1, server().home.c_str(), false, "alice", "secret");
    ASSERT_EQ(home->ParseCalendars(Body("home").c_str()), 0);
    RCalDAVCalendar* calendar = home->FindByHref(server().calendar.c_str());
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->GetStatus(), 200);
    CStringA types, components, name;
    calendar->GetResourceTypes(&types);
    calendar->GetSupportedComponents(&components);
    calendar->GetDisplayName(&name);
    EXPECT_GE(types.Find("calendar"), 0);
    EXPECT_GE(types.Find("collection"), 0);
    EXPECT_GE(components.Find("name=\"VEVENT\""), 0);
    EXPECT_FALSE(name.IsEmpty());
    for (int i = 0; i < home->GetCalendarCount(); ++i) {
        CStringA href;
        home->GetAt(i)->GetHref(&href);
        EXPECT_EQ(href.Find(server().home.c_str()), 0) << href.Str();
    }
}

TEST_P(GoldenBodies, PrincipalProperties) {
    auto a = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(a->ParseProperties(Body("principal").c_str()), 0);
    CStringA home, url;
    a->GetCalendarHomeSet(&home);
    a->GetPrincipalUrl(&url);
    EXPECT_EQ(home, server().home);
    EXPECT_EQ(url, "/alice/");
}

INSTANTIATE_TEST_SUITE_P(Servers, GoldenBodies,
                         ::testing::Combine(::testing::Values(Case{"radicale", "/alice/work/", "/alice/"},
                                                              Case{"xandikos", "/alice/calendars/calendar/", "/alice/calendars/"}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::get<0>(info.param).server + (std::get<1>(info.param) ? "Pretty" : "Compact");
                         });
