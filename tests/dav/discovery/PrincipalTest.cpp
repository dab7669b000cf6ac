// Principal discovery and the account refresh against scripted loopback peers.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/caldav/RCalDAVAccount.h"
#include "foundation/memory/RRef.h"
#include "platform/dns/SrvLookup.h"
#include "tests/dav/http/DavAnswerText.h"
#include "tests/platform/http/LoopbackPeer.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::Multistatus;
using orvane::test::Path;
using orvane::test::PeerReply;
using orvane::test::PeerRequest;

namespace {

struct ResolverScope {
    explicit ResolverScope(platform::dns::SrvResolver r) { platform::dns::SetSrvResolver(std::move(r)); }
    ~ResolverScope() { platform::dns::SetSrvResolver({}); }
};

}  // namespace

TEST(Principal, DiscoverBySrvPrefersTheSecureRecord) {
    ResolverScope scope([](const std::string& name, platform::dns::SrvRecord& out) -> DWORD {
        if (name == "_caldavs._tcp.secure.example") return out = {"cal.secure.example", 8443}, 0;
        if (name == "_caldav._tcp.plain.example") return out = {"cal.plain.example", 8008}, 0;
        if (name.find("broken.example") != std::string::npos) return platform::dns::DNS_ERROR_RCODE_SERVER_FAILURE;
        return platform::dns::DNS_ERROR_RCODE_NAME_ERROR;
    });
    auto check = [](const char* address, const char* host, int port, bool secure) {
        auto a = MakeRef<RCalDAVAccount>();
        ASSERT_EQ(a->DiscoverBySrv(address, "pw"), 0) << address;
        RWebDAVConnection* c = nullptr;
        a->GetConnection(&c);
        ASSERT_NE(c, nullptr);
        CStringA h, user;
        int p = 0;
        bool s = !secure;
        c->GetServer(&h, &p, nullptr, &s);
        c->GetCredentials(&user, nullptr);
        EXPECT_EQ(h, host);
        EXPECT_EQ(p, port);
        EXPECT_EQ(s, secure);
        EXPECT_EQ(user, address);
        EXPECT_EQ(Path(a->GetWellKnownConnection()), "/.well-known/caldav");
    };
    check("u@secure.example", "cal.secure.example", 8443, true);
    check("u@plain.example", "cal.plain.example", 8008, false);
    check("u@nosrv.example", "nosrv.example", 443, true);

    auto a = MakeRef<RCalDAVAccount>();
    EXPECT_EQ(a->DiscoverBySrv("no-at-sign", "pw"), 9003);
    RWebDAVConnection* c = nullptr;
    a->GetConnection(&c);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(a->DiscoverBySrv("u@broken.example", "pw"), 9002);
}

TEST(Principal, WellKnownDiscoveryTriesFourPathsAndTakesCurrentUserPrincipal) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.target == "/.well-known/caldav/" || r.target == "/.well-known/caldav") return HttpReply(404, "Not Found");
        if (r.target == "/.well-known/") {
            // Answers, but names no principal: discovery moves on.
            return HttpReply(207, "Multi-Status", Multistatus("/.well-known/", "<D:resourcetype><D:collection/></D:resourcetype>"));
        }
        return HttpReply(207, "Multi-Status",
                         Multistatus("/", "<D:principal-URL><D:href>/other/</D:href></D:principal-URL>"
                                          "<D:current-user-principal><D:href>/alice/</D:href></D:current-user-principal>"));
    });
    auto a = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(a->Connect("127.0.0.1", "/principals/users/alice/", peer.Port(), false, "alice", "pw"), 0);
    EXPECT_FALSE(a->IsDiscovered());
    ASSERT_EQ(a->DiscoverPrincipal(), 0);
    EXPECT_TRUE(a->IsDiscovered());
    EXPECT_EQ(Path(a->GetWellKnownConnection()), "/");
    RWebDAVConnection* c = nullptr;
    a->GetConnection(&c);
    EXPECT_EQ(Path(c), "/alice/");
    bool secure = true;
    c->GetServer(nullptr, nullptr, nullptr, &secure);
    EXPECT_FALSE(secure);
    CStringA url;
    a->GetServerUrl(&url);
    EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(peer.Port()) + "/alice/");
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].target, "/.well-known/caldav");
    EXPECT_EQ(requests[1].target, "/.well-known/caldav/");
    EXPECT_EQ(requests[0].body, kDiscoveryBody);
    EXPECT_EQ(requests[0].Header("Depth"), "0");
}

TEST(Principal, AnEmptyPropertyNamesNoPrincipal) {
    auto a = MakeRef<RCalDAVAccount>();
    CStringA url = "/kept/";
    // current-user-principal unsupported (empty, in a 404 propstat): principal-URL stands.
    ASSERT_EQ(a->ParseDiscoveryResponse(
                  ("<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/</D:href>"
                   "<D:propstat><D:prop><D:principal-URL><D:href>/p/</D:href></D:principal-URL></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
                   "<D:propstat><D:prop><D:current-user-principal/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>"
                   "</D:response></D:multistatus>"),
                  url),
              0);
    EXPECT_EQ(url, "/p/");
    url = "/kept/";
    ASSERT_EQ(a->ParseDiscoveryResponse(Multistatus("/", "<D:resourcetype/>").c_str(), url), 0);
    EXPECT_EQ(url, "/kept/");
}

TEST(Principal, DiscoveryAnswersThatAreNotXmlAreErrors) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(200, "OK", "<html><body>Welcome<br></body></html>"); });
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/p/", peer.Port(), false, "u", "p");
    EXPECT_EQ(a->DiscoverPrincipal(), R_E_BAD_FORMAT);
    EXPECT_FALSE(a->IsDiscovered());
    EXPECT_EQ(a->ParseProperties("<html>"), R_E_BAD_FORMAT);
}

TEST(Principal, AnAbsoluteHomeSetIsReadOnThePrincipalsServer) {
    std::atomic<int> homeListings{0};
    LoopbackPeer peer([&](const PeerRequest& r) {
        if (r.target == "/principals/alice/") {
            return HttpReply(207, "Multi-Status",
                             Multistatus(r.target, "<D:displayname>Alice</D:displayname>"
                                                   "<C:calendar-home-set><D:href>https://elsewhere.example/home/alice/</D:href></C:calendar-home-set>"
                                                   "<C:calendar-user-address-set><D:href>mailto:a@x</D:href><D:href>/p/a</D:href></C:calendar-user-address-set>"
                                                   "<D:principal-URL><D:href>/principals/alice/</D:href></D:principal-URL>"
                                                   "<D:supported-report-set><D:supported-report><D:report><D:expand-property/></D:report></D:supported-report></D:supported-report-set>"));
        }
        if (r.target == "/home/alice/") {
            ++homeListings;
            return HttpReply(207, "Multi-Status", Multistatus("/home/alice/work/", "<D:displayname>Work</D:displayname>"));
        }
        return HttpReply(404, "Not Found");
    });
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/principals/alice/", peer.Port(), false, "alice", "pw");
    ASSERT_EQ(a->LoadProperties(), 0);
    EXPECT_EQ(a->GetDisplayName(), "Alice");
    EXPECT_EQ(a->GetCalendarUserAddressSet(), "mailto:a@x");
    EXPECT_EQ(a->GetSupportedReportSet().Find("<D:supported-report-set>"), 0);
    ASSERT_EQ(a->LoadCalendarHome(true), 0);
    CStringA home;
    a->GetCalendarHomeSet(&home);
    EXPECT_EQ(home, "/home/alice/");
    ASSERT_EQ(a->GetCalendarCount(), 1);
    EXPECT_NE(a->FindCalendar("/home/alice/work/"), nullptr);
    EXPECT_EQ(a->GetCalendarAt(0), a->FindCalendar("/home/alice/work/"));
    EXPECT_EQ(homeListings.load(), 1);
}

TEST(Principal, AnAbsolutePrincipalUrlSendsItsPath) {
    std::string base;
    LoopbackPeer peer([&](const PeerRequest& r) {
        return HttpReply(207, "Multi-Status", Multistatus(r.target, "<D:displayname>x</D:displayname>"));
    });
    base = "http://127.0.0.1:" + std::to_string(peer.Port());
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/start/", peer.Port(), false, "u", "p");
    ASSERT_EQ(a->ParseProperties(Multistatus("/start/", "<D:principal-URL><D:href>" + base + "/real/</D:href></D:principal-URL>").c_str()), 0);
    EXPECT_TRUE(a->ApplyPrincipalUrl());
    RWebDAVConnection* c = nullptr;
    a->GetConnection(&c);
    EXPECT_EQ(Path(c), "/real/");
    EXPECT_FALSE(a->ApplyPrincipalUrl());  // already there
    ASSERT_EQ(a->LoadProperties(), 0);
    EXPECT_EQ(peer.Requests().back().target, "/real/");

    a->ParseProperties(Multistatus("/real/", "<D:principal-URL><D:href>/moved/</D:href></D:principal-URL>").c_str());
    EXPECT_TRUE(a->ApplyPrincipalUrl());
    EXPECT_EQ(Path(c), "/moved/");
}

TEST(Principal, RepointingKeepsTheSchemeOfTheUrl) {
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/start/", 8080, false, "u", "p");
    a->ParseProperties(Multistatus("/start/", "<D:principal-URL><D:href>https://127.0.0.1:8443/p/</D:href></D:principal-URL>").c_str());
    ASSERT_TRUE(a->ApplyPrincipalUrl());
    RWebDAVConnection* c = nullptr;
    a->GetConnection(&c);
    CStringA path;
    int port = 0;
    bool secure = false;
    c->GetServer(nullptr, &port, &path, &secure);
    EXPECT_TRUE(secure);
    EXPECT_EQ(port, 8443);
    EXPECT_EQ(path, "/p/");
}

TEST(Principal, AHomePathThatMerelyContainsHttpStaysAPath) {
    LoopbackPeer peer([](const PeerRequest& r) { return HttpReply(207, "Multi-Status", Multistatus(r.target, "")); });
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/p/", peer.Port(), false, "u", "p");
    a->ParseProperties(Multistatus("/p/", "<C:calendar-home-set><D:href>/u/http-calendars/</D:href></C:calendar-home-set>").c_str());
    ASSERT_EQ(a->LoadCalendarHome(false), 0);
    EXPECT_EQ(peer.Requests().back().target, "/u/http-calendars/");
}

TEST(Account, RefreshRunsTheWholeSequence) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.target == "/.well-known/caldav/") return HttpReply(301, "Moved", "", "Location: /\r\n");
        if (r.target == "/") {
            return HttpReply(207, "Multi-Status", Multistatus("/", "<D:current-user-principal><D:href>/alice/</D:href></D:current-user-principal>"));
        }
        if (r.target == "/alice/" && r.body == kPrincipalPropertiesBody) {
            return HttpReply(207, "Multi-Status", Multistatus("/alice/", "<C:calendar-home-set><D:href>/alice/</D:href></C:calendar-home-set>"));
        }
        if (r.target == "/alice/") {
            return HttpReply(207, "Multi-Status", Multistatus("/alice/cal/", "<D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"));
        }
        return HttpReply(404, "Not Found");
    });
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/principals/users/alice/", peer.Port(), false, "alice", "pw");
    a->SetUserAgent("Orvane/1.0");
    ASSERT_EQ(a->Refresh(true), 0);
    EXPECT_TRUE(a->IsDiscovered());
    ASSERT_EQ(a->GetCalendarCount(), 1);
    EXPECT_EQ(a->GetCalendarAt(0)->GetUserAgent(), "Orvane/1.0");
    std::string trail;
    for (const auto& r : peer.Requests()) trail += r.target + " ";
    EXPECT_EQ(trail, "/.well-known/caldav /.well-known/caldav/ / /alice/ /alice/ /alice/ ");
    for (const auto& r : peer.Requests()) EXPECT_EQ(r.Header("User-Agent"), "Orvane/1.0");

    // A later refresh that is not full skips discovery and lists the same home again.
    ASSERT_EQ(a->Refresh(false), 0);
    EXPECT_EQ(peer.Requests().size(), 9u);
    EXPECT_EQ(a->GetCalendarCount(), 1);
}

TEST(Account, NonGoogle401IsReportedAndAGrantWithoutClientIdSignsNothingIn) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(401, "Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n"); });
    auto a = MakeRef<RCalDAVAccount>();
    a->Connect("127.0.0.1", "/p/", peer.Port(), false, "u", "bad");
    EXPECT_EQ(a->Refresh(true), 401);
    const size_t sent = peer.Requests().size();
    a->SetBearerToken("old-token");
    // No client id is configured: the grant is kept for later, and no token request is made.
    a->SetAuthCode("code-1");
    CStringA code, token;
    a->GetAuthCode(&code);
    EXPECT_EQ(code, "code-1");
    RWebDAVConnection* c = nullptr;
    a->GetConnection(&c);
    c->GetBearerToken(&token);
    EXPECT_EQ(token, "old-token");
    EXPECT_EQ(a->Authorize(), 401);
    EXPECT_EQ(peer.Requests().size(), sent);
}
