#pragma once
// A small static-file HTTP server of the tests' own on 127.0.0.1 (port chosen by the system):
// serves fixed answers by request target (path with query) and records every request line and
// whether it carried credentials. One connection at a time, one request per connection.
// An answer may also be given for "METHOD target" or "METHOD:depth target" (a WebDAV request
// with that Depth header), which is preferred to the bare target; a request may close the
// connection without any answer (status 0), as a server that dies would.
// Passed on to a real server (PassOnTo), it stands in front of it: requests without an answer of
// their own go to that server and its answer comes back, so that a test fails chosen steps only.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orvane::test {

class FeedServer {
public:
    struct Answer {
        Answer() = default;
        Answer(int code, std::string text, std::string headerLines = {})
            : status(code), body(std::move(text)), headers(std::move(headerLines)) {}
        int status = 200;
        std::string body;
        std::string headers;  // further header lines, each ending in CR LF
    };
    struct Request {
        std::string method;
        std::string target;  // path and query as sent
        bool authorized = false;
        std::string userAgent;
    };

    FeedServer();
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& scheme, const std::string& target) const;
    void Serve(const std::string& target, Answer answer);
    // Requests without an answer go to the server on 127.0.0.1 at `port` from now on.
    void PassOnTo(int port) { upstream_ = port; }
    std::vector<Request> Requests() const;

private:
    void Run();
    // Sends one whole request to the upstream server and its answer back to `client`.
    void Relay(int client, const std::string& request) const;

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> upstream_{0};
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace orvane::test
