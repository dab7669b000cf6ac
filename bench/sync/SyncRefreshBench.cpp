// The account refresh over one Radicale calendar of 5,000 events, through the real client, store
// and item files: the first full sync, a refresh after one event changed, and a refresh with
// nothing changed. Each reports the client's CPU time, the server's CPU time apart, the requests
// sent, the peak resident size, and the wall time with and without the 250 ms pauses that a
// refresh with a window to notify makes after every 200 downloaded items (the benchmark has no
// window, so it makes none; "wall_with_pauses_s" adds them back).
#include "foundation/ResultCodes.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "dav/http/RWebDAVConnection.h"
#include "platform/dns/SrvLookup.h"
#include "store/ROrvaneDataManager.h"
#include "sync/AppContext.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "tests/dav/integration/ServerProcess.h"

namespace fs = std::filesystem;

namespace {

constexpr int kItems = 5000;
constexpr char kRadicale[] = "/usr/bin/radicale";

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// CPU seconds of this process's children (the server), read from /proc.
double ChildrenCpuSeconds() {
    double total = 0;
    const long ticks = sysconf(_SC_CLK_TCK);
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return 0;
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        std::string state;
        long ppid = 0;
        fields >> state >> ppid;
        if (ppid != getpid()) continue;
        std::string skip;
        for (int i = 0; i < 9; ++i) fields >> skip;
        unsigned long utime = 0, stime = 0;
        fields >> utime >> stime;
        total += static_cast<double>(utime + stime) / static_cast<double>(ticks);
    }
    closedir(proc);
    return total;
}

struct World {
    fs::path root;
    std::unique_ptr<orvane::test::ServerProcess> server;
    RRef<ROrvaneDataManager> store;
    RRef<ROrvaneAccountManager> manager;
    RRef<ROrvaneAccount> account;
    std::string error;

    World() {
        char pattern[] = "/tmp/orvane-sync-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config-home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "data-home").c_str(), 1);
        fs::create_directories(root / "config-home");
        platform::dns::SetSrvResolver([](const std::string&, platform::dns::SrvRecord&) -> DWORD {
            return platform::dns::DNS_ERROR_RCODE_NAME_ERROR;
        });
        server = std::make_unique<orvane::test::ServerProcess>();
        error = server->Start({kRadicale, "-C", orvane::test::SeedRadicaleBenchStore(root.string(), kItems)},
                              (root / "log").string(), std::chrono::seconds(20));
        // Radicale reads and caches 5,000 files at its first listing, which on a busy machine
        // takes longer than the client waits for a silent server; that is the server's own
        // start-up cost, paid here before anything is measured.
        if (error.empty()) {
            const std::string warm = "curl -s -o /dev/null -u alice:secret -X PROPFIND -H 'Depth: 1' http://127.0.0.1:" +
                                     std::to_string(server->Port()) + "/alice/bench/";
            if (std::system(warm.c_str()) != 0) error = "the warm-up listing failed";
        }
    }
    ~World() {
        Close();
        server.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // A fresh store with the account of alice.
    void Open() {
        Close();
        const fs::path data = root / ("data-" + std::to_string(++opened));
        store = MakeRef<ROrvaneDataManager>();
        store->Open(CStringW::FromUtf8(data.string()));
        manager = MakeRef<ROrvaneAccountManager>();
        manager->Init(store.get());
        account = manager->CreateAccount("Bench", "alice", "secret");
        account->SetAddress(("http://127.0.0.1:" + std::to_string(server->Port()) + "/").c_str());
    }
    void Close() {
        account.reset();
        if (manager) manager->ReleaseAll();
        manager.reset();
        store.reset();
    }
    // One refresh as the worker runs it, on this thread.
    RResult Refresh(bool full) {
        RRef<RCalDAVAccount> calDAV = account->GetCalDAVAccount();
        RWebDAVConnection* connection = nullptr;
        calDAV->GetConnection(&connection);
        const AccountRecord record = account->GetRecord();
        if (connection == nullptr) calDAV->ConnectByUrl(record.username, record.password, record.address);
        calDAV->SetCredentials(record.username, record.password);
        RResult result = calDAV->Refresh(full);
        if (result == 0) result = account->PerformRefresh(full);
        return result;
    }
    int opened = 0;
};

World& TheWorld() {
    // Never destroyed (its store objects are not torn down at exit), but its server is stopped and
    // its folder removed when the program ends: a server left running would outlive every run.
    static World* world = [] {
        World* made = new World();
        std::atexit([] {
            TheWorld().server.reset();
            std::error_code ignored;
            fs::remove_all(TheWorld().root, ignored);
        });
        return made;
    }();
    return *world;
}

// Runs one measured refresh and reports its costs.
void Measure(benchmark::State& state, const std::function<RResult()>& refresh, int downloads) {
    World& world = TheWorld();
    const fs::path log = world.root / "requests.log";
    double cpu = 0, serverCpu = 0, wall = 0;
    int requests = 0;
    for (auto _ : state) {
        const orvane::test::RequestLog requestLog(log.string());
        const double cpuBefore = CpuSeconds();
        const double serverBefore = ChildrenCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const RResult result = refresh();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += CpuSeconds() - cpuBefore;
        serverCpu += ChildrenCpuSeconds() - serverBefore;
        requests += requestLog.Count("PROPFIND") + requestLog.Count("REPORT");
        if (result != 0) state.SkipWithError(("the refresh failed: " + std::to_string(result)).c_str());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["client_cpu_s"] = cpu / n;
    state.counters["server_cpu_s"] = serverCpu / n;
    state.counters["wall_s"] = wall / n;
    state.counters["wall_with_pauses_s"] = wall / n + (downloads / 200) * 0.25;
    state.counters["requests"] = requests / n;
    state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
}

void BM_FirstFullSync5000(benchmark::State& state) {
    World& world = TheWorld();
    if (!orvane::test::ServerAvailable(kRadicale) || !world.error.empty()) {
        state.SkipWithError("radicale is not available");
        return;
    }
    Measure(state, [&] {
        world.Open();
        return world.Refresh(true);
    }, kItems);
}

void BM_RefreshWithOneChangedItem(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.error.empty()) {
        state.SkipWithError("radicale is not available");
        return;
    }
    world.Open();
    world.Refresh(true);
    int round = 0;
    Measure(state, [&] {
        state.PauseTiming();
        auto connection = MakeRef<RWebDAVConnection>();
        connection->Initialize("127.0.0.1", world.server->Port(), false, "alice", "secret");
        connection->SetPath("/alice/bench/");
        const std::string text = orvane::test::EventText("bench-7", "Changed " + std::to_string(++round));
        connection->Put("Content-Type: text/calendar", text.c_str(), "bench-7.ics");
        state.ResumeTiming();
        return world.Refresh(false);
    }, 1);
}

void BM_RefreshWithNothingChanged(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.error.empty()) {
        state.SkipWithError("radicale is not available");
        return;
    }
    world.Open();
    world.Refresh(true);
    world.Refresh(false);
    Measure(state, [&] { return world.Refresh(false); }, 0);
}

}  // namespace

BENCHMARK(BM_FirstFullSync5000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefreshWithOneChangedItem)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefreshWithNothingChanged)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
