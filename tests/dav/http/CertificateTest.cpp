// Server certificates that fail verification, against HTTPS peers of the tests' own: the
// number that names the problem, what the person is shown, accepting a certificate for this
// run (pinned by its key, so a changed one fails again), one question per refresh, workers
// that keep the question instead of waiting, and no redirect from https to http.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "dav/caldav/RCalDAVAccount.h"
#include "dav/caldav/RCalDAVCalendar.h"
#include "foundation/memory/RRef.h"
#include "platform/http/Certificates.h"
#include "platform/http/ConnectionErrorHook.h"
#include "platform/http/InternetErrors.h"
#include "tests/dav/http/TestCertificates.h"
#include "tests/dav/integration/ServerProcess.h"
#include "tests/platform/http/LoopbackPeer.h"
#include "tests/support/TempFolder.h"

using orvane::test::HttpReply;
using orvane::test::LoopbackPeer;
using orvane::test::PeerRequest;
using orvane::test::ServerProcess;
using orvane::test::TestCertificate;
using platform::http::CertificateDecision;
using platform::http::CertificateProblem;

namespace {

constexpr long kDay = 24 * 3600;

class Certificates : public ::testing::Test {
protected:
    void SetUp() override {
        orvane::test::MakeCertificate(authority_, "Orvane Test Authority", "", nullptr, -kDay, 30 * kDay, true);
        orvane::test::MakeCertificate(selfSigned_, "127.0.0.1", "IP:127.0.0.1", nullptr, -kDay, 30 * kDay);
        orvane::test::MakeCertificate(otherSelfSigned_, "127.0.0.1", "IP:127.0.0.1", nullptr, -kDay, 30 * kDay);
        orvane::test::MakeCertificate(otherName_, "other.example", "DNS:other.example", &authority_, -kDay, 30 * kDay);
        orvane::test::MakeCertificate(expired_, "127.0.0.1", "IP:127.0.0.1", &authority_, -30 * kDay, -kDay);
        authority_.Write(Base("authority"));
        selfSigned_.Write(Base("self"));
        otherSelfSigned_.Write(Base("self2"));
        otherName_.Write(Base("other-name"));
        expired_.Write(Base("expired"));
        // The test authority stands in for the system's store.
        platform::http::SetTrustedCaFile(Base("authority") + ".crt");
        platform::http::ForgetAcceptedCertificates();
    }
    void TearDown() override {
        platform::http::SetCertificateHandler({});
        platform::http::SetUserThread({});
        platform::http::ForgetAcceptedCertificates();
        platform::http::SetTrustedCaFile("");
    }

    std::string Base(const std::string& name) const { return folder_.Str() + "/" + name; }

    // Starts the HTTPS peer with one of the certificates; false when it could not start.
    bool Serve(ServerProcess& server, const std::string& name, int port = 0, const std::string& redirect = "") {
        std::vector<std::string> argv = {"/usr/bin/python3", orvane::test::FixtureFolder() + "/tls_peer.py", Base(name) + ".crt",
                                         Base(name) + ".key", "--port", std::to_string(port)};
        if (!redirect.empty()) argv.insert(argv.end(), {"--redirect", redirect});
        const std::string error = server.Start(argv, Base(name) + "-" + std::to_string(++started_) + ".log", std::chrono::seconds(20));
        EXPECT_EQ(error, "");
        return error.empty();
    }

    orvane::test::TempFolder folder_{"dav-certs"};
    TestCertificate authority_, selfSigned_, otherSelfSigned_, otherName_, expired_;
    int started_ = 0;
};

RResult FetchCtagOver(int port) {
    auto calendar = MakeRef<RCalDAVCalendar>();
    calendar->Open("127.0.0.1", port, "/p/cal/", true, "", "");
    return calendar->FetchCtag();
}

}  // namespace

TEST_F(Certificates, TheNumberNamesTheProblemAndTheQuestionHoldsWhatAPersonNeeds) {
    const std::pair<const char*, DWORD> cases[] = {
        {"self", platform::http::ERROR_INTERNET_INVALID_CA},
        {"other-name", platform::http::ERROR_INTERNET_SEC_CERT_CN_INVALID},
        {"expired", platform::http::ERROR_INTERNET_SEC_CERT_DATE_INVALID},
    };
    for (const auto& [name, expected] : cases) {
        ServerProcess server;
        if (!Serve(server, name)) return;
        auto calendar = MakeRef<RCalDAVCalendar>();
        ASSERT_EQ(calendar->Open("127.0.0.1", server.Port(), "/p/cal/", true, "", ""), 0);
        // No handler: nothing is accepted, however often it is asked.
        EXPECT_EQ(calendar->FetchCtag(), static_cast<RResult>(expected)) << name;
        EXPECT_EQ(calendar->FetchCtag(), static_cast<RResult>(expected)) << name;
        RWebDAVConnection* c = nullptr;
        calendar->GetConnection(&c);
        CertificateProblem problem;
        ASSERT_TRUE(c->GetCertificateProblem(&problem)) << name;
        c->Release();
        EXPECT_EQ(problem.error, expected);
        EXPECT_EQ(problem.host, "127.0.0.1");
        EXPECT_EQ(problem.port, server.Port());
        EXPECT_NE(problem.subject.find("Orvane Tests"), std::string::npos) << problem.subject;
        EXPECT_FALSE(problem.issuer.empty());
        EXPECT_EQ(problem.validFrom.size(), 23u) << problem.validFrom;
        EXPECT_EQ(problem.validUntil.size(), 23u);
        EXPECT_EQ(problem.sha256Fingerprint.size(), 32u * 3 - 1);
        EXPECT_EQ(problem.publicKeyPin.rfind("sha256//", 0), 0u);
    }
}

TEST_F(Certificates, AnAcceptedCertificateIsPinnedAndAChangedOneFailsAgain) {
    std::atomic<int> asked{0};
    CertificateProblem shown;
    CertificateDecision decision = CertificateDecision::AcceptForThisRun;
    platform::http::SetCertificateHandler([&](const CertificateProblem& problem) {
        ++asked;
        shown = problem;
        return decision;
    });
    ServerProcess server;
    if (!Serve(server, "self")) return;
    const int port = server.Port();
    EXPECT_EQ(FetchCtagOver(port), 0);
    EXPECT_EQ(asked.load(), 1);
    EXPECT_EQ(shown.error, platform::http::ERROR_INTERNET_INVALID_CA);
    EXPECT_EQ(FetchCtagOver(port), 0);  // a new connection to the same server: no question
    EXPECT_EQ(asked.load(), 1);
    const std::string firstFingerprint = shown.sha256Fingerprint;

    // The same server now shows another certificate: refused, it fails again.
    server.Stop();
    if (!Serve(server, "self2", port)) return;
    decision = CertificateDecision::Refuse;
    EXPECT_EQ(FetchCtagOver(port), static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_CA));
    EXPECT_EQ(asked.load(), 2);
    EXPECT_NE(shown.sha256Fingerprint, firstFingerprint);
    EXPECT_EQ(FetchCtagOver(port), static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_CA));
}

TEST_F(Certificates, ARefreshAsksOnceAndAWorkerKeepsTheQuestionForTheUserThread) {
    std::atomic<int> asked{0};
    platform::http::SetCertificateHandler([&](const CertificateProblem&) {
        ++asked;
        return CertificateDecision::Refuse;
    });
    ServerProcess server;
    if (!Serve(server, "self")) return;
    auto account = MakeRef<RCalDAVAccount>();
    ASSERT_EQ(account->Connect("127.0.0.1", "/p/", server.Port(), true, "u", "p"), 0);
    EXPECT_EQ(account->Refresh(true), static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_CA));
    EXPECT_EQ(asked.load(), 1);

    // A refresh worker never waits for a person: it fails and the account keeps the question.
    platform::http::SetUserThread(std::this_thread::get_id());
    RResult onWorker = 0;
    std::thread worker([&] { onWorker = account->Refresh(true); });
    worker.join();
    EXPECT_EQ(onWorker, static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_CA));
    EXPECT_EQ(asked.load(), 1);
    CertificateProblem question;
    ASSERT_TRUE(account->GetCertificateProblem(&question));
    EXPECT_EQ(question.port, server.Port());

    // The user-interface thread accepts it and the refresh runs again.
    platform::http::AcceptCertificate(question.host, question.port, question.publicKeyPin);
    std::thread again([&] { onWorker = account->Refresh(true); });
    again.join();
    EXPECT_EQ(onWorker, 0);
    EXPECT_GE(account->GetCalendarCount(), 1);
    EXPECT_FALSE(account->GetCertificateProblem(nullptr));
}

TEST_F(Certificates, ARedirectFromHttpsToHttpIsNeverFollowed) {
    LoopbackPeer plain([](const PeerRequest&) { return HttpReply(200, "OK", "BEGIN:VCALENDAR"); });
    ServerProcess server;
    if (!Serve(server, "self", 0, "http://127.0.0.1:" + std::to_string(plain.Port()))) return;
    CertificateProblem problem;
    problem.host = "127.0.0.1";
    std::ifstream in(Base("self") + ".crt");
    std::stringstream pem;
    pem << in.rdbuf();
    ASSERT_TRUE(platform::http::DescribeCertificate(pem.str(), 0, problem));
    platform::http::AcceptCertificate("127.0.0.1", server.Port(), problem.publicKeyPin);

    auto c = MakeRef<RWebDAVConnection>();
    c->Initialize("127.0.0.1", server.Port(), true, "u", "p");
    c->SetPath("/redirect/");
    EXPECT_EQ(c->Get(nullptr, "feed.ics"), 302);
    EXPECT_EQ(c->Propfind("Depth: 0", "<x/>"), 302);
    EXPECT_TRUE(plain.Requests().empty());
    CStringA path;
    bool secure = false;
    c->GetServer(nullptr, nullptr, &path, &secure);
    EXPECT_EQ(path, "/redirect/");
    EXPECT_TRUE(secure);
}
