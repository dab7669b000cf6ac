// The month view over a long-used calendar of 50,000 items (5,000 series with exceptions):
// start-up to the first drawn month, a draw that reloads the month, and a redraw. The start-up
// here runs in the process that built the store; ColdStartBench times it in a fresh process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "bench/ui/UiBenchStore.h"
#include "platform/messages/UiThreadLoop.h"
#include "store/ROrvaneDataManager.h"
#include "sync/ROrvaneAccountManager.h"
#include "ui/month/ROrvaneMonthView.h"
#include "ui/view/RContentPlaceHolderWnd.h"

namespace {

QApplication& App() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "orvane-bench";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// The store is made once per run, in a folder of its own that is removed at exit. The path is
// never destroyed: the removal at exit runs after the destructors of statics made before it.
const std::string& StoreFolder() {
    static const std::string& folder = *new std::string([] {
        char pattern[] = "/tmp/orvane-ui-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        std::string path = made != nullptr ? made : "/tmp/orvane-ui-bench";
        std::atexit([] { std::filesystem::remove_all(StoreFolder()); });
        (void)MakeUiBenchStore(path, true);
        return path;
    }());
    return folder;
}

RDateTime March2026() {
    RDateTime date;
    date.year = 2026;
    date.month = 3;
    date.day = 15;
    return date;
}

struct Opened {
    RRef<ROrvaneDataManager> store = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    RRef<ROrvaneAccountManager> accounts = RRef<ROrvaneAccountManager>::Adopt(new ROrvaneAccountManager);
    RContentPlaceHolderWnd host;
    RRef<ROrvaneMonthView> view = RRef<ROrvaneMonthView>::Adopt(new ROrvaneMonthView);

    Opened() {
        (void)store->Open(CStringW::FromUtf8(StoreFolder()));
        (void)accounts->Init(store.get());
        (void)accounts->LoadAccounts();
        host.resize(1100, 760);
        // ORVANE_BENCH_ZONE chooses another display zone (an Olson identifier).
        const char* zone = std::getenv("ORVANE_BENCH_ZONE");
        (void)view->Init(&host, CStringW::FromUtf8(zone != nullptr && *zone ? zone : "UTC"), store.get(),
                         accounts.get());
    }
    ~Opened() {
        view = nullptr;
        accounts->ReleaseAll();
    }
};

void BM_StartupToFirstDrawnMonth(benchmark::State& state) {
    App();
    StoreFolder();
    for (auto _ : state) {
        Opened opened;
        benchmark::DoNotOptimize(opened.view->Draw(March2026(), false));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StartupToFirstDrawnMonth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawWithReload(benchmark::State& state) {
    App();
    Opened opened;
    (void)opened.view->Draw(March2026(), false);
    for (auto _ : state) benchmark::DoNotOptimize(opened.view->Draw(March2026(), true));
    state.SetItemsProcessed(state.iterations());
    state.counters["queries"] = opened.view->QueryCount();
}
BENCHMARK(BM_DrawWithReload)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReDraw(benchmark::State& state) {
    App();
    Opened opened;
    (void)opened.view->Draw(March2026(), false);
    for (auto _ : state) benchmark::DoNotOptimize(opened.view->ReDraw());
    state.SetItemsProcessed(state.iterations());
    int placed = 0;
    for (int i = 0; i < 42; ++i) placed += static_cast<int>(opened.view->Cell(i).items.size());
    state.counters["rows"] = static_cast<double>(opened.view->LoadedItems().size());
    state.counters["placed"] = placed;
}
BENCHMARK(BM_ReDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
