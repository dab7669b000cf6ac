// Multistatus answers read as a stream: a listing that breaks off gives no records, answers
// over the size limit end with their own result and are not sent again, and whole bodies
// reach the parser without being held twice.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "dav/caldav/RCalDAVCalendar.h"
#include "dav/xml/EtagListingStream.h"
#include "dav/xml/RXmlResponse.h"
#include "foundation/memory/RRef.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/HttpClient.h"
#include "tests/platform/http/LoopbackPeer.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerReply;
using orvane::test::PeerRequest;

namespace {

std::string Listing(int count, bool close = true) {
    std::string body = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">";
    for (int i = 0; i < count; ++i) {
        body += "<d:response><d:href>/cal/" + std::to_string(i) + ".ics</d:href><d:propstat><d:prop><d:getetag>\"" +
                std::to_string(i) + "\"</d:getetag><c:calendar-data>BEGIN:VCALENDAR</c:calendar-data></d:prop>"
                "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    if (close) body += "</d:multistatus>";
    return body;
}

}  // namespace

TEST(StreamParse, AListingThatBreaksOffGivesNoRecords) {
    const std::string whole = Listing(5);
    const std::string cut = Listing(5, false) + "<d:response><d:href>/cal/x.ics</d:hr";
    auto etags = MakeRef<RXmlEtagResponse>();
    ASSERT_EQ(etags->Parse(whole.c_str()), 0);
    ASSERT_EQ(etags->GetCount(), 5);
    auto fresh = MakeRef<RXmlEtagResponse>();
    EXPECT_EQ(fresh->Parse(cut.c_str()), R_E_BAD_FORMAT);
    EXPECT_EQ(fresh->GetCount(), 0);
    EXPECT_EQ(fresh->Parse(Listing(5, false).c_str()), R_E_BAD_FORMAT);  // every response complete, the document not
    EXPECT_EQ(fresh->GetCount(), 0);

    auto multiget = MakeRef<RXmlMultigetResponse>();
    ASSERT_EQ(multiget->Parse(whole.c_str()), 0);
    EXPECT_EQ(multiget->Parse(cut.c_str()), R_E_BAD_FORMAT);
    EXPECT_EQ(multiget->GetCount(), 5);  // the earlier batch stays, nothing of the broken one is added
    CStringA data;
    ASSERT_EQ(multiget->GetAt(4, nullptr, nullptr, nullptr, &data), 0);
    EXPECT_EQ(data, "BEGIN:VCALENDAR");

    auto properties = MakeRef<RXmlPropertiesResponse>();
    ASSERT_EQ(properties->Parse("<d:multistatus xmlns:d=\"DAV:\"><d:displayname>Work</d:displayname></d:multistatus>"), 0);
    EXPECT_EQ(properties->Parse("<d:multistatus xmlns:d=\"DAV:\"><d:displayname>Home</d:displayname>"), R_E_BAD_FORMAT);
    CStringA name;
    ASSERT_EQ(properties->Find("displayname", nullptr, nullptr, &name), 0);
    EXPECT_EQ(name, "Work");
}

namespace {

// What a listing fed in pieces handed over, as "href etag status" lines.
struct CollectedListing : EtagListingVisitor {
    void Restart() override {
        lines.clear();
        untagged.clear();
    }
    void Resource(EtagRecord&& record) override {
        lines.push_back(record.href.Str() + " " + record.etag.Str() + " " + std::to_string(record.status));
    }
    void Untagged(const CStringA& href) override { untagged.push_back(href.Str()); }
    std::vector<std::string> lines;
    std::vector<std::string> untagged;
};

RResult FeedInPieces(const std::string& text, size_t piece, CollectedListing& out) {
    EtagListingStream stream(out);
    stream.Restart();
    for (size_t at = 0; at < text.size(); at += piece) stream.Piece(text.data() + at, std::min(piece, text.size() - at));
    return stream.Finish();
}

}  // namespace

TEST(StreamParse, AListingReadInPiecesAsItArrivesGivesWhatTheWholeTextGives) {
    // The collection itself (untagged), then resources, one of them in two propstats.
    std::string text = Listing(0, false);
    text += "<d:response><d:href>/cal/</d:href><d:propstat><d:prop><d:resourcetype/></d:prop>"
            "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    text += Listing(30).substr(Listing(0, false).size());
    text.insert(text.size() - std::string("</d:multistatus>").size(),
                "<d:response><d:href>/cal/a&amp;b.ics</d:href><d:propstat><d:prop><c:schedule-tag/></d:prop>"
                "<d:status>HTTP/1.1 404 Not Found</d:status></d:propstat><d:propstat><d:prop><d:getetag>\"ab\""
                "</d:getetag></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>");
    auto whole = MakeRef<RXmlEtagResponse>();
    ASSERT_EQ(whole->Parse(text.c_str()), 0);
    std::vector<std::string> expected;
    for (const EtagRecord& record : whole->Records()) {
        expected.push_back(record.href.Str() + " " + record.etag.Str() + " " + std::to_string(record.status));
    }
    ASSERT_EQ(expected.size(), 31u);
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{64}, text.size()}) {
        CollectedListing listing;
        EXPECT_EQ(FeedInPieces(text, piece, listing), 0) << piece;
        EXPECT_EQ(listing.lines, expected) << piece;
        EXPECT_EQ(listing.untagged, std::vector<std::string>{"/cal/"}) << piece;
    }
    // A text that breaks off, or is no multistatus, or is nothing, is no listing.
    CollectedListing listing;
    EXPECT_EQ(FeedInPieces(text.substr(0, text.size() - 5), 7, listing), R_E_BAD_FORMAT);
    EXPECT_EQ(FeedInPieces("<html><body>Sign in</body></html>", 5, listing), R_E_BAD_FORMAT);
    EXPECT_EQ(FeedInPieces("", 5, listing), R_E_BAD_FORMAT);
}

TEST(StreamParse, AServerThatDropsTheConnectionMidListingLeavesNoListing) {
    const std::string cut = Listing(20, false);
    LoopbackPeer peer([&](const PeerRequest&) {
        // Announces more than it sends, then hangs up.
        return PeerReply{"HTTP/1.1 207 Multi-Status\r\nContent-Length: " + std::to_string(cut.size() + 500) + "\r\n\r\n" + cut, true};
    });
    auto calendar = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(calendar->Open("127.0.0.1", peer.Port(), "/cal/", false, "", ""), 0);
    EXPECT_NE(calendar->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    calendar->GetEtagResponse(&listing);
    EXPECT_TRUE(listing == nullptr || listing->GetCount() == 0);

    // A complete answer whose XML breaks off is a format error, not a short listing.
    LoopbackPeer broken([&](const PeerRequest&) { return HttpReply(207, "Multi-Status", cut); });
    auto other = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(other->Open("127.0.0.1", broken.Port(), "/cal/", false, "", ""), 0);
    EXPECT_EQ(other->FetchEtags(), R_E_BAD_FORMAT);
    other->GetEtagResponse(&listing);
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(listing->GetCount(), 0);
}

TEST(StreamParse, AnAnswerOverTheLimitHasItsOwnResultAndIsNotSentAgain) {
    std::atomic<int> asked{0};
    platform::http::SetConnectionErrorHandler([&](DWORD error, const std::string&) {
        ++asked;
        return error;
    });
    // One announces its size, the other just keeps sending.
    const std::string huge(platform::http::kMaxResponseBytes + 1, 'x');
    LoopbackPeer peer([&](const PeerRequest& r) {
        if (r.target == "/announced/") return PeerReply{"HTTP/1.1 207 Multi-Status\r\nContent-Length: 70000000\r\n\r\n<d:multistatus", true};
        return PeerReply{"HTTP/1.1 207 Multi-Status\r\nConnection: close\r\n\r\n" + huge, true};
    });
    auto calendar = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(calendar->Open("127.0.0.1", peer.Port(), "/announced/", false, "", ""), 0);
    EXPECT_EQ(calendar->FetchEtags(), R_E_RESPONSE_TOO_LARGE);
    auto streaming = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(streaming->Open("127.0.0.1", peer.Port(), "/streamed/", false, "", ""), 0);
    EXPECT_EQ(streaming->FetchCtag(), R_E_RESPONSE_TOO_LARGE);
    EXPECT_EQ(peer.Requests().size(), 2u);
    EXPECT_EQ(asked.load(), 0);
    platform::http::SetConnectionErrorHandler({});
}

TEST(StreamParse, TheAnswerBodyIsHandedOverWhole) {
    const std::string body = Listing(300);
    LoopbackPeer peer([&](const PeerRequest&) { return HttpReply(207, "Multi-Status", body); });
    auto calendar = MakeRef<RCalDAVCalendar>();
    ASSERT_EQ(calendar->Open("127.0.0.1", peer.Port(), "/cal/", false, "", ""), 0);
    ASSERT_EQ(calendar->FetchEtags(), 0);
    RXmlEtagResponse* listing = nullptr;
    calendar->GetEtagResponse(&listing);
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(listing->GetCount(), 300);
    RWebDAVConnection* c = nullptr;
    calendar->GetConnection(&c);
    RHeapBuffer* kept = c->ReadResponse();  // the same buffer, one more terminator
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(static_cast<size_t>(kept->size), body.size() + 2);
    EXPECT_EQ(std::string(kept->data), body);
    c->Release();
}
