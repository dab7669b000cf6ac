// A subscribed calendar of a server account, fetched over HTTPS from two static-file servers on
// 127.0.0.1 that both ask for credentials: the account's own server (its host and port) gets the
// account's user name and password; a feed on another port of the same host gets none, even
// though it asks, so the refresh fails with its 401 and stores nothing.
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dav/caldav/RCalDAVAccount.h"
#include "platform/http/Certificates.h"
#include "tests/dav/http/TestCertificates.h"
#include "tests/dav/integration/ServerProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/sync/SyncTestSupport.h"

using namespace orvane::test;

namespace {

constexpr long kDay = 24 * 60 * 60;
constexpr char kFeed[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Feeds//EN\r\nBEGIN:VEVENT\r\nUID:shift-1\r\n"
    "DTSTAMP:20240101T000000Z\r\nDTSTART;VALUE=DATE:20240610\r\nSUMMARY:Shift\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

class HttpsSubscriptions : public SyncStoreFixture {
protected:
    void SetUp() override {
        SyncStoreFixture::SetUp();
        MakeCertificate(authority_, "Orvane Test Authority", "", nullptr, -kDay, 30 * kDay, true);
        MakeCertificate(server_, "127.0.0.1", "IP:127.0.0.1", &authority_, -kDay, 30 * kDay);
        authority_.Write(Base("authority"));
        server_.Write(Base("server"));
        std::ofstream(Base("feed.ics"), std::ios::binary) << kFeed;
        // The test authority stands in for the system's store.
        platform::http::SetTrustedCaFile(Base("authority") + ".crt");
        platform::http::ForgetAcceptedCertificates();
    }
    void TearDown() override {
        platform::http::SetTrustedCaFile("");
        platform::http::ForgetAcceptedCertificates();
        SyncStoreFixture::TearDown();
    }

    std::string Base(const std::string& name) const { return folder_.Str() + "/" + name; }
    bool Serve(ServerProcess& server, const std::string& log) {
        const std::vector<std::string> argv = {"/usr/bin/python3", FixtureFolder() + "/tls_peer.py",
                                               Base("server") + ".crt", Base("server") + ".key", "--port", "0",
                                               "--feed", Base("feed.ics"), "--challenge"};
        const std::string error = server.Start(argv, Base(log), std::chrono::seconds(20));
        EXPECT_EQ(error, "");
        return error.empty();
    }
    // The Authorization header of every GET the server logged, in order.
    std::vector<std::string> FeedRequestsAuth(const std::string& log) const {
        std::ifstream in(Base(log));
        std::vector<std::string> auth;
        for (std::string line; std::getline(in, line);) {
            const std::size_t at = line.find("REQUEST GET ");
            if (at == std::string::npos) continue;
            auth.push_back(line.substr(line.find(" auth=") + 6));
        }
        return auth;
    }

    TempFolder folder_{"sync-https-feeds"};
    TestCertificate authority_, server_;
};

}  // namespace

TEST_F(HttpsSubscriptions, CredentialsGoOnlyToTheAccountsOwnHostAndPort) {
    ServerProcess own, other;
    ASSERT_TRUE(Serve(own, "own.log"));
    ASSERT_TRUE(Serve(other, "other.log"));
    RRef<ROrvaneAccount> account = world.manager->CreateAccount("Work", "alice", "secret");
    ASSERT_TRUE(account);
    const std::string ownBase = "https://127.0.0.1:" + std::to_string(own.Port());
    RRef<RCalDAVAccount> server = account->GetCalDAVAccount();
    ASSERT_TRUE(server);
    ASSERT_EQ(R_OK, server->ConnectByUrl("alice", "secret", (ownBase + "/").c_str()));

    RRef<ROrvaneCalendar> mine = account->AddSubscribedCalendar((ownBase + "/feeds/rota.ics").c_str(), "Rota");
    RRef<ROrvaneCalendar> foreign = account->AddSubscribedCalendar(
        ("webcals://127.0.0.1:" + std::to_string(other.Port()) + "/feeds/rota.ics").c_str(), "Elsewhere");
    ASSERT_TRUE(mine && foreign);

    ASSERT_EQ(R_OK, mine->RefreshSubscription(false));
    const auto rows = world.Items(*mine);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].summary, "Shift");
    const std::vector<std::string> ownAuth = FeedRequestsAuth("own.log");
    ASSERT_FALSE(ownAuth.empty());
    EXPECT_EQ(ownAuth.back().rfind("Basic ", 0), 0u) << ownAuth.back();

    EXPECT_EQ(401, foreign->RefreshSubscription(false));
    EXPECT_EQ(0u, world.Items(*foreign).size());
    const std::vector<std::string> otherAuth = FeedRequestsAuth("other.log");
    ASSERT_FALSE(otherAuth.empty());
    for (const std::string& auth : otherAuth) EXPECT_EQ(auth, "");
}
