#pragma once
// A CalDAV server started by a test on 127.0.0.1: its output goes to a log file, the port is
// read from its "Listening on" line, and it is stopped by its process id.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvane::test {

class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { Stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts argv[0] (a full path) and waits, at most `timeout`, for "Listening on ...:PORT".
    // Returns an empty text, or what went wrong with the server's output.
    std::string Start(const std::vector<std::string>& argv, const std::string& logPath, std::chrono::seconds timeout);
    void Stop();
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// The folder of the integration fixtures (tests/dav/fixtures).
std::string FixtureFolder();

// Whether a program exists; integration tests are skipped without their server, except on CI.
bool ServerAvailable(const std::string& path);

}  // namespace orvane::test
