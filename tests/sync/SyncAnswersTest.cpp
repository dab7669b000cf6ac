// A calendar's sync against answers a real server would rarely give: login pages and blank
// multistatus bodies instead of listings, multigets that lose resources or die half-way,
// escaped names and renamed resources. Nothing stored may be lost on the way.
#include "tests/sync/FeedServer.h"
#include "tests/sync/SyncTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "ical/model/RIcsCalendar.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendarItem.h"

using namespace orvane::test;

namespace {

std::string Multistatus(const std::string& responses) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:multistatus xmlns:D=\"DAV:\" "
           "xmlns:C=\"urn:ietf:params:xml:ns:caldav\" xmlns:CS=\"http://calendarserver.org/ns/\">" +
           responses + "</D:multistatus>";
}

std::string CtagAnswer(const std::string& ctag) {
    return Multistatus("<D:response><D:href>/cal/</D:href><D:propstat><D:prop><CS:getctag>" + ctag +
                       "</CS:getctag></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>");
}

std::string EtagAnswer(const std::vector<std::pair<std::string, std::string>>& resources) {
    std::string body = "<D:response><D:href>/cal/</D:href><D:propstat><D:prop><D:getcontenttype>httpd/unix-directory"
                       "</D:getcontenttype></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
    for (const auto& [href, etag] : resources) {
        body += "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop><D:getetag>" + etag +
                "</D:getetag><D:getcontenttype>text/calendar</D:getcontenttype></D:prop>"
                "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
    }
    return Multistatus(body);
}

std::string Event(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

struct Resource {
    std::string href, etag, uid, summary;
};

std::string MultigetAnswer(const std::vector<Resource>& resources) {
    std::string body;
    for (const Resource& r : resources) {
        body += "<D:response><D:href>" + r.href + "</D:href><D:propstat><D:prop><D:getetag>" + r.etag +
                "</D:getetag><C:calendar-data>" + Event(r.uid, r.summary) +
                "</C:calendar-data></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
    }
    return Multistatus(body);
}

class SyncAnswers : public SyncStoreFixture {
protected:
    void SetUp() override {
        SyncStoreFixture::SetUp();
        account = world.manager->CreateAccount("Answers", "alice", "secret");
        ASSERT_TRUE(account);
        CalendarRecord record;
        record.Clear();
        record.guid = "cal";
        record.pathURI = "/cal/";
        ASSERT_EQ(R_OK, world.store->AddCalendar(account->GetGuid(), &record));
        account->LoadCalendars();
        calendar = account->FindCalendarByGuid("cal");
        ASSERT_TRUE(calendar);
        server = MakeRef<RCalDAVCalendar>();
        ASSERT_EQ(R_OK, server->Open("127.0.0.1", feeds.Port(), "/cal/", false, "alice", "secret"));
        server->SetResourceTypes("collection, calendar");
        server->AddSupportedComponent("VEVENT");
        calendar->SetServerCalendar(server);
    }
    void TearDown() override {
        calendar.reset();
        account.reset();
        server.reset();
        SyncStoreFixture::TearDown();
    }
    // The server holds these resources under this collection tag.
    void Holds(const std::string& ctag, const std::vector<Resource>& resources) {
        feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer(ctag)});
        std::vector<std::pair<std::string, std::string>> tags;
        for (const Resource& r : resources) tags.emplace_back(r.href, r.etag);
        feeds.Serve("PROPFIND:1 /cal/", {207, EtagAnswer(tags)});
        feeds.Serve("REPORT /cal/", {207, MultigetAnswer(resources)});
    }
    int Reports() const {
        int n = 0;
        for (const auto& request : feeds.Requests()) n += request.method == "REPORT" ? 1 : 0;
        return n;
    }
    std::vector<std::string> Summaries() {
        std::vector<std::string> out;
        for (const CalendarItemRecord& row : world.Items(*calendar)) out.push_back(row.summary.Str());
        std::sort(out.begin(), out.end());
        return out;
    }

    FeedServer feeds;
    RRef<ROrvaneAccount> account;
    RRef<ROrvaneCalendar> calendar;
    RRef<RCalDAVCalendar> server;
};

}  // namespace

TEST_F(SyncAnswers, ALoginPageOrABlankMultistatusInsteadOfAListingDeletesNothing) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    ASSERT_EQ(Summaries(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(calendar->GetCTag(), "c1");

    feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer("c2")});
    feeds.Serve("PROPFIND:1 /cal/", {200, "<html><body>Please log in</body></html>"});
    EXPECT_NE(R_OK, calendar->SyncWithServer(false));
    feeds.Serve("PROPFIND:1 /cal/", {207, "   \r\n"});
    EXPECT_NE(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(calendar->GetCTag(), "c1");
}

TEST_F(SyncAnswers, AListingThatDoesNotNameTheCollectionDeletesNothingAndKeepsTheCtag) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    ASSERT_EQ(Summaries(), (std::vector<std::string>{"A", "B"}));

    // Well-formed, but without a single response: not even the collection's own.
    feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer("c2")});
    feeds.Serve("PROPFIND:1 /cal/", {207, Multistatus("")});
    EXPECT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(calendar->GetCTag(), "c1");
}

TEST_F(SyncAnswers, AResourceTheMultigetLeftOutIsFetchedAgainNextTime) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    feeds.Serve("REPORT /cal/", {207, MultigetAnswer({{"/cal/a.ics", "\"1\"", "a", "A"}})});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(calendar->GetCTag(), "");  // not stored: the next sync lists again
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(calendar->GetCTag(), "c1");
}

TEST_F(SyncAnswers, AServerThatDiesDuringTheMultigetLosesNothingAndTheNextSyncResumes) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    Holds("c2", {{"/cal/a.ics", "\"2\"", "a", "A2"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    feeds.Serve("REPORT /cal/", {0, ""});
    EXPECT_NE(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(calendar->GetCTag(), "c1");
    Holds("c2", {{"/cal/a.ics", "\"2\"", "a", "A2"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A2", "B"}));
    EXPECT_EQ(calendar->GetCTag(), "c2");
}

TEST_F(SyncAnswers, NamesMatchWhateverEscapingTheListingUses) {
    Holds("c1", {{"/cal/me%40home%20%26%20away.ics", "\"1\"", "me@home", "Escaped"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    ASSERT_EQ(Summaries(), (std::vector<std::string>{"Escaped"}));
    const int reports = Reports();
    // The same resource listed without escapes: unchanged, neither fetched nor deleted.
    Holds("c2", {{"/cal/me@home &amp; away.ics", "\"1\"", "me@home", "Escaped"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(true));
    EXPECT_EQ(Reports(), reports);
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"Escaped"}));
}

TEST_F(SyncAnswers, AResourceRenamedOnTheServerKeepsItsItem) {
    Holds("c1", {{"/cal/old-name.ics", "\"1\"", "same-uid", "Renamed resource"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    Holds("c2", {{"/cal/new-name.ics", "\"1\"", "same-uid", "Renamed resource"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    auto rows = world.Items(*calendar);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].serverFileName, "new-name.ics");
}

TEST_F(SyncAnswers, AnUnchangedCollectionCostsOneRequest) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    const std::size_t before = feeds.Requests().size();
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(feeds.Requests().size(), before + 1);
}

TEST_F(SyncAnswers, StoredItemsOpenByUidAndByServerFileName) {
    Holds("c1", {{"/cal/a%40b.ics", "\"1\"", "uid-a", "A"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    RRef<ROrvaneCalendarItem> item;
    ASSERT_EQ(R_OK, calendar->OpenItemByUid("uid-a", "", &item));
    EXPECT_EQ(item->GetGuid(), "uid-a");
    RRef<ROrvaneCalendarItem> byName;
    ASSERT_EQ(R_OK, calendar->OpenItemByServerFileName("a%40b.ics", &byName));
    EXPECT_EQ(byName->GetGuid(), "uid-a");
    RRef<ROrvaneCalendarItem> none;
    EXPECT_EQ(STG_E_PATHNOTFOUND, calendar->OpenItemByUid("missing", "", &none));
    EXPECT_FALSE(none);
}

TEST_F(SyncAnswers, AnItemWhoseFileCannotBeWrittenCostsOnlyThatItem) {
    const std::filesystem::path folder = calendar->GetRecord().localDirPath.Str();
    // A folder in the place of b's file: the round cannot land whole, and b cannot land at all.
    std::filesystem::create_directory(folder / "b.ics");
    Holds("c1",
          {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}, {"/cal/c.ics", "\"1\"", "c", "C"}});
    EXPECT_NE(R_OK, calendar->SyncWithServer(false));  // b's failure is reported
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(calendar->GetCTag(), "");  // not stored: the next sync lists again
    const auto namesInFolder = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
        return names;
    };
    EXPECT_EQ(namesInFolder(), (std::set<std::string>{"a.ics", "b.ics", "c.ics"}));
    // Every row's file holds the whole text its row was made from.
    const auto fileText = [&](const std::string& name) {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const auto holds = [](const std::string& text, const std::string& uid, const std::string& summary) {
        return text.rfind("BEGIN:VCALENDAR", 0) == 0 && text.find("UID:" + uid + "\n") != std::string::npos &&
               text.find("SUMMARY:" + summary + "\n") != std::string::npos &&
               text.find("END:VCALENDAR") == text.size() - 13;
    };
    for (const CalendarItemRecord& row : world.Items(*calendar)) {
        EXPECT_TRUE(holds(fileText(row.localFileName.Str()), row.guid.Str(), row.summary.Str())) << row.guid.Str();
    }

    // With the folder gone, b arrives, and a changed resource's file gets its new text.
    std::filesystem::remove(folder / "b.ics");
    Holds("c2",
          {{"/cal/a.ics", "\"2\"", "a", "A2"}, {"/cal/b.ics", "\"1\"", "b", "B"}, {"/cal/c.ics", "\"1\"", "c", "C"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A2", "B", "C"}));
    EXPECT_EQ(calendar->GetCTag(), "c2");
    EXPECT_TRUE(holds(fileText("a.ics"), "a", "A2")) << fileText("a.ics");
    EXPECT_EQ(namesInFolder(), (std::set<std::string>{"a.ics", "b.ics", "c.ics"}));
}

TEST_F(SyncAnswers, EveryItemOfAResourceHoldingSeveralUidsStaysWhileTheResourceDoes) {
    // Not every server keeps one UID per resource; a file imported whole can hold several.
    const std::string twoEvents = Event("x", "X").substr(0, Event("x", "X").find("END:VCALENDAR")) +
                                  Event("y", "Y").substr(Event("y", "Y").find("BEGIN:VEVENT"));
    const std::string multiget = Multistatus(
        "<D:response><D:href>/cal/two.ics</D:href><D:propstat><D:prop><D:getetag>\"1\"</D:getetag>"
        "<C:calendar-data>" + twoEvents + "</C:calendar-data></D:prop><D:status>HTTP/1.1 200 OK</D:status>"
        "</D:propstat></D:response>");
    const auto serve = [&](const std::string& ctag) {
        feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer(ctag)});
        feeds.Serve("PROPFIND:1 /cal/", {207, EtagAnswer({{"/cal/two.ics", "\"1\""}})});
        feeds.Serve("REPORT /cal/", {207, multiget});
    };
    serve("c1");
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    ASSERT_EQ(Summaries(), (std::vector<std::string>{"X", "Y"}));
    // The collection changed elsewhere; this resource did not, and keeps both of its items.
    serve("c2");
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"X", "Y"}));
    serve("c3");
    ASSERT_EQ(R_OK, calendar->SyncWithServer(true));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"X", "Y"}));
}

TEST_F(SyncAnswers, AnUploadKeepsTheTagsOfThePutsAnswerAndAsksForThemOnlyWhenItHasNone) {
    // Another client changes the resource right after our PUT: a read afterwards sees theirs.
    feeds.Serve("PUT /cal/up.ics", {201, "", "ETag: \"put-1\"\r\nSchedule-Tag: \"st-1\"\r\n"});
    feeds.Serve("REPORT /cal/", {207, MultigetAnswer({{"/cal/up.ics", "\"theirs-2\"", "up", "Theirs"}})});
    ASSERT_EQ(R_OK, calendar->StoreItemFromText("", "", "", Event("up", "Ours").c_str(), true));
    auto rows = world.Items(*calendar);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].summary, "Ours");
    EXPECT_EQ(rows[0].etag, "\"put-1\"");
    EXPECT_EQ(rows[0].scheduleTag, "\"st-1\"");
    EXPECT_EQ(Reports(), 0);

    // A PUT answered without tags: they are asked for.
    feeds.Serve("PUT /cal/bare.ics", {201, ""});
    feeds.Serve("REPORT /cal/", {207, MultigetAnswer({{"/cal/bare.ics", "\"b-1\"", "bare", "Bare"}})});
    ASSERT_EQ(R_OK, calendar->StoreItemFromText("", "", "", Event("bare", "Bare").c_str(), true));
    EXPECT_EQ(Reports(), 1);
    for (const CalendarItemRecord& row : world.Items(*calendar)) {
        if (row.guid == "bare") {
            EXPECT_EQ(row.etag, "\"b-1\"");
        }
    }
}

TEST_F(SyncAnswers, ABareCalendarWritesNothingAndAResourceTheStoreSkipsIsNotFetchedAgain) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    const std::filesystem::path folder = calendar->GetRecord().localDirPath.Str();
    const auto fileText = [&](const std::string& name) {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const auto serve = [&](const std::string& ctag, const std::vector<std::pair<std::string, std::string>>& resources) {
        feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer(ctag)});
        std::vector<std::pair<std::string, std::string>> tags;
        std::string multiget;
        for (const auto& [name, data] : resources) {
            tags.emplace_back("/cal/" + name, "\"" + ctag + "\"");
            multiget += "<D:response><D:href>/cal/" + name + "</D:href><D:propstat><D:prop><D:getetag>\"" + ctag +
                        "\"</D:getetag><C:calendar-data>" + data +
                        "</C:calendar-data></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
        }
        feeds.Serve("PROPFIND:1 /cal/", {207, EtagAnswer(tags)});
        feeds.Serve("REPORT /cal/", {207, Multistatus(multiget)});
    };
    // a comes back as a calendar without any item; t is a to-do without a start, which the
    // store does not keep.
    const std::string bare = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//EN\r\nEND:VCALENDAR\r\n";
    const std::string todo = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:t\r\nDTSTAMP:20240101T000000Z\r\n"
                             "SUMMARY:Some day\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    serve("c2", {{"a.ics", bare}, {"t.ics", todo}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A"}));
    EXPECT_NE(fileText("a.ics").find("SUMMARY:A\n"), std::string::npos) << fileText("a.ics");
    EXPECT_EQ(calendar->GetCTag(), "c1");  // not stored: a is asked for again
    // Nor does the server's copy fetched after a refused upload replace the file.
    feeds.Serve("PUT /cal/a.ics", {412, ""});
    auto edited = MakeRef<RIcsCalendar>();
    ASSERT_EQ(R_OK, edited->Parse(Event("a", "A edited").c_str()));
    EXPECT_EQ(412, calendar->UploadItem(edited.get(), "a.ics", nullptr, "\"1\"", nullptr, nullptr));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A"}));
    EXPECT_NE(fileText("a.ics").find("SUMMARY:A\n"), std::string::npos) << fileText("a.ics");

    // t no longer changes: it is not downloaded again, whatever else changes.
    feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer("c3")});
    feeds.Serve("PROPFIND:1 /cal/", {207, EtagAnswer({{"/cal/a.ics", "\"3\""}, {"/cal/t.ics", "\"c2\""}})});
    feeds.Serve("REPORT /cal/", {207, MultigetAnswer({{"/cal/a.ics", "\"3\"", "a", "A3"}})});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"A3"}));
    EXPECT_EQ(calendar->GetCTag(), "c3");
    const int reports = Reports();
    feeds.Serve("PROPFIND:0 /cal/", {207, CtagAnswer("c4")});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ(Reports(), reports);
    EXPECT_EQ(calendar->GetCTag(), "c4");
}

TEST_F(SyncAnswers, ASyncKeepsNeitherTheListingNorTheBodiesItStored) {
    Holds("c1", {{"/cal/a.ics", "\"1\"", "a", "A"}, {"/cal/b.ics", "\"1\"", "b", "B"}});
    ASSERT_EQ(R_OK, calendar->SyncWithServer(false));
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), Summaries());
    // Kept after the sync, they would hold memory that grows with the calendar until the next one.
    RXmlEtagResponse* listing = nullptr;
    RXmlMultigetResponse* bodies = nullptr;
    ASSERT_EQ(R_OK, server->GetEtagResponse(&listing));
    ASSERT_EQ(R_OK, server->GetMultigetResponse(&bodies));
    EXPECT_EQ(0, listing != nullptr ? listing->GetCount() : 0);
    EXPECT_EQ(0, bodies != nullptr ? bodies->GetCount() : 0);
}
