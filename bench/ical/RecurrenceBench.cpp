// Occurrences per second when a daily series is stepped across ten years, as the month view
// and the date-range query do when they expand a series from its first occurrence.
#include "ical/recurrence/RIcsRecurrence.h"

#include <benchmark/benchmark.h>

namespace {

void StepSeries(benchmark::State& state, const char* rrule, const char* exDateLines) {
    RIcsDateTime end;
    end.SetFromDbText("2029-12-31 23:59:59", nullptr);
    std::int64_t occurrences = 0;
    for (auto _ : state) {
        RIcsRecurrence* rule = new RIcsRecurrence;
        rule->Parse(rrule);
        if (exDateLines != nullptr) {
            rule->SetExDatesFromLines(exDateLines);
        }
        RIcsDateTime* current = new RIcsDateTime;
        current->SetFromDbText("2020-01-01 09:00", nullptr);
        while (current != nullptr && CompareDateTime(current->dateTime, end.dateTime) <= 0) {
            RIcsDateTime* next = rule->GetNextOccurrence(current, nullptr);
            current->Release();
            current = next;
            ++occurrences;
        }
        if (current != nullptr) {
            current->Release();
        }
        rule->Release();
    }
    state.SetItemsProcessed(occurrences);
}

void DailySeriesTenYears(benchmark::State& state) { StepSeries(state, "FREQ=DAILY", nullptr); }

void DailySeriesTenYearsWithExDates(benchmark::State& state) {
    StepSeries(state, "FREQ=DAILY",
               "EXDATE;TZID=Europe/Berlin:20200102T090000\r\n"
               "EXDATE:20230704T090000Z\r\n"
               "EXDATE:20251224T090000,20251225T090000,20251226T090000\r\n");
}

void WorkdaySeriesTenYears(benchmark::State& state) { StepSeries(state, "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR", nullptr); }

}  // namespace

BENCHMARK(DailySeriesTenYears);
BENCHMARK(DailySeriesTenYearsWithExDates);
BENCHMARK(WorkdaySeriesTenYears);
