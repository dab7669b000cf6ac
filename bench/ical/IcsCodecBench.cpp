// Throughput of the iCalendar parser and writer over a generated feed of 10,000 events
// (a third repeating, with zones, attendees, alarms and folded descriptions; about 5 MB).
// The size series shows that parsing stays linear in the text's length.
//
// Then parsing throughput over real-world shapes: the iCalendar files the tests and the fuzz seeds
// hold (folded lines, many properties, VTIMEZONEs, several VCALENDARs per file, CR-only and
// LF-only line ends, stray and nested components), each distinct file once per pass. Small
// files are what a sync mostly reads, so the per-file cost counts as much as the per-byte cost.
// When libical is available the same files go through it in the same run, interleaved with ours
// so that load on the machine falls on both alike, and the ratio of the two rates is reported.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "tests/ical/support/IcsSampleCalendar.h"

#if ORVANE_HAVE_LIBICAL
#include <libical/ical.h>
#endif

namespace {

void BM_ParseCalendar(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    const std::string text = ics_test::SampleCalendar(events);
    for (auto _ : state) {
        auto* calendar = new RIcsCalendar();
        const RResult result = calendar->Parse(text.c_str());
        if (result != R_OK || calendar->GetEventCount() != events) {
            state.SkipWithError("parse failed");
        }
        benchmark::DoNotOptimize(calendar);
        calendar->Release();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * events);
    state.counters["text_MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ParseCalendar)->Arg(1250)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One repeating event with very many EXDATE lines: the rule's EXDATE set grows linearly too.
void BM_ParseManyExDates(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string text = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20200101T090000Z\r\nRRULE:FREQ=DAILY\r\n";
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "EXDATE:%08dT090000Z\r\n", 20000000 + i);
        text += line;
    }
    text += "END:VEVENT\r\nEND:VCALENDAR\r\n";
    for (auto _ : state) {
        auto* calendar = new RIcsCalendar();
        if (calendar->Parse(text.c_str()) != R_OK) {
            state.SkipWithError("parse failed");
        }
        calendar->Release();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_ParseManyExDates)->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond);

void BM_WriteCalendar(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    const std::string text = ics_test::SampleCalendar(events);
    auto* calendar = new RIcsCalendar();
    if (calendar->Parse(text.c_str()) != R_OK) {
        state.SkipWithError("parse failed");
    }
    std::size_t written = 0;
    for (auto _ : state) {
        // Every child's text is built again, not only the calendar's.
        for (RListNode* node = calendar->GetEventList().head; node != nullptr; node = node->next) {
            static_cast<RIcsEvent*>(node->payload)->BuildText();
        }
        calendar->BuildText();
        const char* out = calendar->GetText();
        written = out != nullptr ? std::char_traits<char>::length(out) : 0;
        benchmark::DoNotOptimize(out);
    }
    calendar->Release();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(written));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * events);
}
BENCHMARK(BM_WriteCalendar)->Arg(10000)->Unit(benchmark::kMillisecond);


// Every distinct .ics file under the corpus folders, in name order.
std::vector<std::string> LoadCorpus() {
    std::vector<std::filesystem::path> paths;
    for (const char* folder : {"/tests/ical/data", "/tests/fuzz/corpus/ics"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(std::string(ORVANE_SOURCE_DIR) + folder, error)) {
            if (entry.path().extension() == ".ics") {
                paths.push_back(entry.path());
            }
        }
    }
    std::sort(paths.begin(), paths.end(), [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    std::vector<std::string> texts;
    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
            texts.push_back(std::move(text));  // a seed copied from the test data counts once
        }
    }
    return texts;
}

const std::vector<std::string>& Corpus() {
    static const std::vector<std::string> corpus = LoadCorpus();
    return corpus;
}

std::int64_t CorpusBytes() {
    std::int64_t bytes = 0;
    for (const std::string& text : Corpus()) {
        bytes += static_cast<std::int64_t>(text.size());
    }
    return bytes;
}

// One pass of our parser over the corpus; the number of events read, so nothing is optimised away.
int ParsePass() {
    int events = 0;
    for (const std::string& text : Corpus()) {
        auto* calendar = new RIcsCalendar();
        const RResult result = calendar->Parse(text.c_str());
        benchmark::DoNotOptimize(result);
        events += calendar->GetEventCount();
        calendar->Release();
    }
    return events;
}

void BM_ParseCorpus(benchmark::State& state) {
    if (Corpus().empty()) {
        state.SkipWithError("no corpus files found under " ORVANE_SOURCE_DIR);
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParsePass());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * CorpusBytes());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Corpus().size()));
    state.counters["files"] = static_cast<double>(Corpus().size());
    state.counters["corpus_kB"] = static_cast<double>(CorpusBytes()) / 1e3;
}
BENCHMARK(BM_ParseCorpus)->Unit(benchmark::kMicrosecond);

#if ORVANE_HAVE_LIBICAL
// One pass of libical over the corpus: the text into a component tree, as our parser does.
int LibicalPass() {
    int components = 0;
    for (const std::string& text : Corpus()) {
        icalcomponent* root = icalparser_parse_string(text.c_str());
        if (root != nullptr) {
            components += icalcomponent_count_components(root, ICAL_ANY_COMPONENT);
            icalcomponent_free(root);
        }
    }
    return components;
}

void BM_ParseCorpusLibical(benchmark::State& state) {
    if (Corpus().empty()) {
        state.SkipWithError("no corpus files found under " ORVANE_SOURCE_DIR);
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(LibicalPass());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * CorpusBytes());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Corpus().size()));
}
BENCHMARK(BM_ParseCorpusLibical)->Unit(benchmark::kMicrosecond);

// Both parsers in the same iteration, each timed on its own: MB/s of each and how many times
// faster ours is.
void BM_ParseCorpusAgainstLibical(benchmark::State& state) {
    if (Corpus().empty()) {
        state.SkipWithError("no corpus files found under " ORVANE_SOURCE_DIR);
        return;
    }
    using Clock = std::chrono::steady_clock;
    constexpr int kPasses = 20;  // per parser and iteration, so that each timed stretch is long enough
    Clock::duration ours{};
    Clock::duration theirs{};
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < kPasses; ++i) {
            benchmark::DoNotOptimize(ParsePass());
        }
        auto middle = Clock::now();
        for (int i = 0; i < kPasses; ++i) {
            benchmark::DoNotOptimize(LibicalPass());
        }
        auto end = Clock::now();
        ours += middle - start;
        theirs += end - middle;
    }
    const double megabytes = static_cast<double>(state.iterations()) * kPasses * static_cast<double>(CorpusBytes()) / 1e6;
    const double oursSeconds = std::chrono::duration<double>(ours).count();
    const double theirSeconds = std::chrono::duration<double>(theirs).count();
    if (oursSeconds > 0 && theirSeconds > 0) {
        state.counters["orvane_MB/s"] = megabytes / oursSeconds;
        state.counters["libical_MB/s"] = megabytes / theirSeconds;
        state.counters["ratio"] = theirSeconds / oursSeconds;
    }
}
BENCHMARK(BM_ParseCorpusAgainstLibical)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
