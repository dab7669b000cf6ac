#include "platform/browser/LoopbackCodeListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform::browser {
namespace {

using Clock = std::chrono::steady_clock;

// A request head larger than this is no browser's redirect.
constexpr size_t kMaxHeadBytes = 16 * 1024;
// Connections opened but left silent (browsers open spare ones) are dropped after this.
constexpr auto kSilentConnectionLimit = std::chrono::seconds(10);
// At most this many connections wait for their request at once; more are closed.
constexpr size_t kMaxPending = 16;
constexpr size_t kMaxCodeLength = 2048;
constexpr int kWriteWaitMs = 1000;
// Rounds of answering that one Poll may run past its wait while requests keep arriving.
constexpr int kMaxExtraRounds = 32;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Query values are form-encoded: "%XX" escapes and "+" for a blank.
std::string DecodeQueryValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

struct QueryValue {
    bool present = false;
    std::string value;
};

// The first value of `name` in the query.
QueryValue FindQueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t eq = pair.find('=');
        if (DecodeQueryValue(pair.substr(0, eq)) == name) {
            return {true, eq == std::string_view::npos ? std::string() : DecodeQueryValue(pair.substr(eq + 1))};
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteWaitMs) > 0) continue;
        }
        return;
    }
}

void SendPage(int fd, const char* status, const std::string& title, const std::string& message) {
    const std::string body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
                             "</title></head><body><p>" + HtmlEscape(message) + "</p></body></html>\n";
    std::string answer = std::string("HTTP/1.1 ") + status +
                         "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nConnection: close\r\n"
                         "Content-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body;
    SendAll(fd, answer);
}

bool HeadComplete(const std::string& head) {
    return head.find("\r\n\r\n") != std::string::npos || head.find("\n\n") != std::string::npos;
}

}  // namespace

bool IsAcceptableCode(const std::string& code) {
    if (code.empty() || code.size() > kMaxCodeLength) return false;
    for (const char c : code) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) return false;
        if (c == '"' || c == '\'' || c == '<' || c == '>' || c == '&' || c == '\\' || c == '`') return false;
    }
    return true;
}

std::unique_ptr<LoopbackCodeListener> LoopbackCodeListener::Open(std::string expectedState,
                                                                 std::chrono::milliseconds lifetime, int* error) {
    auto fail = [error](int code) -> std::unique_ptr<LoopbackCodeListener> {
        if (error != nullptr) *error = code;
        return nullptr;
    };
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(errno);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(saved);
    }
    if (error != nullptr) *error = 0;
    return std::unique_ptr<LoopbackCodeListener>(
        new LoopbackCodeListener(fd, ntohs(address.sin_port), std::move(expectedState), Clock::now() + lifetime));
}

LoopbackCodeListener::LoopbackCodeListener(int fd, int port, std::string expectedState, Clock::time_point closesAt)
    : listenFd_(fd), port_(port), expectedState_(std::move(expectedState)), closesAt_(closesAt) {}

LoopbackCodeListener::~LoopbackCodeListener() {
    MutexLock lock(mutex_);
    CloseLocked();
}

int LoopbackCodeListener::Port() const { return port_; }

std::string LoopbackCodeListener::RedirectUri() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::vector<std::string> LoopbackCodeListener::PageTitles() const {
    MutexLock lock(mutex_);
    return titles_;
}

bool LoopbackCodeListener::IsOpen() const {
    MutexLock lock(mutex_);
    return listenFd_ >= 0 && Clock::now() < closesAt_;
}

void LoopbackCodeListener::Close() {
    MutexLock lock(mutex_);
    CloseLocked();
}

void LoopbackCodeListener::CloseLocked() {
    for (const Pending& pending : pending_) ::close(pending.fd);
    pending_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void LoopbackCodeListener::AcceptLocked() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (pending_.size() >= kMaxPending) {
            ::close(fd);
            continue;
        }
        pending_.push_back(Pending{fd, std::string(), Clock::now()});
    }
}

bool LoopbackCodeListener::ServeLocked(Pending& pending) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(pending.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            pending.head.append(buffer, static_cast<size_t>(n));
            if (HeadComplete(pending.head)) {
                AnswerLocked(pending.fd, pending.head);
                return true;
            }
            if (pending.head.size() > kMaxHeadBytes) {
                SendPage(pending.fd, "431 Request Header Fields Too Large", kFailureTitle, "The request was too large.");
                return true;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        return true;  // closed by the browser, or broken
    }
}

void LoopbackCodeListener::AnswerLocked(int fd, const std::string& head) {
    const std::string_view line = std::string_view(head).substr(0, head.find_first_of("\r\n"));
    const size_t firstBlank = line.find(' ');
    const size_t secondBlank = firstBlank == std::string_view::npos ? std::string_view::npos : line.find(' ', firstBlank + 1);
    if (secondBlank == std::string_view::npos || line.substr(0, firstBlank) != "GET") {
        SendPage(fd, "405 Method Not Allowed", kFailureTitle, "This address only takes the browser's return from signing in.");
        return;
    }
    std::string_view target = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    target = target.substr(0, target.find('#'));
    const size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query = question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    if (path != "/") {
        // The browser's own extra requests (an icon, say) are no sign-in answer.
        SendPage(fd, "404 Not Found", "Not found", "Not found.");
        return;
    }
    const QueryValue state = FindQueryValue(query, "state");
    const QueryValue code = FindQueryValue(query, "code");
    const char* refusal = nullptr;
    if (!state.present || state.value != expectedState_) {
        refusal = "This answer does not belong to the sign-in that Orvane started.";
    } else if (FindQueryValue(query, "error").present || !code.present) {
        refusal = "Signing in was not completed. Orvane will ask again at its next refresh.";
    } else if (codeServed_) {
        refusal = "This sign-in has already been completed.";
    } else if (!IsAcceptableCode(code.value)) {
        refusal = "The answer held no usable sign-in code.";
    }
    if (refusal != nullptr) {
        titles_.emplace_back(kFailureTitle);
        SendPage(fd, "400 Bad Request", kFailureTitle, refusal);
        return;
    }
    codeServed_ = true;
    std::string title = std::string(kCodeTitleMarker) + code.value + " ";
    SendPage(fd, "200 OK", title, "You are signed in. You may close this window and return to Orvane.");
    titles_.push_back(std::move(title));
}

bool LoopbackCodeListener::Poll(std::chrono::milliseconds wait) {
    MutexLock lock(mutex_);
    if (listenFd_ < 0) return codeServed_;
    const auto start = Clock::now();
    if (start >= closesAt_) {
        CloseLocked();
        return codeServed_;
    }
    auto end = start + wait;
    int extraRounds = 0;
    if (end > closesAt_) end = closesAt_;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back(pollfd{listenFd_, POLLIN, 0});
        for (const Pending& pending : pending_) fds.push_back(pollfd{pending.fd, POLLIN, 0});
        const auto now = Clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        // Once a code was served, only what is already waiting is answered.
        const int timeout = codeServed_ || left <= 0 ? 0 : static_cast<int>(left < 1000 ? left : 1000);
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            // Requests already waiting first: the poll set was built from them.
            std::vector<Pending> still;
            for (size_t i = 0; i < pending_.size(); ++i) {
                Pending& pending = pending_[i];
                const bool readable = (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
                if (readable && ServeLocked(pending)) {
                    ::close(pending.fd);
                } else {
                    still.push_back(std::move(pending));
                }
            }
            pending_ = std::move(still);
            if ((fds[0].revents & POLLIN) != 0) AcceptLocked();
        }
        const auto after = Clock::now();
        std::vector<Pending> live;
        for (Pending& pending : pending_) {
            if (after - pending.since > kSilentConnectionLimit) {
                ::close(pending.fd);
            } else {
                live.push_back(std::move(pending));
            }
        }
        pending_ = std::move(live);
        // Past the wait, what is already under way is still answered, within a bound.
        if (ready <= 0 && (after >= end || codeServed_)) break;
        if (after >= end && ++extraRounds > kMaxExtraRounds) break;
    }
    return codeServed_;
}

}  // namespace platform::browser
