// Speed of the store: importing a large calendar, and the month view's date-range query over a
// large store holding long-running series.
#include "ical/model/RIcsCalendar.h"
#include "store/ROrvaneDataManager.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SqlTextBuilders.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>


#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A data folder under the temporary folder, removed afterwards; the settings hive of the
// benchmark run goes there too.
struct BenchFolder {
    BenchFolder() {
        char pattern[] = "/tmp/orvane-bench-XXXXXX";
        path = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", (path / "config").c_str(), 1);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
};

// The benchmarks measure working stores only: a failed step ends the run.
void Check(RResult result, const char* what) {
    if (result != R_OK) {
        std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(result));
        std::abort();
    }
}

void Exec(ROrvaneDataManager* store, const char* sql) { Check(ExecuteSql(sql, SQL_MODE_EXEC, store, nullptr), sql); }

ROrvaneDataManager* OpenStore(const std::filesystem::path& folder) {
    auto* store = new ROrvaneDataManager();
    Check(store->Open(CStringW::FromUtf8((folder / "BrenmoorTech" / "Orvane").string())), "open");
    AccountRecord account;
    account.guid = "acc";
    Check(store->AddAccount(&account), "add account");
    CalendarRecord calendar;
    calendar.guid = "cal";
    Check(store->AddCalendar("acc", &calendar), "add calendar");
    return store;
}

std::string CalendarText(int events) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n";
    char line[512];
    for (int i = 0; i < events; ++i) {
        std::snprintf(line, sizeof line,
                      "BEGIN:VEVENT\r\nUID:event-%d\r\nSUMMARY:Event number %d\r\nLOCATION:Room %d\r\n"
                      "DTSTART:2024%02d%02dT%02d0000\r\nDTEND:2024%02d%02dT%02d3000\r\n"
                      "DTSTAMP:20240101T000000Z\r\n%sEND:VEVENT\r\n",
                      i, i, i % 40, i % 12 + 1, i % 28 + 1, 8 + i % 10, i % 12 + 1, i % 28 + 1, 8 + i % 10,
                      i % 20 == 0 ? "RRULE:FREQ=WEEKLY;COUNT=10\r\n" : "");
        text += line;
    }
    return text + "END:VCALENDAR\r\n";
}

void BM_ImportEvents(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    const std::string text = CalendarText(events);
    RIcsCalendar* calendar = new RIcsCalendar();
    Check(calendar->Parse(text.c_str()), "parse");
    for (auto _ : state) {
        state.PauseTiming();
        BenchFolder folder;
        ROrvaneDataManager* store = OpenStore(folder.path);
        state.ResumeTiming();
        Check(store->ImportIcsCalendar("acc", "cal", "bench.ics", "", "", calendar), "import");
        state.PauseTiming();
        store->Release();
        state.ResumeTiming();
    }
    calendar->Release();
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(events) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImportEvents)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rows written straight into the table, one transaction, so that building a large store is quick.
// With `movedEarly`, each series has one occurrence of its first year moved to another day of
// that year, as long-running meetings collect over time.
void FillStore(ROrvaneDataManager* store, int items, int series, bool movedEarly) {
    Exec(store, "begin;");
    const char* rules[] = {"FREQ=WEEKLY", "FREQ=WEEKLY;BYDAY=MO,WE,FR", "FREQ=DAILY;INTERVAL=2",
                           "FREQ=MONTHLY;BYDAY=2TU", "FREQ=MONTHLY"};
    char start[32];
    char end[32];
    for (int i = 0; i < items; ++i) {
        CStringA columns;
        CStringA values;
        auto text = [&](const char* name, const char* value) {
            AppendSqlColumnName(columns, name);
            AppendSqlTextValue(values, value);
        };
        const std::string guid = "item-" + std::to_string(i);
        text("guid", guid.c_str());
        text("parentCalendarGuid", "cal");
        text("parentAccountGuid", "acc");
        text("type", "VEVENT");
        text("summary", "A meeting with a summary of ordinary length");
        text("icsBlob", "BEGIN:VEVENT\r\nUID:x\r\nSUMMARY:A meeting with a summary of ordinary length\r\n"
                        "DTSTART:20200101T090000\r\nDTEND:20200101T100000\r\nEND:VEVENT\r\n");
        if (i < series) {
            // Series begun ten years before the month shown, without end.
            std::snprintf(start, sizeof start, "2015-%02d-%02d 09:00", i % 12 + 1, i % 28 + 1);
            text("rrule", rules[i % 5]);
            text("dtStart", start);
            text("dtPatternStart", start);
        } else {
            // Single items spread evenly over the eleven years up to the month shown.
            const int day = (i * 7919) % (11 * 365);
            std::snprintf(start, sizeof start, "%04d-%02d-%02d %02d:00", 2015 + day / 365, day % 365 / 31 % 12 + 1,
                          day % 28 + 1, 8 + i % 10);
            std::snprintf(end, sizeof end, "%.13s:30", start);
            text("dtStart", start);
            text("dtPatternStart", start);
            text("dtPatternEnd", end);
        }
        CStringA sql;
        sql.Format("insert into CalendarItems (%s) values (%s);", columns.GetString(), values.GetString());
        Exec(store, sql);
        if (movedEarly && i < series) {
            char recurrenceID[32];
            std::snprintf(recurrenceID, sizeof recurrenceID, "2015%02d%02dT090000", i % 12 + 1, i % 28 + 1);
            std::snprintf(start, sizeof start, "2015-%02d-%02d 15:00", i % 12 + 1, i % 28 + 1);
            sql.Format(
                "insert into CalendarItems (guid, parentCalendarGuid, parentAccountGuid, type, recurrenceID, dtStart, "
                "dtPatternStart) values ('%s', 'cal', 'acc', 'VEVENT', '%s', '%s', '%s');",
                guid.c_str(), recurrenceID, start, start);
            Exec(store, sql);
        }
    }
    Exec(store, "commit;");
}

void BM_MonthQuery(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const int series = static_cast<int>(state.range(1));
    BenchFolder folder;
    ROrvaneDataManager* store = OpenStore(folder.path);
    FillStore(store, items, series, state.range(2) != 0);
    // The six weeks that the month view shows for December 2025.
    RDateTime from;
    from.year = 2025;
    from.month = 11;
    from.day = 30;
    RDateTime to;
    to.year = 2026;
    to.month = 1;
    to.day = 10;
    to.hour = 23;
    to.minute = 59;
    to.second = 59;
    // The query traces two lines per call; keep them out of the measurement's output.
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDERR_FILENO);
    int found = 0;
    for (auto _ : state) {
        ItemPointerArray* list = nullptr;
        Check(store->GetCalendarItemsInDateRange("acc", from, to, &list), "query");
        found = ItemCount(list);
        store->FreeCalendarItemList(&list);
    }
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(quiet);
    state.counters["items shown"] = found;
    store->Release();
}
BENCHMARK(BM_MonthQuery)
    ->Args({1000, 10, 0})
    ->Args({50000, 500, 0})
    ->Args({50000, 500, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
