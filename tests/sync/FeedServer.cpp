#include "tests/sync/FeedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace orvane::test {

FeedServer::FeedServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

FeedServer::~FeedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

std::string FeedServer::Url(const std::string& scheme, const std::string& target) const {
    return scheme + "://127.0.0.1:" + std::to_string(port_) + target;
}

void FeedServer::Serve(const std::string& target, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[target] = std::move(answer);
}

std::vector<FeedServer::Request> FeedServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void FeedServer::Run() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) continue;
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{client, POLLIN, 0};
            if (::poll(&readable, 1, 2000) <= 0) break;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        Request request;
        const std::size_t firstSpace = head.find(' ');
        const std::size_t secondSpace = head.find(' ', firstSpace + 1);
        if (firstSpace != std::string::npos && secondSpace != std::string::npos) {
            request.method = head.substr(0, firstSpace);
            request.target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        }
        std::string lower = head;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        request.authorized = lower.find("\nauthorization:") != std::string::npos;
        if (const std::size_t agent = lower.find("\nuser-agent:"); agent != std::string::npos) {
            const std::size_t end = head.find("\r\n", agent + 1);
            request.userAgent = head.substr(agent + 13, end - agent - 13);
        }
        // The request body, when it announced one, is read too (the client waits to send it).
        if (const std::size_t length = lower.find("\ncontent-length:"); length != std::string::npos) {
            const std::size_t bodyStart = head.find("\r\n\r\n") + 4;
            const std::size_t wanted = std::strtoul(lower.c_str() + length + 16, nullptr, 10);
            while (head.size() - bodyStart < wanted) {
                pollfd readable{client, POLLIN, 0};
                if (::poll(&readable, 1, 2000) <= 0) break;
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<std::size_t>(got));
            }
        }
        std::string depth;
        if (const std::size_t at = lower.find("\ndepth:"); at != std::string::npos) {
            std::size_t i = at + 7;
            while (i < lower.size() && lower[i] == ' ') ++i;
            depth = lower.substr(i, 1);
        }
        Answer answer{404, "not here"};
        bool answered = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            for (const std::string& key : {request.method + ":" + depth + " " + request.target,
                                           request.method + " " + request.target, request.target}) {
                if (auto found = answers_.find(key); found != answers_.end()) {
                    answer = found->second;
                    answered = true;
                    break;
                }
            }
        }
        if (!answered && upstream_ != 0) {
            Relay(client, head);
            ::close(client);
            continue;
        }
        if (answer.status == 0) {
            ::close(client);
            continue;
        }
        const std::string reply = "HTTP/1.1 " + std::to_string(answer.status) + " X\r\nContent-Type: text/calendar\r\n" + answer.headers +
                                  "Content-Length: " + std::to_string(answer.body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + answer.body;
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::shutdown(client, SHUT_WR);
        ::close(client);
    }
}

void FeedServer::Relay(int client, const std::string& request) const {
    const int upstream = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(upstream_.load()));
    if (upstream < 0 || ::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (upstream >= 0) ::close(upstream);
        return;
    }
    // One request per connection on both sides: the server closes after its answer.
    std::string sent = request;
    const std::size_t firstLine = sent.find("\r\n");
    if (firstLine != std::string::npos) sent.insert(firstLine + 2, "Connection: close\r\n");
    ::send(upstream, sent.data(), sent.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (;;) {
        pollfd readable{upstream, POLLIN, 0};
        if (::poll(&readable, 1, 10000) <= 0) break;
        const ssize_t got = ::recv(upstream, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(upstream);
    // The client is told so too, so that it never sends a second request on this connection.
    const std::size_t statusLine = answer.find("\r\n");
    if (statusLine != std::string::npos) answer.insert(statusLine + 2, "Connection: close\r\n");
    ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::shutdown(client, SHUT_WR);
}

}  // namespace orvane::test
