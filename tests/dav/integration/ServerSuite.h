#pragma once
// A test suite that runs every test against one server started for the whole suite. `Server`
// gives kName (the program's name, also the scratch folder's), Available() and
// Start(folder, process), which returns an empty text or what went wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/dav/integration/ServerProcess.h"
#include "tests/support/TempFolder.h"

namespace orvane::test {

template <typename Server>
class ServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!Server::Available()) return;
        folder_ = new TempFolder(Server::kName);
        server_ = new ServerProcess();
        startError_ = Server::Start(*folder_, *server_);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        delete folder_;
        folder_ = nullptr;
    }
    // Without the server the tests are skipped, except on CI.
    void SetUp() override {
        if (!Server::Available()) {
            if (std::getenv("CI") != nullptr) FAIL() << Server::kName << " is not installed";
            GTEST_SKIP() << Server::kName << " is not installed";
        }
        ASSERT_TRUE(startError_.empty()) << startError_;
    }
    static int Port() { return server_->Port(); }
    static std::string Base() { return "http://127.0.0.1:" + std::to_string(Port()); }

    static inline TempFolder* folder_ = nullptr;
    static inline ServerProcess* server_ = nullptr;
    static inline std::string startError_;
};

}  // namespace orvane::test
