// The account refresh over one Radicale calendar, through the real client, store and item files:
// the first full sync of 5,000 and of 20,000 events, a refresh after one event changed, and a
// refresh with nothing changed. The events are what servers hold for real calendars: each carries
// the VTIMEZONE of its zone (Europe/Berlin or America/New_York), and some repeat, with an
// excluded date and a moved occurrence. Each case reports the client's CPU time (and the
// kernel's share of it), the server's CPU time apart, the time the server took to answer (from
// its log) and the wall time less that (what the client adds to the wait), the requests sent
// (counted in the server's log, so the client runs without its debug log, as users run it), the
// peak resident size and SQLite's share of it, and the wall time with and without the 250 ms
// pauses that a refresh with a window to notify makes after every 200 downloaded items (the
// benchmark has no window, so it makes none; "wall_with_pauses_s" adds them back). The
// 20,000-event sync also reports how much the peak resident size grew per event over the
// 5,000-event one. Run it from its build folder (bench/): the server's configuration is found
// relative to the sources from there. The store, its item files and the server's files go under
// $TMPDIR (else /tmp), so the file system they are measured on can be chosen: creating the item
// files is much of the kernel's share, and its cost differs between file systems.
#include "foundation/ResultCodes.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
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

constexpr char kRadicale[] = "/usr/bin/radicale";

// The calendars of the server: each user holds one calendar "bench" of this many events.
struct Holder {
    const char* user;
    int items;
};
constexpr Holder kSmall{"alice", 5000};
constexpr Holder kLarge{"bob", 20000};

// The VTIMEZONE blocks as calendar programs write them into every resource that uses the zone.
constexpr char kBerlin[] =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nX-LIC-LOCATION:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
constexpr char kNewYork[] =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nX-LIC-LOCATION:America/New_York\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\nDTSTART:19700308T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\nDTSTART:19701101T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// "YYYYMMDDTHHMMSS" of the day `day` after 2022-01-01 at `hour`.
std::string LocalTime(int day, int hour) {
    using namespace std::chrono;
    const year_month_day date{sys_days{year{2022} / January / 1} + days{day}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02d0000", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), hour);
    return text;
}

// Event `i` of a calendar spread over five years: every other one in New York, the rest in
// Berlin; every eighth repeats weekly ten times, with one occurrence excluded and one moved.
std::string ZonedEventText(int i) {
    const bool berlin = i % 2 == 0;
    const std::string zone = berlin ? "Europe/Berlin" : "America/New_York";
    const std::string uid = "bench-" + std::to_string(i);
    const int day = (i * 7) % (5 * 365);
    const int hour = 8 + i % 10;
    const bool repeats = i % 8 == 1 || i % 8 == 4;
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//BrenmoorTech//Orvane bench//EN\r\n";
    text += berlin ? kBerlin : kNewYork;
    const auto event = [&](bool exception) {
        text += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T090000Z\r\nCREATED:20211201T120000Z\r\n";
        text += "LAST-MODIFIED:20251115T080000Z\r\n";
        if (exception) {
            text += "RECURRENCE-ID;TZID=" + zone + ":" + LocalTime(day + 28, hour) + "\r\n";
            text += "DTSTART;TZID=" + zone + ":" + LocalTime(day + 28, hour + 1) + "\r\n";
            text += "DTEND;TZID=" + zone + ":" + LocalTime(day + 28, hour + 2) + "\r\nSEQUENCE:1\r\n";
        } else {
            text += "DTSTART;TZID=" + zone + ":" + LocalTime(day, hour) + "\r\n";
            text += "DTEND;TZID=" + zone + ":" + LocalTime(day, hour + 1) + "\r\n";
        }
        text += "SUMMARY:Meeting " + std::to_string(i) + (exception ? " (moved)" : "") + "\r\n";
        text += "LOCATION:Room " + std::to_string(i % 40) + "\r\n";
        text += "DESCRIPTION:Agenda for meeting " + std::to_string(i) +
                ": the figures of the quarter\\, the plans for the next one and what is left over.\r\n";
        if (repeats && !exception) {
            text += "RRULE:FREQ=WEEKLY;COUNT=10\r\n";
            text += "EXDATE;TZID=" + zone + ":" + LocalTime(day + 14, hour) + "\r\n";
        }
        text += "STATUS:CONFIRMED\r\nTRANSP:OPAQUE\r\nEND:VEVENT\r\n";
    };
    event(false);
    if (repeats) event(true);
    text += "END:VCALENDAR\r\n";
    return text;
}

// Lays out the server's store in `folder`: the users of kSmall and kLarge (password "secret"),
// each with one calendar "bench" of zoned events. Returns the config's path.
std::string SeedServer(const std::string& folder) {
    std::ofstream users(folder + "/users");
    for (const Holder& holder : {kSmall, kLarge}) {
        const fs::path calendar = fs::path(folder) / "collections" / "collection-root" / holder.user / "bench";
        fs::create_directories(calendar);
        std::ofstream(calendar / ".Radicale.props") << "{\"tag\": \"VCALENDAR\", \"D:displayname\": \"Bench\"}";
        for (int i = 0; i < holder.items; ++i) {
            std::ofstream(calendar / ("bench-" + std::to_string(i) + ".ics")) << ZonedEventText(i);
        }
        users << holder.user << ":secret\n";
    }
    users.close();
    return orvane::test::WriteRadicaleConfig(folder);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The kernel's share of CPU seconds (file creation, flushes, sockets).
double SystemCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
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

// What the server logged from `offset` on: the requests (its lines "<VERB> request for ...") and
// the seconds it took to answer them (its lines "... response status for ... in <s> seconds").
struct ServerLog {
    int requests = 0;
    double seconds = 0;
};

ServerLog ReadServerLog(const fs::path& log, std::streamoff offset) {
    std::ifstream in(log, std::ios::binary);
    in.seekg(offset);
    ServerLog read;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("PROPFIND request for") != std::string::npos || line.find("REPORT request for") != std::string::npos) {
            ++read.requests;
        }
        const std::size_t status = line.find(" response status for ");
        const std::size_t in = line.rfind(" in ");
        if (status != std::string::npos && in != std::string::npos && in > status) {
            read.seconds += std::strtod(line.c_str() + in + 4, nullptr);
        }
    }
    return read;
}

std::streamoff LogSize(const fs::path& log) {
    std::error_code failed;
    const auto size = fs::file_size(log, failed);
    return failed ? 0 : static_cast<std::streamoff>(size);
}

struct World {
    fs::path root;
    std::unique_ptr<orvane::test::ServerProcess> server;
    RRef<ROrvaneDataManager> store;
    RRef<ROrvaneAccountManager> manager;
    RRef<ROrvaneAccount> account;
    std::string error;

    World() {
        const char* parent = std::getenv("TMPDIR");
        std::string pattern = std::string(parent != nullptr && *parent != '\0' ? parent : "/tmp") +
                              "/orvane-sync-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            error = "no folder could be made at " + pattern;
            return;
        }
        root = pattern;
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config-home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "data-home").c_str(), 1);
        fs::create_directories(root / "config-home");
        platform::dns::SetSrvResolver([](const std::string&, platform::dns::SrvRecord&) -> DWORD {
            return platform::dns::DNS_ERROR_RCODE_NAME_ERROR;
        });
        server = std::make_unique<orvane::test::ServerProcess>();
        error = server->Start({kRadicale, "-C", SeedServer(root.string())}, Log().string(), std::chrono::seconds(60));
    }
    // Radicale reads and caches every file at its first listing of a calendar, which on a busy
    // machine takes longer than the client waits for a silent server; that is the server's own
    // start-up cost, paid before anything is measured (and only for the calendars measured).
    void Warm(const Holder& holder) {
        if (!error.empty() || !warmed.insert(holder.user).second) return;
        const std::string warm = std::string("curl -s -o /dev/null -m 600 -u ") + holder.user +
                                 ":secret -X PROPFIND -H 'Depth: 1' http://127.0.0.1:" +
                                 std::to_string(server->Port()) + "/" + holder.user + "/bench/";
        if (std::system(warm.c_str()) != 0) error = "the warm-up listing failed";
    }
    ~World() {
        Close();
        server.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path Log() const { return root / "server.log"; }
    // A fresh store with the account of the user.
    void Open(const char* user) {
        Close();
        const fs::path data = root / ("data-" + std::to_string(++opened));
        store = MakeRef<ROrvaneDataManager>();
        store->Open(CStringW::FromUtf8(data.string()));
        manager = MakeRef<ROrvaneAccountManager>();
        manager->Init(store.get());
        account = manager->CreateAccount("Bench", user, "secret");
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
    std::set<std::string> warmed;
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

bool Ready(benchmark::State& state, const Holder& holder) {
    World& world = TheWorld();
    world.Warm(holder);
    if (!orvane::test::ServerAvailable(kRadicale)) {
        state.SkipWithError("radicale is not available");
        return false;
    }
    if (!world.error.empty()) {
        state.SkipWithError(("the server did not start: " + world.error).c_str());
        return false;
    }
    return true;
}

// Runs one measured refresh and reports its costs.
void Measure(benchmark::State& state, const std::function<RResult()>& refresh, int downloads) {
    World& world = TheWorld();
    double cpu = 0, systemCpu = 0, serverCpu = 0, serverWall = 0, wall = 0;
    int requests = 0;
    for (auto _ : state) {
        const std::streamoff logStart = LogSize(world.Log());
        // Read before the client's own clock starts: reading every process's /proc entry is
        // the benchmark's cost, not the client's.
        const double serverBefore = ChildrenCpuSeconds();
        sqlite3_memory_highwater(1);
        const double cpuBefore = CpuSeconds();
        const double systemBefore = SystemCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const RResult result = refresh();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += CpuSeconds() - cpuBefore;
        systemCpu += SystemCpuSeconds() - systemBefore;
        serverCpu += ChildrenCpuSeconds() - serverBefore;
        const ServerLog logged = ReadServerLog(world.Log(), logStart);
        requests += logged.requests;
        serverWall += logged.seconds;
        if (result != 0) state.SkipWithError(("the refresh failed: " + std::to_string(result)).c_str());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["client_cpu_s"] = cpu / n;
    state.counters["client_system_cpu_s"] = systemCpu / n;
    state.counters["server_cpu_s"] = serverCpu / n;
    state.counters["wall_s"] = wall / n;
    state.counters["server_s"] = serverWall / n;
    state.counters["wall_minus_server_s"] = (wall - serverWall) / n;
    state.counters["wall_with_pauses_s"] = wall / n + (downloads / 200) * 0.25;
    state.counters["requests"] = requests / n;
    state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
    // SQLite's own share of it (its page cache mostly), at its highest during the last refresh.
    state.counters["sqlite_peak_kb"] = static_cast<double>(sqlite3_memory_highwater(0)) / 1024.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * downloads);
}

// The peak resident size after the 5,000-event first sync, for the growth to the 20,000 one.
long g_peakAfterSmallKb = 0;

void FirstFullSync(benchmark::State& state, const Holder& holder) {
    if (!Ready(state, holder)) return;
    World& world = TheWorld();
    Measure(state, [&] {
        world.Open(holder.user);
        return world.Refresh(true);
    }, holder.items);
}

void BM_FirstFullSync5000(benchmark::State& state) {
    FirstFullSync(state, kSmall);
    g_peakAfterSmallKb = PeakRssKb();
}

void BM_FirstFullSync20000(benchmark::State& state) {
    FirstFullSync(state, kLarge);
    if (g_peakAfterSmallKb > 0) {
        state.counters["peak_rss_growth_b_per_event"] =
            static_cast<double>(PeakRssKb() - g_peakAfterSmallKb) * 1024.0 / (kLarge.items - kSmall.items);
    }
}

void BM_RefreshWithOneChangedItem(benchmark::State& state) {
    if (!Ready(state, kSmall)) return;
    World& world = TheWorld();
    world.Open(kSmall.user);
    static_cast<void>(world.Refresh(true));  // the state the measured refreshes start from
    int round = 0;
    Measure(state, [&] {
        state.PauseTiming();
        auto connection = MakeRef<RWebDAVConnection>();
        connection->Initialize("127.0.0.1", world.server->Port(), false, kSmall.user, "secret");
        connection->SetPath((std::string("/") + kSmall.user + "/bench/").c_str());
        const std::string text = orvane::test::EventText("bench-7", "Changed " + std::to_string(++round));
        connection->Put("Content-Type: text/calendar", text.c_str(), "bench-7.ics");
        state.ResumeTiming();
        return world.Refresh(false);
    }, 1);
}

void BM_RefreshWithNothingChanged(benchmark::State& state) {
    if (!Ready(state, kSmall)) return;
    World& world = TheWorld();
    world.Open(kSmall.user);
    static_cast<void>(world.Refresh(true));
    static_cast<void>(world.Refresh(false));
    Measure(state, [&] { return world.Refresh(false); }, 0);
}

}  // namespace

BENCHMARK(BM_FirstFullSync5000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstFullSync20000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefreshWithOneChangedItem)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefreshWithNothingChanged)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
