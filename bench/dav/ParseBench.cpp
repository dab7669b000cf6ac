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

// A multiget answer as Radicale writes it: zoned events with CRLF line ends, which the parser hands
// over line by line rather than in one run.
std::string ServerMultigetAnswer(int count) {
    std::string body = "<?xml version=\"1.0\"?>\n<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        body += "<response><href>/alice/calendar.ics/item-" + n + ".ics</href><propstat><prop><getetag>\"a1b2c3d4e5f6-" + n +
                "\"</getetag><C:calendar-data>BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//x//y//EN\r\n"
                "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
                "TZNAME:CEST\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\nDTSTART:19701025T030000\r\n"
                "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:item-" + n +
                "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Europe/Berlin:20240102T100000\r\n"
                "DTEND;TZID=Europe/Berlin:20240102T110000\r\nSUMMARY:Meeting " + n + "\r\nLOCATION:Room 4\r\n"
                "DESCRIPTION:" + std::string(70, 'd') + "\r\n " + std::string(70, 'e') + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
                "</C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
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

// Parses a multiget answer of `count` resources once per iteration.
void ParseMultigetEachIteration(benchmark::State& state, const std::string& body, int count) {
    for (auto _ : state) {
        auto* response = new RXmlMultigetResponse();
        if (response->Parse(body.c_str()) != 0 || response->GetCount() != count) state.SkipWithError("wrong parse");
        response->Release();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}

void BM_ParseMultiget50(benchmark::State& state) { ParseMultigetEachIteration(state, MultigetAnswer(50), 50); }
BENCHMARK(BM_ParseMultiget50)->Unit(benchmark::kMicrosecond);

void BM_ParseServerMultiget200(benchmark::State& state) {
    ParseMultigetEachIteration(state, ServerMultigetAnswer(200), 200);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 200);
}
BENCHMARK(BM_ParseServerMultiget200)->Unit(benchmark::kMicrosecond);

}  // namespace
