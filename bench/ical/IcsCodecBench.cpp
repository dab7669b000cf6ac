// Throughput of the iCalendar parser and writer over a generated feed of 10,000 events
// (a third repeating, with zones, attendees, alarms and folded descriptions; about 5 MB).
// The size series shows that parsing stays linear in the text's length.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "tests/ical/support/IcsSampleCalendar.h"

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

}  // namespace
