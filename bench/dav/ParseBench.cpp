// Parsing speed of the two large answers of a sync: a 10,000-resource entity-tag listing and a
// 50-item calendar-multiget answer.
#include "foundation/ResultCodes.h"

#include <benchmark/benchmark.h>

#include <string>

#include "bench/dav/EtagListing.h"
#include "dav/xml/RXmlResponse.h"

namespace {

using orvane::bench::EtagListing;

std::string MultigetAnswer(int count) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        body += "<response><href>/alice/calendar/item-" + n + ".ics</href><propstat><prop><getetag>\"etag-" + n +
                "\"</getetag><C:calendar-data>BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//x//y//EN\nBEGIN:VEVENT\nUID:item-" + n +
                "\nDTSTAMP:20240101T000000Z\nDTSTART:20240102T100000Z\nDTEND:20240102T110000Z\nSUMMARY:Meeting " + n +
                "\nDESCRIPTION:" + std::string(400, 'd') + "\nLOCATION:Room 4\nEND:VEVENT\nEND:VCALENDAR\n</C:calendar-data></prop>"
                "<status>HTTP/1.1 200 OK</status></propstat></response>";
    }
    return body + "</multistatus>";
}

void BM_ParseEtagListing10000(benchmark::State& state) {
    const std::string body = EtagListing(10000);
    for (auto _ : state) {
        auto* response = new RXmlEtagResponse();
        if (response->Parse(body.c_str()) != 0 || response->GetCount() != 10000) state.SkipWithError("wrong parse");
        response->Release();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ParseEtagListing10000)->Unit(benchmark::kMillisecond);

void BM_ParseMultiget50(benchmark::State& state) {
    const std::string body = MultigetAnswer(50);
    for (auto _ : state) {
        auto* response = new RXmlMultigetResponse();
        if (response->Parse(body.c_str()) != 0 || response->GetCount() != 50) state.SkipWithError("wrong parse");
        response->Release();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ParseMultiget50)->Unit(benchmark::kMicrosecond);

}  // namespace
