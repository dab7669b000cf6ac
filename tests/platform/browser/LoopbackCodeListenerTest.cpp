// The browser's return to the sign-in listener, sent over real sockets from the test itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/browser/LoopbackCodeListener.h"

using platform::browser::LoopbackCodeListener;
using namespace std::chrono_literals;

namespace {

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Sends `request`, lets the listener answer and returns the answer.
std::string Exchange(LoopbackCodeListener& listener, const std::string& request) {
    const int fd = ConnectTo(listener.Port());
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    listener.Poll(50ms);
    std::string answer = ReadAll(fd);
    ::close(fd);
    return answer;
}

std::string Get(const std::string& target) { return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

}  // namespace

TEST(LoopbackCodeListener, ServesTheCodeOnceAndOnlyForItsState) {
    auto listener = LoopbackCodeListener::Open("st-1", 60s, nullptr);
    ASSERT_TRUE(listener);
    EXPECT_EQ(listener->RedirectUri(), "http://127.0.0.1:" + std::to_string(listener->Port()) + "/");

    // Another sign-in's answer, a missing state, an error answer and a stray icon request carry no code.
    EXPECT_NE(Exchange(*listener, Get("/?state=other&code=4/abc")).find("400 Bad Request"), std::string::npos);
    Exchange(*listener, Get("/?code=4/abc"));
    Exchange(*listener, Get("/?state=st-1&error=access_denied"));
    EXPECT_NE(Exchange(*listener, Get("/favicon.ico")).find("404"), std::string::npos);
    EXPECT_FALSE(listener->Poll(0ms));
    for (const auto& title : listener->PageTitles()) EXPECT_EQ(title.find("code="), std::string::npos) << title;

    // The form-encoded code is decoded; its page's title carries it followed by one blank.
    const std::string page = Exchange(*listener, Get("/?state=st-1&code=4%2Fgood-code&scope=x"));
    EXPECT_NE(page.find("200 OK"), std::string::npos);
    EXPECT_NE(page.find("<title>Success code=4/good-code </title>"), std::string::npos);
    EXPECT_TRUE(listener->Poll(0ms));

    // A second code, even with the right state, is refused.
    EXPECT_NE(Exchange(*listener, Get("/?state=st-1&code=4/second")).find("400"), std::string::npos);
    const auto titles = listener->PageTitles();
    int codeTitles = 0;
    for (const auto& title : titles) codeTitles += title.rfind("Success code=", 0) == 0 ? 1 : 0;
    EXPECT_EQ(codeTitles, 1);
    EXPECT_EQ(titles.back(), "Sign-in failed");
}

TEST(LoopbackCodeListener, RefusesCodesThatCouldBreakTitlesOrForms) {
    auto listener = LoopbackCodeListener::Open("s", 60s, nullptr);
    ASSERT_TRUE(listener);
    // A blank would cut the code in the title; a quote or angle bracket could break the page.
    for (const char* code : {"a%20b", "a%22b", "%3Cscript%3E", "a%0D%0Ab", ""}) {
        Exchange(*listener, Get(std::string("/?state=s&code=") + code));
    }
    EXPECT_FALSE(listener->Poll(0ms));
    // A request that is not a GET, and an endless head, are answered and dropped.
    EXPECT_NE(Exchange(*listener, "POST /?state=s&code=x HTTP/1.1\r\n\r\n").find("405"), std::string::npos);
    Exchange(*listener, "GET /?state=s&code=x HTTP/1.1\r\nX: " + std::string(20000, 'a'));
    EXPECT_FALSE(listener->Poll(0ms));
    EXPECT_EQ(listener->PageTitles().size(), 5u);
}

TEST(LoopbackCodeListener, ClosesAtTheEndOfItsLifetime) {
    auto listener = LoopbackCodeListener::Open("s", 50ms, nullptr);
    ASSERT_TRUE(listener);
    EXPECT_TRUE(listener->IsOpen());
    const auto start = std::chrono::steady_clock::now();
    // A wait longer than the lifetime ends with it.
    EXPECT_FALSE(listener->Poll(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    listener->Poll(0ms);
    EXPECT_FALSE(listener->IsOpen());
}

TEST(LoopbackCodeListener, AnswersABrowserThatConnectedBeforeThePoll) {
    auto listener = LoopbackCodeListener::Open("s", 60s, nullptr);
    ASSERT_TRUE(listener);
    // A late return waits in the socket's queue until the owner polls again.
    const int fd = ConnectTo(listener->Port());
    const std::string request = Get("/?state=s&code=late");
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    EXPECT_TRUE(listener->Poll(0ms));
    EXPECT_NE(ReadAll(fd).find("Success code=late "), std::string::npos);
    ::close(fd);
}
