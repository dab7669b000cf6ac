// RWebDAVConnection against a scripted loopback peer: paths, headers, credentials, answers,
// redirects, failures and the debug log.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "dav/http/RWebDAVConnection.h"
#include "foundation/debug/RDebugLog.h"
#include "foundation/memory/RRef.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/InternetErrors.h"
#include "platform/settings/SettingsHive.h"
#include "tests/platform/http/LoopbackPeer.h"
#include "tests/support/TempFolder.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerReply;
using orvane::test::PeerRequest;

namespace {

RRef<RWebDAVConnection> Connect(const LoopbackPeer& peer, const char* path = "/cal", const char* user = "",
                                const char* password = "") {
    auto c = MakeRef<RWebDAVConnection>();
    c->Initialize("127.0.0.1", peer.Port(), false, user, password);
    c->SetPath(path);
    return c;
}

void SetDebugLogFlag(DWORD value) {
    using namespace platform;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, kOrvaneSettingsKey, &key), 0u);
    RegSetValue(key, kDebugLogValueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

}  // namespace

TEST(WebDAVConnection, BuildsResourcePathsAndEncodesThem) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(200, "OK", "x"); });
    auto c = Connect(peer, "/cal");
    EXPECT_EQ(c->Get(nullptr, "a.ics"), 200);
    c->SetPath("/cal/");
    EXPECT_EQ(c->Get(nullptr, "a.ics"), 200);
    EXPECT_EQ(c->Get(nullptr, "a b%20c\r\n.ics"), 200);
    EXPECT_EQ(c->Propfind("Depth: 0", nullptr), 200);
    c->SetPath(nullptr);
    EXPECT_EQ(c->Report(nullptr, "<x/>"), 200);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].target, "/cal/a.ics");
    EXPECT_EQ(requests[1].target, "/cal/a.ics");
    EXPECT_EQ(requests[2].target, "/cal/a%20b%20c%0D%0A.ics");
    EXPECT_EQ(requests[3].target, "/cal/");
    EXPECT_EQ(requests[3].method, "PROPFIND");
    EXPECT_EQ(requests[3].Header("Accept"), "text/*");
    EXPECT_EQ(requests[4].target, "/");
}

TEST(WebDAVConnection, SendsTheBearerTokenOnlyWhenSetAndRefusesInjectedValues) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(201, "Created"); });
    auto c = Connect(peer);
    EXPECT_EQ(c->Put("Content-Type: text/calendar\nIf-None-Match: *", "BEGIN:VCALENDAR", "a.ics"), 201);
    EXPECT_EQ(c->SetBearerToken("tok123"), 0);
    EXPECT_EQ(c->SetBearerToken("tok\r\nX-Evil: 1"), R_E_INVALID_ARGUMENT);
    CStringA token;
    c->GetBearerToken(&token);
    EXPECT_EQ(token, "tok123");
    EXPECT_EQ(c->Move("a.ics", "/cal/b.ics\r\nX-Evil: 1", true), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->Move("a.ics", "/cal/b.ics", false), 201);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].HasHeader("Authorization"));
    EXPECT_EQ(requests[0].Header("If-None-Match"), "*");
    EXPECT_EQ(requests[0].Header("Content-Type"), "text/calendar");
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    EXPECT_EQ(requests[1].Header("Authorization"), "Bearer tok123");
    EXPECT_EQ(requests[1].Header("Destination"), "/cal/b.ics");
    EXPECT_EQ(requests[1].Header("Overwrite"), "F");
    EXPECT_FALSE(requests[1].HasHeader("X-Evil"));
}

TEST(WebDAVConnection, ServerAndCredentialChangesAndTheFixedUserAgent) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(200, "OK"); });
    auto c = Connect(peer, "/", "u", "p");
    c->SetUserAgent("First/1");
    c->Get(nullptr, "x");
    c->SetUserAgent("Second/2");
    c->SetCredentials("u", "p");  // unchanged: same TCP connection
    c->Get(nullptr, "x");
    EXPECT_EQ(peer.Connections(), 1);
    c->SetCredentials("u", "p2");  // changed: a new one
    c->Get(nullptr, "x");
    EXPECT_EQ(peer.Connections(), 2);
    CStringA user, password;
    c->GetCredentials(&user, &password);
    EXPECT_EQ(user, "u");
    EXPECT_EQ(password, "p2");
    for (const auto& request : peer.Requests()) EXPECT_EQ(request.Header("User-Agent"), "First/1");

    bool secure = false;
    c->SetServer("127.0.0.1", 443, "/x");
    c->GetServer(nullptr, nullptr, nullptr, &secure);
    EXPECT_TRUE(secure);
    c->SetServer("127.0.0.1", 8443, nullptr);
    CStringA path;
    c->GetServer(nullptr, nullptr, &path, &secure);
    EXPECT_FALSE(secure);
    EXPECT_EQ(path, "/");
}

TEST(WebDAVConnection, ErrorAnswersStayReadableAndBodiesAreTerminated) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.target == "/cal/missing") return HttpReply(404, "Not Found", "no such thing");
        if (r.target == "/cal/empty") return HttpReply(204, "No Content");
        return HttpReply(200, "OK", "abc");
    });
    auto c = Connect(peer);
    EXPECT_EQ(c->Get(nullptr, "missing"), 404);
    RHeapBuffer* body = c->ReadResponse();
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body->data, "no such thing");

    EXPECT_EQ(c->Delete(nullptr, "empty"), 204);
    EXPECT_EQ(c->ReadResponse(), nullptr);

    EXPECT_EQ(c->Get(nullptr, "abc"), 200);
    body = c->ReadResponse();
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->size, 4);
    EXPECT_EQ(body->data[3], '\0');
    RHeapBuffer* again = c->ReadResponse();
    EXPECT_EQ(again, body);
    EXPECT_EQ(again->size, 5);
    EXPECT_STREQ(again->data, "abc");
}

TEST(WebDAVConnection, AMovedToPathAppliesOnlyToTheHrefThatWasMoved) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.method == "DELETE" && r.target == "/cal/old.ics") {
            return HttpReply(301, "Moved Permanently", "<p>Document moved to /cal/New.ics.</p>");
        }
        return HttpReply(r.method == "PUT" ? 201 : 200, "OK");
    });
    auto c = Connect(peer);
    EXPECT_EQ(c->Delete(nullptr, "old.ics"), 301);  // no second try for DELETE
    EXPECT_EQ(c->Get(nullptr, "other.ics"), 200);
    EXPECT_EQ(c->Get(nullptr, "old.ics"), 200);
    EXPECT_EQ(c->Put(nullptr, "BEGIN:VCALENDAR", "old.ics"), 201);  // succeeds and clears the path
    EXPECT_EQ(c->Get(nullptr, "old.ics"), 200);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[1].target, "/cal/other.ics");
    EXPECT_EQ(requests[2].target, "/cal/new.ics");
    EXPECT_EQ(requests[3].target, "/cal/new.ics");
    EXPECT_EQ(requests[4].target, "/cal/old.ics");
}

TEST(WebDAVConnection, FollowsLocationHeadersOnceAndGetUpToFiveTimes) {
    LoopbackPeer other([](const PeerRequest&) { return HttpReply(207, "Multi-Status", "<m/>"); });
    const int otherPort = other.Port();
    LoopbackPeer peer([otherPort](const PeerRequest& r) {
        if (r.target == "/.well-known/caldav/") return HttpReply(301, "Moved", "", "Location: /dav/\r\n");
        if (r.target == "/dav/") {
            return HttpReply(302, "Found", "", "Location: http://127.0.0.1:" + std::to_string(otherPort) + "/principals/\r\n");
        }
        if (r.target.rfind("/loop", 0) == 0) return HttpReply(307, "Temporary", "", "Location: /loop" + std::to_string(r.target.size()) + "\r\n");
        return HttpReply(404, "Not Found");
    });
    auto c = Connect(peer, "/.well-known/caldav/");
    c->SetMayMoveServer(true);  // as the discovery request may
    EXPECT_EQ(c->Propfind("Depth: 0", "<x/>"), 302);  // one more try only: the second redirect is returned
    CStringA path;
    int port = 0;
    c->GetServer(nullptr, &port, &path, nullptr);
    EXPECT_EQ(port, otherPort);
    EXPECT_EQ(path, "/principals/");
    EXPECT_EQ(c->Propfind("Depth: 0", "<x/>"), 207);
    EXPECT_EQ(other.Requests().back().target, "/principals/");

    c->SetServer("127.0.0.1", peer.Port(), "/");
    const size_t before = peer.Requests().size();
    EXPECT_EQ(c->Get(nullptr, "loop"), 307);
    EXPECT_EQ(peer.Requests().size() - before, 6u);
}

TEST(WebDAVConnection, RedirectBodiesAreScannedOnlyWithoutLocation) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.target == "/start/") return HttpReply(301, "Moved", "<a href=\"/elsewhere/home/\">x</a>");
        return HttpReply(207, "Multi-Status", "<m/>");
    });
    auto c = Connect(peer, "/start/");
    EXPECT_EQ(c->Propfind(nullptr, "<x/>"), 207);
    EXPECT_EQ(peer.Requests().back().target, "/elsewhere/home/");
}

TEST(WebDAVConnection, TransportFailuresAreBoundedAndNeverLookLikeAnswers) {
    int closedPort;
    { LoopbackPeer gone([](const PeerRequest&) { return PeerReply{}; }); closedPort = gone.Port(); }
    std::atomic<int> asked{0};
    platform::http::SetConnectionErrorHandler([&](DWORD, const std::string&) {
        ++asked;
        return platform::http::ERROR_INTERNET_FORCE_RETRY;
    });
    auto c = MakeRef<RWebDAVConnection>();
    c->Initialize("127.0.0.1", closedPort, false, "", "");
    EXPECT_EQ(c->Propfind(nullptr, "<x/>"), static_cast<RResult>(platform::http::ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_EQ(asked.load(), 6);
    platform::http::SetConnectionErrorHandler([](DWORD, const std::string&) { return platform::http::ERROR_CANCELLED; });
    EXPECT_EQ(c->Get(nullptr, "x"), 1223);
    platform::http::SetConnectionErrorHandler({});

    LoopbackPeer cut([](const PeerRequest&) {
        return PeerReply{"HTTP/1.1 207 Multi-Status\r\nContent-Length: 5000\r\n\r\n<d:multistatus xmlns:d=\"DAV:\">", true};
    });
    c->SetServer("127.0.0.1", cut.Port(), "/");
    EXPECT_EQ(c->Propfind(nullptr, "<x/>"), static_cast<RResult>(platform::http::ERROR_INTERNET_CONNECTION_ABORTED));
    EXPECT_EQ(c->ReadResponse(), nullptr);
}

TEST(WebDAVConnection, WritesEachExchangeToTheDebugLog) {
    orvane::test::TempFolder folder("dav-log");
    const std::string logPath = folder.Str() + "/log.txt";
    g_debugLog.Open(logPath.c_str());
    SetDebugLogFlag(1);
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(207, "Multi-Status", "<m/>"); });
    auto c = Connect(peer, "/cal/");
    c->SetBearerToken("tok");
    EXPECT_EQ(c->Propfind("Depth: 0", "<body/>"), 207);
    c->ReadResponse();
    c.reset();
    SetDebugLogFlag(0);
    g_debugLog.Reset();

    std::ifstream in(logPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string expected = "^^^^^^^^^^^^\r\nPROPFIND 127.0.0.1:" + std::to_string(peer.Port()) +
                                 "/cal/\r\nDepth: 0\r\nAuthorization: Bearer ***\r\n<body/> \r\nvvvvvvvvvvvv\r\n<m/>" +
                                 std::string(1, '\0') + " \r\n============\r\n \r\n";
    EXPECT_EQ(text.str(), expected);
}

TEST(WebDAVConnection, ARedirectTakesItsSchemeFromTheLocation) {
    int closedPort;
    { LoopbackPeer gone([](const PeerRequest&) { return PeerReply{}; }); closedPort = gone.Port(); }
    LoopbackPeer peer([closedPort](const PeerRequest&) {
        return HttpReply(308, "Permanent Redirect", "", "Location: https://127.0.0.1:" + std::to_string(closedPort) + "/secure/\r\n");
    });
    auto c = Connect(peer, "/");
    c->SetMayMoveServer(true);
    EXPECT_EQ(c->Propfind(nullptr, "<x/>"), static_cast<RResult>(platform::http::ERROR_INTERNET_CANNOT_CONNECT));
    CStringA path;
    int port = 0;
    bool secure = false;
    c->GetServer(nullptr, &port, &path, &secure);
    EXPECT_TRUE(secure);  // from the scheme, although the port is not 443
    EXPECT_EQ(port, closedPort);
    EXPECT_EQ(path, "/secure/");
}

TEST(WebDAVConnection, AnAnswerWithoutAReadableStatusIsAnInvalidResponse) {
    LoopbackPeer peer([](const PeerRequest&) { return PeerReply{"HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n", true}; });
    auto c = Connect(peer);
    EXPECT_EQ(c->Propfind(nullptr, "<x/>"), static_cast<RResult>(platform::http::ERROR_HTTP_INVALID_SERVER_RESPONSE));
    EXPECT_EQ(peer.Requests().size(), 1u);
}
