// A full sync of 1,000 items from a Radicale started on 127.0.0.1 for the run: collection tag,
// entity tags and calendar-multiget batches through the real client. Reports the wall time per
// sync and the requests it took (expected: 2 + ceil(N / 50) for the one changed calendar).
// The items are written straight into Radicale's store, so setting up takes no uploads.
#include "foundation/ResultCodes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "dav/caldav/RCalDAVCalendar.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "tests/dav/integration/ServerProcess.h"

namespace fs = std::filesystem;

namespace {

constexpr int kItems = 1000;
constexpr char kRadicale[] = "/usr/bin/radicale";

void BM_RadicaleFullSync1000(benchmark::State& state) {
    if (!orvane::test::ServerAvailable(kRadicale)) {
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
        const std::string config = orvane::test::SeedRadicaleBenchStore(root.string(), kItems);
        orvane::test::ServerProcess server;
        const std::string startError =
            server.Start({kRadicale, "-C", config}, (root / "log").string(), std::chrono::seconds(20));
        if (!startError.empty()) {
            state.SkipWithError("radicale did not start");
        } else {
            const fs::path log = root / "requests.log";
            const orvane::test::RequestLog requestLog(log.string());
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
                requests = requestLog.Count("PROPFIND") + requestLog.Count("REPORT");
                if (!ok) state.SkipWithError("sync failed");
                state.ResumeTiming();
            }
            state.counters["requests"] = requests;
            state.counters["expected"] = 2 + (kItems + 49) / 50;
            state.counters["items"] = kItems;
        }
    }
    fs::remove_all(root);
}
BENCHMARK(BM_RadicaleFullSync1000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
