// RCalDAVCalendar against a scripted loopback peer: requests as sent, tag rules, batching,
// the PUT preconditions and their recovery, moves, and two threads on one calendar.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "dav/caldav/CalDAVRequestBodies.h"
#include "dav/caldav/RCalDAVCalendar.h"
#include "foundation/memory/RRef.h"
#include "tests/platform/http/LoopbackPeer.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerReply;
using orvane::test::PeerRequest;

namespace {

// A new calendar, opened on the peer's port when one is given.
struct Calendar : RRef<RCalDAVCalendar> {
    Calendar() : RRef(MakeRef<RCalDAVCalendar>()) {}
    explicit Calendar(int port, const char* path = "/u/cal/") : Calendar() {
        EXPECT_EQ(get()->Open("127.0.0.1", port, path, false, "u", "p"), 0);
    }
};

std::string EtagListing(int first, int count, const std::string& tag = "e") {
    std::string body = "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\">";
    for (int i = first; i < first + count; ++i) {
        body += "<response><href>/u/cal/" + std::to_string(i) + ".ics</href><propstat><prop><getetag>\"" + tag +
                std::to_string(i) + "\"</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
    }
    return body + "</multistatus>";
}

// A multiget answer with one record per href in the request body.
std::string MultigetAnswer(const std::string& request) {
    std::string body = "<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">";
    for (size_t pos = request.find("<x0:href>"); pos != std::string::npos; pos = request.find("<x0:href>", pos + 1)) {
        const size_t start = pos + 9, end = request.find("</x0:href>", start);
        const std::string href = request.substr(start, end - start);
        body += "<response><href>" + href + "</href><propstat><prop><getetag>\"1\"</getetag><C:calendar-data>BEGIN:VCALENDAR " +
                href + "</C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
    }
    return body + "</multistatus>";
}

}  // namespace

TEST(CalDAVCalendar, ChangedFlagFollowsNewTagsOnly) {
    Calendar c;
    EXPECT_FALSE(c->IsChanged());
    c->SetCtag("");
    EXPECT_FALSE(c->IsChanged());
    c->SetCtag("a");
    EXPECT_TRUE(c->IsChanged());
    c->SetCtag("a");
    EXPECT_TRUE(c->IsChanged());  // stays set until cleared
    c->ClearChanged();
    c->SetCtag("a");
    EXPECT_FALSE(c->IsChanged());

    // Without getctag the stored tag stays; a new sync token alone sets the flag.
    EXPECT_EQ(c->ParseCtagResponse("<multistatus xmlns=\"DAV:\"><response><href>/c/</href><propstat><prop>"
                                   "<sync-token>http://x/sync/1</sync-token></prop></propstat></response></multistatus>"),
              0);
    CStringA value;
    c->GetCtag(&value);
    EXPECT_EQ(value, "a");
    c->GetSyncToken(&value);
    EXPECT_EQ(value, "http://x/sync/1");
    EXPECT_TRUE(c->IsChanged());
    c->ClearChanged();
    EXPECT_EQ(c->ParseCtagResponse("<html>login</br>"), R_E_BAD_FORMAT);
    c->GetCtag(&value);
    EXPECT_EQ(value, "a");
    EXPECT_FALSE(c->IsChanged());
    EXPECT_EQ(c->FetchCtag(), R_E_INVALID_ARGUMENT);  // never opened
}

TEST(CalDAVCalendar, FetchCtagAndEtagsSendTheFixedRequests) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.Header("Depth") == "0") {
            return HttpReply(207, "Multi-Status",
                             "<multistatus xmlns=\"DAV:\" xmlns:CS=\"http://calendarserver.org/ns/\"><response><href>/u/cal/</href>"
                             "<propstat><prop><CS:getctag>\"c1\"</CS:getctag></prop><status>HTTP/1.1 200 OK</status></propstat>"
                             "<propstat><prop><sync-token/></prop><status>HTTP/1.1 404 Not Found</status></propstat></response></multistatus>");
        }
        return HttpReply(207, "Multi-Status", EtagListing(0, 3));
    });
    Calendar c(peer.Port());
    EXPECT_EQ(c->FetchCtag(), 0);
    CStringA ctag;
    c->GetCtag(&ctag);
    EXPECT_EQ(ctag, "\"c1\"");
    EXPECT_TRUE(c->IsChanged());
    EXPECT_EQ(c->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    c->GetEtagResponse(&listing);
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(listing->GetCount(), 3);

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "PROPFIND");
    EXPECT_EQ(requests[0].target, "/u/cal/");
    EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
    EXPECT_EQ(requests[0].body, kCtagBody);
    EXPECT_EQ(requests[1].Header("Depth"), "1");
    EXPECT_EQ(requests[1].body, kEtagsBody);
}

TEST(CalDAVCalendar, ALoginPageNeverReadsAsAnEmptyCalendar) {
    std::atomic<int> round{0};
    LoopbackPeer peer([&](const PeerRequest&) {
        const int n = round++;
        if (n == 0) return HttpReply(207, "Multi-Status", EtagListing(0, 2));
        if (n == 1) return HttpReply(207, "Multi-Status", "\r\n");
        return HttpReply(200, "OK", "<html><body>Please sign in<form></body></html>", "Content-Type: text/html\r\n");
    });
    Calendar c(peer.Port());
    ASSERT_EQ(c->FetchEtags(), 0);
    EXPECT_EQ(c->FetchEtags(), R_E_BAD_FORMAT);
    EXPECT_EQ(c->FetchEtags(), R_E_BAD_FORMAT);
    RXmlEtagResponse* listing = nullptr;
    c->GetEtagResponse(&listing);
    EXPECT_TRUE(listing == nullptr || listing->GetCount() == 0);
}

TEST(CalDAVCalendar, EmptyMultistatusAnswersPassTheStatusThrough) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(207, "Multi-Status"); });
    Calendar c(peer.Port());
    EXPECT_EQ(c->FetchCtag(), 207);
    EXPECT_EQ(c->FetchEtags(), 207);
}

TEST(CalDAVCalendar, MultigetRunsInBatchesAndKeepsWhatSucceeded) {
    std::atomic<int> reports{0};
    LoopbackPeer peer([&](const PeerRequest& r) {
        if (++reports == 2) return HttpReply(500, "Internal Server Error", "boom");
        EXPECT_EQ(r.Header("Brief"), "T");
        EXPECT_EQ(r.Header("Depth"), "1");
        return HttpReply(207, "Multi-Status", MultigetAnswer(r.body));
    });
    Calendar c(peer.Port());
    for (int i = 0; i < 120; ++i) c->AddMultigetHref(("/u/cal/" + std::to_string(i) + ".ics").c_str());
    EXPECT_EQ(c->FetchMultiget(), 500);
    EXPECT_EQ(c->GetPendingHrefCount(), 20);
    RXmlMultigetResponse* records = nullptr;
    c->GetMultigetResponse(&records);
    ASSERT_NE(records, nullptr);
    ASSERT_EQ(records->GetCount(), 50);
    CStringA href, data;
    records->GetAt(49, &href, nullptr, nullptr, &data);
    EXPECT_EQ(href, "/u/cal/49.ics");
    EXPECT_EQ(data, "BEGIN:VCALENDAR /u/cal/49.ics");

    EXPECT_EQ(c->FetchMultiget(), 0);  // the third batch, still queued
    c->GetMultigetResponse(&records);
    EXPECT_EQ(records->GetCount(), 20);
    EXPECT_EQ(c->GetPendingHrefCount(), 0);
    EXPECT_EQ(reports.load(), 3);
}

TEST(CalDAVCalendar, PutSendsExactlyOnePrecondition) {
    LoopbackPeer peer([](const PeerRequest&) { return HttpReply(204, "No Content"); });
    Calendar c(peer.Port());
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", "", nullptr), 0);
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", "\"s1\"", "\"e1\""), 0);
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", nullptr, "\"e1\""), 0);
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", "\"s\"\r\nX-Evil: 1", nullptr), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", nullptr, std::string("\"e\0x", 4).c_str()), 0);  // cut at the NUL
    EXPECT_EQ(c->PutResource("BEGIN:VCALENDAR", "a.ics", nullptr, "\"e\"\nX: y"), R_E_INVALID_ARGUMENT);
    const auto r = peer.Requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].target, "/u/cal/a.ics");
    EXPECT_EQ(r[0].Header("Content-Type"), "text/calendar");
    EXPECT_EQ(r[0].Header("If-None-Match"), "*");
    EXPECT_FALSE(r[0].HasHeader("If-Match"));
    EXPECT_EQ(r[1].Header("If-Schedule-Tag-Match"), "\"s1\"");
    EXPECT_FALSE(r[1].HasHeader("If-Match"));
    EXPECT_FALSE(r[1].HasHeader("If-None-Match"));
    EXPECT_EQ(r[2].Header("If-Match"), "\"e1\"");
    EXPECT_EQ(r[0].body, "BEGIN:VCALENDAR");
}

TEST(CalDAVCalendar, ConflictRecoveryRunsOnlyForCreates) {
    std::vector<int> script;
    std::mutex lock;
    LoopbackPeer peer([&](const PeerRequest& r) {
        std::lock_guard<std::mutex> guard(lock);
        if (r.method != "PUT" || script.empty()) return HttpReply(r.method == "DELETE" ? 204 : 200, "OK");
        const int status = script.front();
        script.erase(script.begin());
        return HttpReply(status, "X");
    });
    Calendar c(peer.Port());
    auto methods = [&] {
        std::string out;
        for (const auto& r : peer.Requests()) out += r.method + " ";
        return out;
    };
    script = {409, 409};
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, nullptr), 409);
    EXPECT_EQ(methods(), "PUT DELETE PUT GET ");
    script = {409, 201};
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, nullptr), 0);
    EXPECT_EQ(methods(), "PUT DELETE PUT GET PUT DELETE PUT ");
    // Under a tag precondition the server copy is never deleted.
    script = {409};
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, "\"e1\""), 409);
    script = {412};
    EXPECT_EQ(c->PutResource("B", "a.ics", "\"s1\"", nullptr), 412);
    EXPECT_EQ(methods(), "PUT DELETE PUT GET PUT DELETE PUT PUT PUT ");
}

TEST(CalDAVCalendar, AMultistatusAnswerToPutIsAFailure) {
    std::atomic<int> n{0};
    LoopbackPeer peer([&](const PeerRequest&) {
        switch (n++) {
            case 0:
                return HttpReply(207, "Multi-Status",
                                 "<multistatus xmlns=\"DAV:\"><response><href>/u/cal/a.ics</href>"
                                 "<status>HTTP/1.1 403 Forbidden</status></response></multistatus>");
            case 1: return HttpReply(207, "Multi-Status", "not xml at all");
            default: return HttpReply(207, "Multi-Status");
        }
    });
    Calendar c(peer.Port());
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, "\"e\""), 403);
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, "\"e\""), 409);
    EXPECT_EQ(c->PutResource("B", "a.ics", nullptr, "\"e\""), 409);
    EXPECT_EQ(StatusOfMultistatusPut("<m xmlns=\"DAV:\"><status>HTTP/1.1 200 OK</status></m>"), 409);
}

TEST(CalDAVCalendar, MoveSendsAnAbsoluteDestinationAndDeleteFoldsSuccess) {
    LoopbackPeer peer([](const PeerRequest& r) {
        if (r.method == "DELETE") return HttpReply(404, "Not Found");
        return HttpReply(201, "Created");
    });
    Calendar c(peer.Port());
    EXPECT_EQ(c->MoveResource("a.ics", "/u/other/a b.ics"), 0);
    EXPECT_EQ(c->MoveResource("a.ics", "http://elsewhere.example/x.ics"), 0);
    EXPECT_EQ(c->MoveResource("a.ics", "/u/x\r\nX-Evil: 1"), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->DeleteResource("gone.ics"), 404);
    // Without an href the collection itself would be deleted, moved or overwritten.
    EXPECT_EQ(c->DeleteResource(""), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->DeleteResource(nullptr), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->MoveResource("", "/u/other/"), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(c->PutResource("B", nullptr, nullptr, nullptr), R_E_INVALID_ARGUMENT);
    const auto r = peer.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].method, "MOVE");
    EXPECT_EQ(r[0].target, "/u/cal/a.ics");
    EXPECT_EQ(r[0].Header("Destination"), "http://127.0.0.1:" + std::to_string(peer.Port()) + "/u/other/a%20b.ics");
    EXPECT_EQ(r[0].Header("Overwrite"), "T");
    EXPECT_EQ(r[1].Header("Destination"), "http://elsewhere.example/x.ics");
}

TEST(CalDAVCalendar, TwoThreadsShareOneCalendarSafely) {
    std::atomic<int> served{0};
    LoopbackPeer peer([&](const PeerRequest& r) {
        const int n = ++served;
        if (r.method == "PUT") return HttpReply(201, "Created");
        return HttpReply(207, "Multi-Status", EtagListing(0, 20 + n % 7, "t" + std::to_string(n) + "-"));
    });
    Calendar c(peer.Port());
    std::atomic<int> inconsistent{0};
    auto sync = [&] {
        for (int i = 0; i < 15; ++i) {
            auto lock = c->Lock();
            if (c->FetchEtags() != 0) ++inconsistent;
            RXmlEtagResponse* listing = nullptr;
            c->GetEtagResponse(&listing);
            if (listing == nullptr) {
                ++inconsistent;
                continue;
            }
            // Every record of one listing carries the same round's tag.
            const std::string first = listing->Records().front().etag.Str().substr(0, 4);
            for (const auto& record : listing->Records()) {
                if (record.etag.Str().substr(0, 4) != first) ++inconsistent;
            }
        }
    };
    auto upload = [&] {
        for (int i = 0; i < 15; ++i) c->PutResource("BEGIN:VCALENDAR", "x.ics", nullptr, nullptr);
    };
    std::thread a(sync), b(upload), d(sync);
    a.join();
    b.join();
    d.join();
    EXPECT_EQ(inconsistent.load(), 0);
    EXPECT_EQ(served.load(), 45);
}
