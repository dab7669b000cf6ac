// Start-up as the user meets it: each measurement starts the program afresh in a process of its
// own (orvane_start_probe: the program's main with a watch beside it) over a store built
// beforehand, and times it from exec to the first drawn month. Counters, as the child reports them
// at its first drawn month: its peak and present resident memory (MB; the largest of the runs),
// and its time from exec to its application object (ms, the mean); and the CPU time of the whole
// child, its shut-down included (ms, the mean, from wait4), which a busy machine disturbs less.
// First argument: 0 for a store with the calendar but no items, 1 for the 50,000-item store with
// its 45,000 item files, as a synchronised calendar keeps them (one file per resource).
// A second argument of 1 sets the child's clock to 15 March 2026, the last full month of the
// data, for a user whose calendar reaches today; with 0 the child draws the month of the real
// today, as the program does. The display is Qt's offscreen one.
// ORVANE_START_BENCH_HOME=<folder> keeps the two homes in that folder ("empty", "full") for
// another run or a profiler, and reuses them when they are there.
// BM_OpenStore times the store's open alone, in this process, over the same homes.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/start/MonotonicClock.h"
#include "bench/ui/UiBenchStore.h"
#include "store/sqlite/CppSQLite3Table.h"

extern char** environ;

namespace {

// A home of its own for each store (HOME and the XDG folders point into it), removed at exit.
struct StartHome {
    std::string root;
    std::string Data() const { return root + "/data"; }
    std::string Config() const { return root + "/config"; }
    std::string Runtime() const { return root + "/runtime"; }
    std::string StoreFolder() const { return Data() + "/BrenmoorTech/Orvane"; }
};

std::vector<std::string>& MadeRoots() {
    static std::vector<std::string> roots;
    return roots;
}

// Writes the item file of every resource of the calendar, its text that of one of its rows.
void WriteItemFiles(ROrvaneDataManager* store, const char* accountGuid, const char* calendarGuid) {
    CppSQLite3Table rows;
    if (ExecuteSql("select localFileName, min(icsBlob) as text from CalendarItems group by localFileName;",
                   SQL_MODE_GTBL, store, &rows) != R_OK) {
        return;
    }
    std::vector<ROrvaneDataManager::ItemFileText> batch;
    for (int row = 0; row < rows.numRows(); ++row) {
        rows.setRow(row);
        batch.push_back({rows.getStringField("text"), rows.getStringField("localFileName")});
        if (batch.size() == 1000 || row + 1 == rows.numRows()) {
            (void)store->WriteCalendarItemFiles(batch, calendarGuid, accountGuid);
            batch.clear();
        }
    }
}

StartHome MakeHome(bool filled) {
    StartHome home;
    if (const char* kept = std::getenv("ORVANE_START_BENCH_HOME"); kept != nullptr && *kept) {
        home.root = std::string(kept) + (filled ? "/full" : "/empty");
        if (std::filesystem::exists(home.StoreFolder() + "/OrvaneDB.sqlite")) return home;
    } else {
        char pattern[] = "/tmp/orvane-start-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        home.root = made != nullptr ? made : "/tmp/orvane-start-bench";
        if (MadeRoots().empty()) {
            std::atexit([] {
                for (const std::string& root : MadeRoots()) std::filesystem::remove_all(root);
            });
        }
        MadeRoots().push_back(home.root);
    }
    std::filesystem::create_directories(home.Config());
    // Qt wants the runtime folder to be the user's alone, as a session's is.
    std::filesystem::create_directories(home.Runtime());
    std::filesystem::permissions(home.Runtime(), std::filesystem::perms::owner_all);
    // The store writes its settings where the child will read them.
    setenv("XDG_CONFIG_HOME", home.Config().c_str(), 1);
    const RRef<ROrvaneDataManager> store = MakeUiBenchStore(home.StoreFolder(), filled);
    if (filled) WriteItemFiles(store.get(), "__Subscriptions_GUID__", "cal");
    return home;
}

const StartHome& HomeFor(bool filled) {
    static const StartHome empty = MakeHome(false);
    static const StartHome full = MakeHome(true);
    return filled ? full : empty;
}

struct StartRun {
    bool ok = false;
    double toFirstMonthSeconds = 0;
    double toApplicationSeconds = 0;
    double peakResidentMb = 0;
    double residentMb = 0;
    double cpuSeconds = 0;
};

// Reads "<name> <ns>" from the child's report; -1 when missing.
long long ReportedStamp(const std::string& report, const std::string& name) {
    const std::size_t at = report.find(name + " ");
    return at == std::string::npos ? -1 : std::atoll(report.c_str() + at + name.size() + 1);
}

// Noon of 15 March 2026 (UTC), in seconds since 1970.
long long InsideTheData() {
    std::tm parts{};
    parts.tm_year = 2026 - 1900;
    parts.tm_mon = 2;
    parts.tm_mday = 15;
    parts.tm_hour = 12;
    return static_cast<long long>(timegm(&parts));
}

StartRun StartOnce(const StartHome& home, bool insideTheData) {
    StartRun run;
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (text.rfind("HOME=", 0) != 0 && text.rfind("XDG_", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
            text.rfind("ORVANE_START_PROBE_NOW=", 0) != 0) {
            env.push_back(text);
        }
    }
    env.push_back("HOME=" + home.root);
    env.push_back("XDG_DATA_HOME=" + home.Data());
    env.push_back("XDG_CONFIG_HOME=" + home.Config());
    env.push_back("XDG_RUNTIME_DIR=" + home.Runtime());
    env.push_back("QT_QPA_PLATFORM=offscreen");
    if (insideTheData) env.push_back("ORVANE_START_PROBE_NOW=" + std::to_string(InsideTheData()));
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string program = ORVANE_START_PROBE;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    const long long started = MonotonicNanoseconds();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; spawned == 0 && (got = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) report.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    if (spawned != 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
    const long long firstMonth = ReportedStamp(report, "first-month");
    const long long application = ReportedStamp(report, "application");
    const long long peakKb = ReportedStamp(report, "peak-kb");
    const long long residentKb = ReportedStamp(report, "rss-kb");
    if (firstMonth < started || application < started || peakKb < 0 || residentKb < 0) return run;
    run.ok = true;
    run.toFirstMonthSeconds = static_cast<double>(firstMonth - started) / 1e9;
    run.toApplicationSeconds = static_cast<double>(application - started) / 1e9;
    run.peakResidentMb = static_cast<double>(peakKb) / 1024.0;
    run.residentMb = static_cast<double>(residentKb) / 1024.0;
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return run;
}

void BM_ColdStartToFirstDrawnMonth(benchmark::State& state) {
    const StartHome& home = HomeFor(state.range(0) != 0);
    double peak = 0;
    double resident = 0;
    double toApplication = 0;
    double cpu = 0;
    for (auto _ : state) {
        const StartRun run = StartOnce(home, state.range(1) != 0);
        if (!run.ok) {
            state.SkipWithError("the start-up probe failed");
            break;
        }
        state.SetIterationTime(run.toFirstMonthSeconds);
        peak = std::max(peak, run.peakResidentMb);
        resident = std::max(resident, run.residentMb);
        toApplication += run.toApplicationSeconds;
        cpu += run.cpuSeconds;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["peak_rss_MB"] = peak;
    state.counters["rss_MB"] = resident;
    const auto runs = static_cast<double>(state.iterations());
    state.counters["to_app_ms"] = runs > 0 ? toApplication * 1000 / runs : 0;
    state.counters["cpu_ms"] = runs > 0 ? cpu * 1000 / runs : 0;
}
BENCHMARK(BM_ColdStartToFirstDrawnMonth)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The store's part of start-up alone, in this process: opening the store of the child's home.
void BM_OpenStore(benchmark::State& state) {
    const StartHome& home = HomeFor(state.range(0) != 0);
    for (auto _ : state) {
        RRef<ROrvaneDataManager> store = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
        if (store->Open(CStringW::FromUtf8(home.StoreFolder())) != R_OK) {
            state.SkipWithError("the store did not open");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenStore)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
