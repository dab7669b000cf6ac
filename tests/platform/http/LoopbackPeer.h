#pragma once
// A scripted HTTP/1.1 peer on 127.0.0.1 for tests: each request is handed to a handler that
// returns the raw bytes to answer with (or nothing, to drop the connection unanswered). It
// records every request, serves each connection on its own thread and stops, joining all of
// them, when destroyed. Reads are bounded in size and every wait is bounded in time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace orvane::test {

struct PeerRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int connection = 0;  // which accepted connection carried it (1-based)

    bool HasHeader(std::string_view name) const {
        for (const auto& h : headers) {
            if (Equal(h.first, name)) return true;
        }
        return false;
    }
    std::string Header(std::string_view name) const {
        for (const auto& h : headers) {
            if (Equal(h.first, name)) return h.second;
        }
        return {};
    }
    static bool Equal(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
        }
        return true;
    }
};

struct PeerReply {
    PeerReply() = default;
    PeerReply(std::string sent, bool closeAfter) : bytes(std::move(sent)), close(closeAfter) {}

    std::string bytes;   // sent as they are; empty: close without answering
    bool close = false;  // close the connection after sending
    std::string trickle;  // then sent one byte at a time, `trickleGap` apart (a slow link)
    std::chrono::milliseconds trickleGap{0};
};

// An answer with a Content-Length that matches the body.
inline PeerReply HttpReply(int status, std::string_view reason, std::string_view body = {}, std::string_view extraHeaders = {}) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += extraHeaders;
    out += "\r\n";
    out += body;
    return PeerReply{out, false};
}

class LoopbackPeer {
public:
    using Handler = std::function<PeerReply(const PeerRequest&)>;

    explicit LoopbackPeer(Handler handler) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, 16);
        socklen_t len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }

    ~LoopbackPeer() {
        stop_ = true;
        acceptor_.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard<std::mutex> guard(lock_);
            workers.swap(workers_);
        }
        for (auto& t : workers) t.join();
        ::close(listener_);
    }

    int Port() const { return port_; }

    std::vector<PeerRequest> Requests() const {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }
    int Connections() const { return connections_.load(); }

private:
    static constexpr size_t kMaxRequestBytes = 64u * 1024u * 1024u;
    static constexpr int kPollMs = 50;
    static constexpr int kIdleLimitMs = 20000;

    void AcceptLoop() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, kPollMs) <= 0) continue;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            const int id = ++connections_;
            std::lock_guard<std::mutex> guard(lock_);
            workers_.emplace_back([this, fd, id] { Serve(fd, id); });
        }
    }

    // Waits for more bytes; false when the peer closed, the peer is stopping or the idle limit passed.
    bool Fill(int fd, std::string& buffer) {
        for (int waited = 0; waited < kIdleLimitMs && !stop_; waited += kPollMs) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kPollMs) <= 0) continue;
            char chunk[16384];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<size_t>(n));
            return buffer.size() <= kMaxRequestBytes;
        }
        return false;
    }

    void Serve(int fd, int id) {
        std::string buffer;
        while (!stop_) {
            size_t end;
            while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
                if (!Fill(fd, buffer)) {
                    ::close(fd);
                    return;
                }
            }
            PeerRequest request;
            request.connection = id;
            const std::string head = buffer.substr(0, end);
            buffer.erase(0, end + 4);
            size_t lineEnd = head.find("\r\n");
            const std::string first = head.substr(0, lineEnd);
            const size_t s1 = first.find(' '), s2 = first.rfind(' ');
            request.method = first.substr(0, s1);
            request.target = first.substr(s1 + 1, s2 - s1 - 1);
            size_t contentLength = 0;
            while (lineEnd != std::string::npos) {
                const size_t next = head.find("\r\n", lineEnd + 2);
                const std::string line = head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos : next - lineEnd - 2);
                const size_t colon = line.find(':');
                if (colon != std::string::npos) {
                    std::string value = line.substr(colon + 1);
                    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
                    request.headers.emplace_back(line.substr(0, colon), value);
                    if (PeerRequest::Equal(line.substr(0, colon), "Content-Length")) contentLength = std::strtoul(value.c_str(), nullptr, 10);
                }
                lineEnd = next;
            }
            if (contentLength > kMaxRequestBytes) break;
            while (buffer.size() < contentLength) {
                if (!Fill(fd, buffer)) {
                    ::close(fd);
                    return;
                }
            }
            request.body = buffer.substr(0, contentLength);
            buffer.erase(0, contentLength);
            {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back(request);
            }
            const PeerReply reply = handler_(request);
            if (reply.bytes.empty()) break;
            size_t sent = 0;
            while (sent < reply.bytes.size()) {
                const ssize_t n = ::send(fd, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            bool gone = false;
            for (size_t i = 0; i < reply.trickle.size() && !stop_ && !gone; ++i) {
                std::this_thread::sleep_for(reply.trickleGap);
                gone = ::send(fd, reply.trickle.data() + i, 1, MSG_NOSIGNAL) != 1;
            }
            if (reply.close || gone) break;
        }
        ::close(fd);
    }

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    mutable std::mutex lock_;
    std::vector<std::thread> workers_;
    std::vector<PeerRequest> requests_;
};

}  // namespace orvane::test
