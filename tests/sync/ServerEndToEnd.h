#pragma once
// The end-to-end groups run the same tests against every CalDAV server the machine has: each
// server type gives its name, how it starts, the user, and where a new calendar is made.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dav/http/RWebDAVConnection.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "tests/dav/integration/ServerSuite.h"
#include "tests/sync/SyncTestSupport.h"

namespace orvane::test {

struct RadicaleServer {
    static constexpr char kName[] = "radicale";
    static constexpr bool kMoves = true;
    static constexpr bool kChecksIfMatch = true;
    static bool Available() { return ServerAvailable("/usr/bin/radicale"); }
    static std::string Start(const TempFolder& folder, ServerProcess& server) {
        const std::string config = WriteRadicaleConfig(folder.Str());
        std::ofstream(folder.Str() + "/users") << "alice:secret\n";
        return server.Start({"/usr/bin/radicale", "-C", config}, folder.Str() + "/log", std::chrono::seconds(20));
    }
    static std::string CalendarPath(const std::string& name) { return "/alice/" + name + "/"; }
};

struct XandikosServer {
    static constexpr char kName[] = "xandikos";
    static constexpr bool kMoves = false;         // answers MOVE with 405
    static constexpr bool kChecksIfMatch = false;  // takes a PUT whatever its If-Match says
    static bool Available() {
        static const bool available = ServerAvailable("/usr/bin/python3") &&
                                      std::system("/usr/bin/python3 -c 'import xandikos' 2>/dev/null") == 0;
        return available;
    }
    static std::string Start(const TempFolder& folder, ServerProcess& server) {
        return server.Start({"/usr/bin/python3", FixtureFolder() + "/xandikos_server.py", folder.Str() + "/store",
                             "alice", "secret"},
                            folder.Str() + "/log", std::chrono::seconds(30));
    }
    static std::string CalendarPath(const std::string& name) { return "/alice/calendars/" + name + "/"; }
};

// A server started for the suite, plus a fresh store and account manager for each test.
template <typename Server>
class EndToEnd : public ServerSuite<Server> {
protected:
    void SetUp() override {
        ServerSuite<Server>::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure()) return;
        world.SetUp();
    }
    void TearDown() override { world.TearDown(); }

    // A new calendar collection with a name no other test uses; returns its path.
    std::string NewCalendar(const std::string& displayName) {
        static std::atomic<int> next{1};
        const std::string path = Server::CalendarPath("c" + std::to_string(next++) + "-" + std::to_string(::getpid()));
        EXPECT_EQ(201, MakeCalendar(this->Port(), "alice", "secret", path, displayName));
        return path;
    }
    // The account of the test user on the suite's server.
    RRef<ROrvaneAccount> NewAccount() {
        RRef<ROrvaneAccount> account = world.manager->CreateAccount("Test account", "alice", "secret");
        EXPECT_TRUE(account);
        if (account) account->SetAddress((this->Base() + "/").c_str());
        return account;
    }
    // A request straight to the server, as another client would send it.
    RResult Send(const char* verb, const std::string& path, const std::string& body = std::string(),
                 const char* headers = "Content-Type: text/calendar") {
        auto connection = Connected(path);
        const std::string name = path.substr(path.rfind('/') + 1);
        return connection->SendRequest(headers, body.empty() ? nullptr : body.c_str(), verb,
                                       name.empty() ? nullptr : name.c_str());
    }
    // The body of a resource on the server, or empty text.
    std::string Fetch(const std::string& path) {
        auto connection = Connected(path);
        const std::string name = path.substr(path.rfind('/') + 1);
        platform::RecursiveMutexLock hold(connection->Mutex());
        if (!RSucceeded(connection->SendRequest(nullptr, nullptr, "GET", name.c_str()))) return std::string();
        RHeapBuffer* body = connection->ReadResponse();
        return body != nullptr && body->data != nullptr ? std::string(reinterpret_cast<const char*>(body->data)) : std::string();
    }

    // A connection to the collection that holds `path` (a resource path keeps its own name out).
    RRef<RWebDAVConnection> Connected(const std::string& path) {
        auto connection = MakeRef<RWebDAVConnection>();
        connection->Initialize("127.0.0.1", this->Port(), false, "alice", "secret");
        connection->SetPath(path.substr(0, path.rfind('/') + 1).c_str());
        return connection;
    }

    SyncWorld world;
};

}  // namespace orvane::test
