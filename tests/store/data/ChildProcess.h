#pragma once
// A second process for the tests: this test program started again, running one test of the
// TwoProcessesChild suite. Those tests do their work only when ORVANE_TEST_CHILD is set, and
// report on their standard output, which the parent reads through a pipe.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace orvane::test {

class ChildProcess {
public:
    // Starts the child test `name` with ORVANE_TEST_CHILD set to `argument`.
    ChildProcess(const std::string& name, const std::string& argument) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::vector<std::string> env;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("ORVANE_TEST_CHILD=", 0) != 0) {
                env.emplace_back(*entry);
            }
        }
        env.push_back("ORVANE_TEST_CHILD=" + argument);
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::string filter = "--gtest_filter=TwoProcessesChild." + name;
        std::string self = "/proc/self/exe";
        char* argv[] = {self.data(), filter.data(), nullptr};
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, envp.data()) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out = fds[0];
    }
    ~ChildProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
        if (out >= 0) {
            close(out);
        }
    }
    bool Started() const { return pid > 0; }
    // The next line of the child's output that starts with `tag` (the test framework writes
    // lines of its own), without the newline; empty when the output ends first.
    std::string ReadReport(const std::string& tag) {
        for (;;) {
            std::string line;
            char c = 0;
            ssize_t got = 0;
            while ((got = read(out, &c, 1)) == 1 && c != '\n') {
                line += c;
            }
            if (line.rfind(tag, 0) == 0) {
                return line;
            }
            if (got != 1) {
                return std::string();
            }
        }
    }
    // Everything the child writes until it ends.
    std::string ReadAll() {
        std::string text;
        char chunk[4096];
        ssize_t got = 0;
        while ((got = read(out, chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
        }
        return text;
    }
    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
        }
    }
    int Wait() {
        int status = 0;
        if (pid > 0) {
            waitpid(pid, &status, 0);
            pid = -1;
        }
        return status;
    }
    pid_t Pid() const { return pid; }

private:
    pid_t pid = -1;
    int out = -1;
};

// The argument a child test was started with, or null in an ordinary run.
inline const char* ChildArgument() { return std::getenv("ORVANE_TEST_CHILD"); }

}  // namespace orvane::test
