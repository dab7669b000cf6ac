#include "tests/dav/integration/ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace orvane::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last run of digits on the "Listening on" line, or 0.
int PortFromLog(const std::string& log) {
    const size_t line = log.find("Listening on");
    if (line == std::string::npos) return 0;
    const size_t end = log.find('\n', line);
    const std::string text = log.substr(line, end == std::string::npos ? std::string::npos : end - line);
    size_t last = text.find_last_of("0123456789");
    if (last == std::string::npos) return 0;
    size_t first = last;
    while (first > 0 && std::isdigit(static_cast<unsigned char>(text[first - 1]))) --first;
    return std::stoi(text.substr(first, last - first + 1));
}

}  // namespace

std::string ServerProcess::Start(const std::vector<std::string>& argv, const std::string& logPath, std::chrono::seconds timeout) {
    const pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        const int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        setpgid(0, 0);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        port_ = PortFromLog(ReadFile(logPath));
        if (port_ != 0) return {};
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return "server exited: " + ReadFile(logPath);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    return "server did not start in time: " + ReadFile(logPath);
}

void ServerProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string FixtureFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "fixtures").string();
}

bool ServerAvailable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace orvane::test
