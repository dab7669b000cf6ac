// Heap bytes that a parsed event keeps, plain and repeating, over the generated calendar of
// 10,000 events, and the parser's throughput on it. The program counts the live bytes of every
// allocation, so the counters are exact for this build.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "ical/model/RIcsCalendar.h"
#include "tests/ical/support/IcsSampleCalendar.h"

namespace {

std::atomic<long long> g_liveBytes{0};

void* Counted(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    g_liveBytes.fetch_add(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
    return block;
}

void Uncounted(void* block) noexcept {
    if (block == nullptr) return;
    g_liveBytes.fetch_sub(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Counted(size); }
void* operator new[](std::size_t size) { return Counted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Counted(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept { Uncounted(block); }
void operator delete[](void* block) noexcept { Uncounted(block); }
void operator delete(void* block, std::size_t) noexcept { Uncounted(block); }
void operator delete[](void* block, std::size_t) noexcept { Uncounted(block); }

namespace {

constexpr int kEvents = 10000;

// The generated calendar's events of one kind: repeating (every third) or not.
std::string CalendarOf(bool repeating) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + ics_test::SampleTimeZones();
    for (int i = 0; i < kEvents; ++i) {
        if ((i % 3 == 0) == repeating) text += ics_test::SampleEvent(i);
    }
    return text + "END:VCALENDAR\r\n";
}

// Live heap bytes per event of a parsed calendar (its zones included, which are few).
void MeasureKeptBytes(benchmark::State& state, const std::string& text, const char* counter) {
    double perEvent = 0;
    for (auto _ : state) {
        const long long before = g_liveBytes.load();
        auto* calendar = new RIcsCalendar();
        if (calendar->Parse(text.c_str()) != R_OK || calendar->GetEventCount() == 0) {
            state.SkipWithError("parse failed");
            calendar->Release();
            break;
        }
        perEvent = static_cast<double>(g_liveBytes.load() - before) / calendar->GetEventCount();
        calendar->Release();
    }
    state.counters[counter] = perEvent;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_BytesPerEvent_All(benchmark::State& state) {
    static const std::string text = ics_test::SampleCalendar(kEvents);
    MeasureKeptBytes(state, text, "bytes_per_event");
}
BENCHMARK(BM_BytesPerEvent_All)->Unit(benchmark::kMillisecond);

void BM_BytesPerEvent_Plain(benchmark::State& state) {
    static const std::string text = CalendarOf(false);
    MeasureKeptBytes(state, text, "bytes_per_plain_event");
}
BENCHMARK(BM_BytesPerEvent_Plain)->Unit(benchmark::kMillisecond);

void BM_BytesPerEvent_Recurring(benchmark::State& state) {
    static const std::string text = CalendarOf(true);
    MeasureKeptBytes(state, text, "bytes_per_recurring_event");
}
BENCHMARK(BM_BytesPerEvent_Recurring)->Unit(benchmark::kMillisecond);

}  // namespace
