// A large entity-tag listing (100,000 resources, about 25 MB) fetched and parsed: bytes per
// second and the peak memory it takes, as a multiple of the body; and a full refresh of an
// account with six calendars: requests on the wire and how many of them were 401 challenges.
#include "foundation/ResultCodes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/dav/EtagListing.h"
#include "dav/caldav/RCalDAVAccount.h"
#include "dav/caldav/RCalDAVCalendar.h"
#include "dav/http/RWebDAVConnection.h"
#include "dav/xml/RXmlResponse.h"
#include "tests/dav/integration/ServerProcess.h"
#include "tests/platform/http/LoopbackPeer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kResources = 100000;

using orvane::bench::EtagListing;

// Resident set size now and at its peak, in bytes, from /proc/self/status.
long long StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) return std::atoll(line.c_str() + prefix.size()) * 1024;
    }
    return 0;
}

// Starts the peak over from the present resident size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// GET of the listing from a static file server in another process (so that the server's copy
// of the body is not counted), then the parse: what a sync holds at its peak.
void BM_FetchAndParseEtagListing100000(benchmark::State& state) {
    char pattern[] = "/tmp/orvane-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    size_t bodySize = 0;
    {
        const std::string body = EtagListing(kResources);
        bodySize = body.size();
        std::ofstream(root / "listing.xml", std::ios::binary) << body;
        std::ofstream(root / "small.xml", std::ios::binary) << EtagListing(1);
    }
    orvane::test::ServerProcess server;
    const std::string script =
        "import http.server,functools,sys\n"
        "h=functools.partial(http.server.SimpleHTTPRequestHandler,directory=sys.argv[1])\n"
        "h.func.log_message=lambda *a:None\n"
        "s=http.server.HTTPServer(('127.0.0.1',0),h)\n"
        "print('Listening on 127.0.0.1:%d'%s.server_address[1],flush=True)\n"
        "s.serve_forever()\n";
    if (!server.Start({"/usr/bin/python3", "-c", script, root.string()}, (root / "log").string(), std::chrono::seconds(20)).empty()) {
        state.SkipWithError("file server did not start");
        fs::remove_all(root);
        return;
    }
    // One small exchange first, so that the libraries' own start-up is not counted.
    {
        auto* warm = new RWebDAVConnection();
        warm->Initialize("127.0.0.1", server.Port(), false, "", "");
        warm->SetPathAsWritten("/small.xml");
        auto* listing = new RXmlEtagResponse();
        if (warm->Get(nullptr, nullptr) == 200 && warm->ReadResponse() != nullptr) (void)listing->Parse(warm->ReadResponse()->data);
        listing->Release();
        warm->Release();
    }
    // The first run counts: later ones reuse memory the allocator kept, which shows no growth.
    static double worstPeakOverBody = 0;
    for (auto _ : state) {
        auto* connection = new RWebDAVConnection();
        connection->Initialize("127.0.0.1", server.Port(), false, "", "");
        connection->SetPathAsWritten("/listing.xml");
        const long long before = StatusBytes("VmRSS");
        ResetPeak();
        bool ok = connection->Get(nullptr, nullptr) == 200;
        RHeapBuffer* body = ok ? connection->ReadResponse() : nullptr;
        auto* listing = new RXmlEtagResponse();
        ok = ok && body != nullptr && listing->Parse(body->data) == 0 && listing->GetCount() == kResources;
        const long long peak = StatusBytes("VmHWM");
        listing->Release();
        connection->Release();
        if (!ok) state.SkipWithError("fetch or parse failed");
        const double over = static_cast<double>(peak - before) / static_cast<double>(bodySize);
        if (over > worstPeakOverBody) worstPeakOverBody = over;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bodySize));
    state.counters["body_MB"] = static_cast<double>(bodySize) / 1e6;
    state.counters["peak_over_body"] = worstPeakOverBody;  // target: under 2
    server.Stop();
    fs::remove_all(root);
}
BENCHMARK(BM_FetchAndParseEtagListing100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parse alone, on a body already in memory.
void BM_ParseEtagListing100000(benchmark::State& state) {
    const std::string body = EtagListing(kResources);
    for (auto _ : state) {
        auto* listing = new RXmlEtagResponse();
        if (listing->Parse(body.c_str()) != 0 || listing->GetCount() != kResources) state.SkipWithError("wrong parse");
        listing->Release();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ParseEtagListing100000)->Unit(benchmark::kMillisecond);

std::string Multistatus(const std::string& responses) {
    return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
           "xmlns:cs=\"http://calendarserver.org/ns/\">" + responses + "</d:multistatus>";
}

std::string Response(const std::string& href, const std::string& props) {
    return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
           "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

// A CalDAV server that wants Basic: discovery, principal, a home of six calendars, and each
// calendar's tag and (empty) listing.
orvane::test::PeerReply Serve(const orvane::test::PeerRequest& r) {
    using orvane::test::HttpReply;
    if (r.Header("Authorization") != "Basic YWxpY2U6c2VjcmV0") {
        return HttpReply(401, "Unauthorized", "", "WWW-Authenticate: Basic realm=\"cal\"\r\n");
    }
    if (r.target.rfind("/.well-known/caldav", 0) == 0) return HttpReply(301, "Moved Permanently", "", "Location: /dav/\r\n");
    if (r.body.find("current-user-principal") != std::string::npos) {
        return HttpReply(207, "Multi-Status", Multistatus(Response("/dav/", "<d:current-user-principal><d:href>/dav/alice/</d:href></d:current-user-principal>")));
    }
    if (r.body.find("calendar-home-set") != std::string::npos) {
        return HttpReply(207, "Multi-Status", Multistatus(Response("/dav/alice/", "<c:calendar-home-set><d:href>/dav/alice/</d:href></c:calendar-home-set>")));
    }
    if (r.target == "/dav/alice/") {
        std::string calendars;
        for (int i = 0; i < 6; ++i) {
            calendars += Response("/dav/alice/cal" + std::to_string(i) + "/",
                                  "<d:resourcetype><d:collection/><c:calendar/></d:resourcetype><cs:getctag>1</cs:getctag>");
        }
        return HttpReply(207, "Multi-Status", Multistatus(calendars));
    }
    if (r.body.find("getctag") != std::string::npos) return HttpReply(207, "Multi-Status", Multistatus(Response(r.target, "<cs:getctag>1</cs:getctag>")));
    return HttpReply(207, "Multi-Status", Multistatus(""));
}

void BM_RefreshSixCalendarsRequestsOnTheWire(benchmark::State& state) {
    size_t requests = 0, challenges = 0;
    for (auto _ : state) {
        state.PauseTiming();
        orvane::test::LoopbackPeer peer(&Serve);  // a new origin: nothing known about it yet
        auto* account = new RCalDAVAccount();
        account->Connect("127.0.0.1", "/principals/users/alice/", peer.Port(), false, "alice", "secret");
        state.ResumeTiming();
        bool ok = account->Refresh(true) == 0 && account->GetCalendarCount() == 6;
        for (int i = 0; ok && i < account->GetCalendarCount(); ++i) {
            RCalDAVCalendar* calendar = account->GetCalendarAt(i);
            ok = calendar->FetchCtag() == 0 && calendar->FetchEtags() == 0;
        }
        state.PauseTiming();
        account->Release();
        if (!ok) state.SkipWithError("refresh failed");
        const auto seen = peer.Requests();
        requests = seen.size();
        challenges = 0;
        for (const auto& r : seen) challenges += r.HasHeader("Authorization") ? 0 : 1;
        state.ResumeTiming();
    }
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["unauthorised"] = static_cast<double>(challenges);  // target: 1, the first per origin
}
BENCHMARK(BM_RefreshSixCalendarsRequestsOnTheWire)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
