// The HTTP client against a scripted loopback peer: what goes on the wire and how answers,
// failures and authentication are read back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/HttpClient.h"
#include "platform/http/InternetErrors.h"
#include "tests/platform/http/LoopbackPeer.h"

using namespace platform::http;
using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerReply;
using orvane::test::PeerRequest;

namespace {

std::string ReadAll(HttpRequest& request) {
    std::string out;
    DWORD available = 0;
    while (request.QueryDataAvailable(available) == 0 && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        EXPECT_EQ(request.Read(chunk.data(), available, read), 0u);
        out.append(chunk.data(), read);
    }
    return out;
}

}  // namespace

TEST(HttpClient, SendsVerbPathHeadersAndBodyAndReadsTheAnswer) {
    LoopbackPeer peer([](const PeerRequest&) {
        return HttpReply(207, "Multi-Status", std::string(20000, 'x'), "ETag: \"e1\"\r\n");
    });
    auto client = HttpClient::Open("Orvane-Test/1", nullptr);
    ASSERT_TRUE(client);
    HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
    HttpRequest request(connection, "PROPFIND", "/cal/a b/", false, "text/*");
    request.AddHeaders("Depth: 1\rContent-Type: text/xml");
    ASSERT_EQ(request.Send("<x/>", 4), 0u);

    std::string text;
    EXPECT_EQ(request.QueryStatusCode(text), 0u);
    EXPECT_EQ(text, "207");
    EXPECT_EQ(request.QueryStatusText(text), 0u);
    EXPECT_EQ(text, "Multi-Status");
    ASSERT_TRUE(request.QueryHeader("etag", text));
    EXPECT_EQ(text, "\"e1\"");
    EXPECT_EQ(ReadAll(request).size(), 20000u);

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, "PROPFIND");
    EXPECT_EQ(r.target, "/cal/a%20b/");
    EXPECT_EQ(r.Header("Depth"), "1");
    EXPECT_EQ(r.Header("Content-Type"), "text/xml");
    EXPECT_EQ(r.Header("Accept"), "text/*");
    EXPECT_EQ(r.Header("User-Agent"), "Orvane-Test/1");
    EXPECT_FALSE(r.HasHeader("Expect"));
    EXPECT_FALSE(r.HasHeader("Authorization"));
    EXPECT_EQ(r.body, "<x/>");
}

TEST(HttpClient, AnAbsoluteUrlAsPathSendsItsPathToThisServer) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(207, "Multi-Status"); });
    auto client = HttpClient::Open("ua", nullptr);
    HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
    HttpRequest absolute(connection, "PROPFIND", "HTTPS://dav.example.com/u/cal a/", false, "text/*");
    ASSERT_EQ(absolute.Send(nullptr, 0), 0u);
    HttpRequest relative(connection, "PROPFIND", "/x/http://y/", false, "text/*");
    ASSERT_EQ(relative.Send(nullptr, 0), 0u);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/u/cal%20a/");
    EXPECT_EQ(requests[1].target, "/x/http://y/");
}

TEST(HttpClient, PortZeroAddressesTheSchemesDefaultPortAndAQueryCanBeKept) {
    DWORD error = 0;
    auto client = HttpClient::Open("t", &error);
    ASSERT_TRUE(client);
    HttpConnection connection(*client, "feeds.example.org", 0, "", "");
    EXPECT_EQ(HttpRequest(connection, "GET", "/a", false, nullptr).Url(), "http://feeds.example.org:80/a");
    EXPECT_EQ(HttpRequest(connection, "GET", "/a", true, nullptr).Url(), "https://feeds.example.org:443/a");
    EXPECT_EQ(HttpRequest(connection, "GET", "/feed?id=3&x=a b", false, nullptr, true).Url(),
              "http://feeds.example.org:80/feed?id=3&x=a%20b");
    EXPECT_EQ(HttpRequest(connection, "GET", "/what?.ics", false, nullptr).Url(), "http://feeds.example.org:80/what%3F.ics");
}

TEST(HttpClient, KeepsTheConnectionAliveAndOpensANewOneForANewConnectionObject) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(200, "OK", "a"); });
    auto client = HttpClient::Open("ua", nullptr);
    {
        HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
        for (int i = 0; i < 3; ++i) {
            HttpRequest request(connection, "GET", "/x", false, "text/*");
            ASSERT_EQ(request.Send(nullptr, 0), 0u);
        }
    }
    EXPECT_EQ(peer.Connections(), 1);
    HttpConnection fresh(*client, "127.0.0.1", peer.Port(), "", "");
    HttpRequest request(fresh, "GET", "/x", false, "text/*");
    ASSERT_EQ(request.Send(nullptr, 0), 0u);
    EXPECT_EQ(peer.Connections(), 2);
}

TEST(HttpClient, AnswersABasicChallengeButNeverSendsCredentialsFirst) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (!r.HasHeader("Authorization")) return HttpReply(401, "Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n");
        return HttpReply(200, "OK", "in");
    });
    auto client = HttpClient::Open("ua", nullptr);
    HttpConnection connection(*client, "127.0.0.1", peer.Port(), "alice", "secret");
    HttpRequest request(connection, "PUT", "/x.ics", false, "*/*");
    ASSERT_EQ(request.Send("BEGIN:VCALENDAR", 15), 0u);
    std::string status;
    request.QueryStatusCode(status);
    EXPECT_EQ(status, "200");
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].HasHeader("Authorization"));
    EXPECT_EQ(requests[1].Header("Authorization"), "Basic YWxpY2U6c2VjcmV0");
    EXPECT_EQ(requests[1].body, "BEGIN:VCALENDAR");
}

TEST(HttpClient, ABodyCutShortFailsTheTransferAndLeavesNothingToRead) {
    LoopbackPeer peer([](const PeerRequest&) {
        return PeerReply{"HTTP/1.1 207 Multi-Status\r\nContent-Length: 100\r\n\r\n<d:multistatus", true};
    });
    auto client = HttpClient::Open("ua", nullptr);
    HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
    HttpRequest request(connection, "REPORT", "/", false, "text/*");
    EXPECT_EQ(request.Send("<x/>", 4), ERROR_INTERNET_CONNECTION_ABORTED);
    DWORD available = 1;
    EXPECT_EQ(request.QueryDataAvailable(available), 0u);
    EXPECT_EQ(available, 0u);
}

TEST(HttpClient, TransportFailuresGiveInternetErrorNumbers) {
    auto client = HttpClient::Open("ua", nullptr);
    int closedPort;
    {
        LoopbackPeer peer([](const PeerRequest&) { return PeerReply{}; });
        closedPort = peer.Port();
        HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
        HttpRequest request(connection, "GET", "/", false, "text/*");
        EXPECT_EQ(request.Send(nullptr, 0), ERROR_HTTP_INVALID_SERVER_RESPONSE);  // dropped unanswered
        std::string status;
        EXPECT_NE(request.QueryStatusCode(status), 0u);
    }
    HttpConnection connection(*client, "127.0.0.1", closedPort, "", "");
    HttpRequest request(connection, "GET", "/", false, "text/*");
    EXPECT_EQ(request.Send(nullptr, 0), ERROR_INTERNET_CANNOT_CONNECT);
}

TEST(HttpClient, ALateAnswerIsWaitedForButATricklingBodyOrEndlessSilenceTimesOut) {
    using namespace std::chrono_literals;
    const TransferLimits production = CurrentTransferLimits();
    EXPECT_GE(production.firstByte, 10min);
    // The same rules on a shorter clock.
    struct Restore {
        TransferLimits limits;
        ~Restore() { SetTransferLimits(limits); }
    } restore{production};
    TransferLimits limits;
    limits.firstByte = 3s;
    limits.floorBytesPerSecond = 1024;
    limits.window = 1s;
    SetTransferLimits(limits);

    std::atomic<bool> done{false};
    const auto pause = [&done](std::chrono::milliseconds most) {
        for (auto waited = 0ms; waited < most && !done; waited += 20ms) std::this_thread::sleep_for(20ms);
    };
    LoopbackPeer peer([&](const PeerRequest& r) {
        if (r.target == "/late") {
            pause(1500ms);  // longer than the window: a first byte is not held to the floor
            return HttpReply(207, "Multi-Status", std::string(5000, 'x'));
        }
        if (r.target == "/silent") {
            pause(10000ms);
            return HttpReply(207, "Multi-Status", "<x/>");
        }
        // The answer starts at once, then runs at 10 bytes a second for 6 seconds.
        PeerReply reply{"HTTP/1.1 207 Multi-Status\r\nContent-Length: 64\r\n\r\n<d:m", false};
        reply.trickle = std::string(60, 'x');
        reply.trickleGap = 100ms;
        return reply;
    });
    auto client = HttpClient::Open("ua", nullptr);
    ASSERT_TRUE(client);
    std::chrono::steady_clock::duration took{};
    const auto send = [&](const char* path) {
        HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
        HttpRequest request(connection, "REPORT", path, false, "text/*");
        const auto start = std::chrono::steady_clock::now();
        const DWORD result = request.Send("<x/>", 4);
        took = std::chrono::steady_clock::now() - start;
        return result;
    };
    EXPECT_EQ(send("/late"), 0u);
    EXPECT_EQ(send("/trickle"), ERROR_INTERNET_TIMEOUT);
    EXPECT_LT(took, 4500ms);
    EXPECT_EQ(send("/silent"), ERROR_INTERNET_TIMEOUT);
    EXPECT_LT(took, 6s);
    done = true;
}

TEST(ConnectionErrorHook, WithoutAHandlerTheFailureIsFinal) {
    SetConnectionErrorHandler({});
    EXPECT_EQ(ReportConnectionError(12029, "http://127.0.0.1:1/"), 12029u);
    std::string seen;
    SetConnectionErrorHandler([&](DWORD error, const std::string& url) {
        seen = url;
        return error == 12029 ? ERROR_INTERNET_FORCE_RETRY : ERROR_CANCELLED;
    });
    EXPECT_EQ(ReportConnectionError(12029, "http://h/"), ERROR_INTERNET_FORCE_RETRY);
    EXPECT_EQ(ReportConnectionError(12045, "http://h/"), ERROR_CANCELLED);
    EXPECT_EQ(seen, "http://h/");
    SetConnectionErrorHandler({});
}

TEST(HttpClient, KeepsCookiesInMemoryAcrossRequests) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.target == "/login") return HttpReply(200, "OK", "", "Set-Cookie: session=abc; Path=/\r\n");
        return HttpReply(200, "OK");
    });
    auto client = HttpClient::Open("ua", nullptr);
    HttpConnection connection(*client, "127.0.0.1", peer.Port(), "", "");
    for (const char* path : {"/login", "/next", "/again"}) {
        HttpRequest request(connection, "GET", path, false, "text/*");
        ASSERT_EQ(request.Send(nullptr, 0), 0u);
    }
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].HasHeader("Cookie"));
    EXPECT_EQ(requests[1].Header("Cookie"), "session=abc");
    EXPECT_EQ(requests[2].Header("Cookie"), "session=abc");
}

TEST(HttpClient, AnOriginThatTookBasicGetsItAtOnceFromLaterConnectionsOfTheSameUser) {
    auto basicOnly = [](const PeerRequest& r) {
        if (r.Header("Authorization") != "Basic YWxpY2U6c2VjcmV0") return HttpReply(401, "Unauthorized", "", "WWW-Authenticate: Basic realm=\"x\"\r\n");
        return HttpReply(200, "OK");
    };
    LoopbackPeer peer(basicOnly);
    // Each connection object of the program has a client of its own.
    auto firstRequestOf = [&](const char* user, const char* password, const char* extraHeaders = nullptr) {
        auto client = HttpClient::Open("ua", nullptr);
        HttpConnection connection(*client, "127.0.0.1", peer.Port(), user, password);
        HttpRequest request(connection, "PROPFIND", "/cal/", false, "text/*");
        if (extraHeaders != nullptr) request.AddHeaders(extraHeaders);
        EXPECT_EQ(request.Send(nullptr, 0), 0u);
        std::string status;
        request.QueryStatusCode(status);
        return status;
    };
    EXPECT_EQ(firstRequestOf("alice", "secret"), "200");
    EXPECT_EQ(peer.Requests().size(), 2u);  // the challenge, then the answer
    EXPECT_EQ(firstRequestOf("alice", "secret"), "200");
    EXPECT_EQ(peer.Requests().size(), 3u);  // a new connection: Basic at once
    EXPECT_EQ(peer.Requests().back().Header("Authorization"), "Basic YWxpY2U6c2VjcmV0");
    // Another user on the same origin still waits for the challenge.
    EXPECT_EQ(firstRequestOf("bob", "pw"), "401");
    EXPECT_FALSE(peer.Requests()[3].HasHeader("Authorization"));
    // A bearer token is never joined by Basic.
    const size_t before = peer.Requests().size();
    EXPECT_EQ(firstRequestOf("alice", "secret", "Authorization: Bearer tok"), "401");
    EXPECT_EQ(peer.Requests()[before].Header("Authorization"), "Bearer tok");
    // A changed password is asked for again, within the same request.
    const size_t changed = peer.Requests().size();
    EXPECT_EQ(firstRequestOf("alice", "wrong"), "401");
    EXPECT_GE(peer.Requests().size() - changed, 2u);

    // Where Digest is offered too, every connection keeps the challenge.
    LoopbackPeer digest([](const PeerRequest& r) {
        if (!r.HasHeader("Authorization")) {
            return HttpReply(401, "Unauthorized", "",
                             "WWW-Authenticate: Digest realm=\"x\", nonce=\"abc\", qop=\"auth\"\r\nWWW-Authenticate: Basic realm=\"x\"\r\n");
        }
        return HttpReply(200, "OK");
    });
    for (int i = 0; i < 2; ++i) {
        auto client = HttpClient::Open("ua", nullptr);
        HttpConnection connection(*client, "127.0.0.1", digest.Port(), "alice", "secret");
        HttpRequest request(connection, "PROPFIND", "/cal/", false, "text/*");
        EXPECT_EQ(request.Send(nullptr, 0), 0u);
    }
    const auto requests = digest.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_FALSE(requests[2].HasHeader("Authorization"));
    EXPECT_EQ(requests[3].Header("Authorization").rfind("Digest ", 0), 0u);
}
