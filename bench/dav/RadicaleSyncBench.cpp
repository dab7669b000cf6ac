// A full sync of 1,000 items from a Radicale started on 127.0.0.1 for the run: collection tag,
// entity tags and calendar-multiget batches through the real client. Reports the wall time per
// sync and the requests it took (expected: 2 + ceil(N / 50) for the one changed calendar).
// The items are written straight into Radicale's store, so setting up takes no uploads.
#include "foundation/ResultCodes.h"  // before any standard header (R_OK)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "dav/caldav/RCalDAVCalendar.h"
#include "foundation/debug/RDebugLog.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/settings/SettingsHive.h"

namespace fs = std::filesystem;

namespace {

constexpr int kItems = 1000;
constexpr char kRadicale[] = "/usr/bin/radicale";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A Radicale process with a prepared store; stopped by its pid.
class RadicaleRun {
public:
    explicit RadicaleRun(const fs::path& root) {
        const fs::path calendar = root / "collections" / "collection-root" / "alice" / "bench";
        fs::create_directories(calendar);
        std::ofstream(calendar / ".Radicale.props") << "{\"tag\": \"VCALENDAR\", \"D:displayname\": \"Bench\"}";
        for (int i = 0; i < kItems; ++i) {
            const std::string uid = "bench-" + std::to_string(i);
            std::ofstream(calendar / (uid + ".ics"))
                << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//BrenmoorTech//Orvane bench//EN\r\nBEGIN:VEVENT\r\nUID:" << uid
                << "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:Item " << i
                << "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        }
        std::ofstream(root / "users") << "alice:secret\n";
        std::string config = ReadFile(fs::path(__FILE__).parent_path().parent_path().parent_path() / "tests/dav/fixtures/radicale.config");
        config = std::regex_replace(config, std::regex("@STORE@"), (root / "collections").string());
        config = std::regex_replace(config, std::regex("@USERS@"), (root / "users").string());
        std::ofstream(root / "config") << config;
        const std::string log = (root / "log").string();
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            const std::string configPath = (root / "config").string();
            execl(kRadicale, kRadicale, "-C", configPath.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::regex listening("Listening on '\\[127\\.0\\.0\\.1\\]:([0-9]+)'");
        for (int i = 0; i < 400 && port_ == 0; ++i) {
            std::smatch m;
            const std::string text = ReadFile(log);
            if (std::regex_search(text, m, listening)) port_ = std::stoi(m[1]);
            else std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~RadicaleRun() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

void SetDebugLog(DWORD value) {
    using namespace platform;
    HKEY key = nullptr;
    if (RegCreateKey(HKEY_CURRENT_USER, kOrvaneSettingsKey, &key) != 0) return;
    RegSetValue(key, kDebugLogValueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

int CountRequests(const fs::path& log) {
    std::ifstream in(log, std::ios::binary);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (line.rfind("PROPFIND 127.0.0.1:", 0) == 0 || line.rfind("REPORT 127.0.0.1:", 0) == 0) ++n;
    }
    return n;
}

void BM_RadicaleFullSync1000(benchmark::State& state) {
    if (access(kRadicale, X_OK) != 0) {
        state.SkipWithError("radicale is not installed");
        return;
    }
    char pattern[] = "/tmp/orvane-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    // The request count comes from the debug log; keep the settings and the log in the run's folder.
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config-home").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data-home").c_str(), 1);
    fs::create_directories(root / "config-home");
    {
        RadicaleRun server(root);
        if (server.Port() == 0) {
            state.SkipWithError("radicale did not start");
        } else {
            const fs::path log = root / "requests.log";
            g_debugLog.Open(log.c_str());
            SetDebugLog(1);
            int requests = 0;
            for (auto _ : state) {
                state.PauseTiming();
                fs::remove(log);
                auto* calendar = new RCalDAVCalendar();
                calendar->Open("127.0.0.1", server.Port(), "/alice/bench/", false, "alice", "secret");
                state.ResumeTiming();

                bool ok = calendar->FetchCtag() == 0 && calendar->IsChanged() && calendar->FetchEtags() == 0;
                RXmlEtagResponse* listing = nullptr;
                calendar->GetEtagResponse(&listing);
                ok = ok && listing != nullptr;
                for (int i = 0; ok && i < listing->GetCount(); ++i) {
                    const auto& record = listing->Records()[static_cast<size_t>(i)];
                    if (record.href.Find(".ics") >= 0) calendar->AddMultigetHref(record.href);
                }
                ok = ok && calendar->FetchMultiget() == 0;
                RXmlMultigetResponse* items = nullptr;
                calendar->GetMultigetResponse(&items);
                ok = ok && items != nullptr && items->GetCount() == kItems;

                state.PauseTiming();
                calendar->Release();
                requests = CountRequests(log);
                if (!ok) state.SkipWithError("sync failed");
                state.ResumeTiming();
            }
            SetDebugLog(0);
            g_debugLog.Reset();
            state.counters["requests"] = requests;
            state.counters["expected"] = 2 + (kItems + 49) / 50;
            state.counters["items"] = kItems;
        }
    }
    fs::remove_all(root);
}
BENCHMARK(BM_RadicaleFullSync1000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
