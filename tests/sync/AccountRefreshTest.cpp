// An account's refresh against a scripted CalDAV server of the tests' own, for the answers real
// servers seldom give on cue: failing or missing discovery, guessed calendar homes, and homes
// whose listings hold more than calendars.
#include "tests/sync/SyncTestSupport.h"

#include <algorithm>
#include <mutex>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sync/ROrvaneAccount.h"
#include "tests/platform/http/LoopbackPeer.h"

using namespace orvane::test;

namespace {

std::string Response(const std::string& href, const std::string& props) {
    return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + props +
           "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
}

PeerReply Multistatus(const std::string& responses) {
    return HttpReply(207, "Multi-Status",
                     "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\" "
                     "xmlns:CS=\"http://calendarserver.org/ns/\" xmlns:A=\"http://apple.com/ns/ical/\">" +
                         responses + "</D:multistatus>",
                     "Content-Type: application/xml; charset=utf-8\r\n");
}

const char kCollection[] = "<D:resourcetype><D:collection/></D:resourcetype>";

std::string CalendarProps(const std::string& name) {
    return "<D:displayname>" + name +
           "</D:displayname><D:resourcetype><D:collection/><C:calendar/></D:resourcetype>"
           "<C:supported-calendar-component-set><C:comp name=\"VEVENT\"/></C:supported-calendar-component-set>";
}

std::string Event(const std::string& uid) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:" + uid +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// A CalDAV server for user alice: principal and calendar home at /alice/. Each calendar holds
// one event, a resource named after the last segment of its path. `home` gives the home's listing; the
// server's root names no home, as a principal-less collection does not.
class ScriptedServer {
public:
    using Handler = std::function<PeerReply(const PeerRequest&)>;

    ScriptedServer()
        : peer_([this](const PeerRequest& r) {
              Handler fault;
              {
                  std::lock_guard<std::mutex> lock(mutex_);
                  fault = fault_;
              }
              if (fault) {
                  PeerReply reply = fault(r);
                  if (!reply.bytes.empty() || reply.close) return reply;
              }
              return Answer(r);
          }) {}

    std::string Root() const { return "http://127.0.0.1:" + std::to_string(peer_.Port()) + "/"; }
    // Answers the requests that `fault` gives a reply for (no bytes and no close: as usual).
    void Fault(Handler fault) {
        std::lock_guard<std::mutex> lock(mutex_);
        fault_ = std::move(fault);
    }
    void Home(std::vector<std::string> calendars) {
        std::lock_guard<std::mutex> lock(mutex_);
        calendars_ = std::move(calendars);
    }

    static bool IsDiscovery(const PeerRequest& r) { return r.body.find("current-user-principal") != std::string::npos; }

private:
    PeerReply Answer(const PeerRequest& r) {
        const std::string depth = r.Header("Depth");
        if (r.method == "PROPFIND" && IsDiscovery(r)) {
            if (r.target == "/.well-known/caldav") {
                return Multistatus(Response(r.target, "<D:current-user-principal><D:href>/alice/</D:href></D:current-user-principal>"));
            }
            return HttpReply(404, "Not Found");
        }
        if (r.method == "PROPFIND" && r.target == "/") {
            if (depth == "0") return Multistatus(Response("/", kCollection));
            return Multistatus(Response("/", kCollection) + Response("/alice/", kCollection));
        }
        std::vector<std::string> calendars;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calendars = calendars_;
        }
        if (r.method == "PROPFIND" && r.target == "/alice/") {
            if (depth == "0") {
                return Multistatus(Response("/alice/", "<C:calendar-home-set><D:href>/alice/</D:href></C:calendar-home-set>"
                                                       "<D:principal-URL><D:href>/alice/</D:href></D:principal-URL>"));
            }
            std::string listing = Response("/alice/", kCollection);
            for (const std::string& entry : calendars) listing += entry;
            return Multistatus(listing);
        }
        const std::string name = Segment(r.target);
        if (r.method == "PROPFIND" && depth == "0") {
            return Multistatus(Response(r.target, "<CS:getctag>1</CS:getctag>"));
        }
        if (r.method == "PROPFIND") {
            return Multistatus(Response(r.target, "<D:getcontenttype>httpd/unix-directory</D:getcontenttype>") +
                               Response(r.target + name + ".ics",
                                        "<D:getetag>\"1\"</D:getetag><D:getcontenttype>text/calendar</D:getcontenttype>"));
        }
        if (r.method == "REPORT") {
            return Multistatus(Response(r.target + name + ".ics", "<D:getetag>\"1\"</D:getetag><C:calendar-data>" +
                                                                      Event(Uid(r.target)) + "</C:calendar-data>"));
        }
        return HttpReply(404, "Not Found");
    }

    // "a-work" for "/a/work/".
    static std::string Uid(std::string path) {
        std::string uid;
        for (char c : path) {
            if (c != '/') uid += c;
            else if (!uid.empty() && uid.back() != '-') uid += '-';
        }
        while (!uid.empty() && uid.back() == '-') uid.pop_back();
        return uid;
    }

    // "work" for "/a/work/".
    static std::string Segment(std::string path) {
        while (!path.empty() && path.back() == '/') path.pop_back();
        return path.substr(path.rfind('/') + 1);
    }

    std::mutex mutex_;
    Handler fault_;
    std::vector<std::string> calendars_{Response("/alice/work/", CalendarProps("Work"))};
    LoopbackPeer peer_;
};

class AccountRefresh : public SyncStoreFixture {
protected:
    RRef<ROrvaneAccount> NewAccount() {
        RRef<ROrvaneAccount> account = world.manager->CreateAccount("Scripted", "alice", "secret");
        EXPECT_TRUE(account);
        if (account) account->SetAddress(server.Root().c_str());
        return account;
    }
    // The stored calendars of the account by path, with their number of items.
    std::vector<std::pair<std::string, std::size_t>> Stored(ROrvaneAccount& account) {
        std::vector<std::pair<std::string, std::size_t>> out;
        const CStringA guid = account.GetGuid();
        for (int i = 0; i < world.store->GetCalendarCount(guid); ++i) {
            CalendarRecord row;
            if (world.store->GetCalendar(guid, i, &row) != R_OK || !world.store->IsEventCalendar(row)) continue;
            std::vector<CalendarItemRecord> items;
            EXPECT_EQ(R_OK, world.store->GetCalendarItems(row.guid, guid, &items));
            out.emplace_back(row.pathURI.Str(), items.size());
        }
        return out;
    }

    ScriptedServer server;
};

}  // namespace

TEST_F(AccountRefresh, AFailedOrInconclusiveDiscoveryKeepsEveryCalendarAndTheFullRefreshStaysDue) {
    RRef<ROrvaneAccount> account = NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    const std::vector<std::pair<std::string, std::size_t>> synced{{"/alice/work/", 1}};
    ASSERT_EQ(Stored(*account), synced);
    EXPECT_FALSE(account->IsFullRefreshPending());

    // The program starts again with the account's address at the server's root, as typed.
    account->SetAddress(server.Root().c_str());
    const CStringA guid = account->GetGuid();
    account.reset();
    world.ReloadManager();
    account = world.manager->FindAccountByGuid(guid);
    ASSERT_TRUE(account);

    // The well-known names fail with server errors and the root's discovery answer too.
    server.Fault([](const PeerRequest& r) {
        if (!ScriptedServer::IsDiscovery(r)) return PeerReply{};
        if (r.target.rfind("/.well-known/caldav", 0) == 0) return HttpReply(500, "Internal Server Error");
        if (r.target == "/") return HttpReply(503, "Service Unavailable");
        return PeerReply{};
    });
    EXPECT_EQ(503, RefreshAndWait(*account, 0));
    EXPECT_EQ(Stored(*account), synced);
    EXPECT_TRUE(account->IsFullRefreshPending());

    // The server cannot be reached at all.
    server.Fault([](const PeerRequest&) { return PeerReply{"", true}; });
    EXPECT_TRUE(IsTransportFailure(RefreshAndWait(*account, 0)));
    EXPECT_EQ(Stored(*account), synced);
    EXPECT_TRUE(account->IsFullRefreshPending());

    // A server without the well-known service: the home is guessed, and its listing of the
    // server's root shows no calendar of the user's.
    server.Fault([](const PeerRequest& r) {
        return ScriptedServer::IsDiscovery(r) ? HttpReply(404, "Not Found") : PeerReply{};
    });
    EXPECT_EQ(R_OK, RefreshAndWait(*account, 0));
    EXPECT_EQ(Stored(*account), synced);
}

TEST_F(AccountRefresh, CalendarsWhosePathsEndInTheSameNameKeepTheirRowsApart) {
    server.Home({Response("/alice/work/", CalendarProps("Work")), Response("/shared/bob/work/", CalendarProps("Bob's work"))});
    RRef<ROrvaneAccount> account = NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    const auto guids = [&] {
        std::map<std::string, std::string> byPath;
        for (const RRef<ROrvaneCalendar>& calendar : account->Calendars()) {
            const CalendarRecord row = calendar->GetRecord();
            if (world.store->IsEventCalendar(row)) byPath[row.pathURI.Str()] = row.guid.Str();
        }
        return byPath;
    };
    const std::map<std::string, std::string> first = guids();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first.at("/alice/work/"), "work");
    EXPECT_NE(first.at("/shared/bob/work/"), "work");
    const std::vector<std::pair<std::string, std::size_t>> each{{"/alice/work/", 1}, {"/shared/bob/work/", 1}};
    std::vector<std::pair<std::string, std::size_t>> stored = Stored(*account);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, each);

    // Both keep their guids from one refresh to the next.
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    EXPECT_EQ(guids(), first);
}

TEST_F(AccountRefresh, OnlyCalDavCalendarsAreCalendarsAndEachIsOfferedWhateverItsOrder) {
    // A server that keeps the calendar-proxy groups in the home; no collection has an order.
    const auto proxy = [](const std::string& kind) {
        return Response("/alice/calendar-proxy-" + kind + "/",
                        "<D:resourcetype><D:collection/><CS:calendar-proxy-" + kind + "/></D:resourcetype>");
    };
    server.Home({Response("/alice/work/", CalendarProps("Work")), proxy("read"), proxy("write"),
                 Response("/alice/home/", CalendarProps("Home"))});
    RRef<ROrvaneAccount> account = NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));

    std::set<std::string> offered;
    for (const auto& [name, guid] : account->FillCalendarComboBox(false)) offered.insert(guid.Str());
    EXPECT_EQ(offered, (std::set<std::string>{"home", "work"}));
    RRef<ROrvaneCalendar> chosen = account->GetDefaultCalendar();
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(offered.count(chosen->GetGuid().Str()) == 1) << chosen->GetGuid().Str();
}
