// Test main: every test program runs with HOME and the XDG folders inside one temporary
// folder, so no test can read or write the real user's settings, data or documents.
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

namespace orvane::test {
namespace {
std::unique_ptr<TempFolder> g_runFolder;
}

const std::filesystem::path& RunFolder() { return g_runFolder->Path(); }

}  // namespace orvane::test

int main(int argc, char** argv) {
    using orvane::test::g_runFolder;
    g_runFolder = std::make_unique<orvane::test::TempFolder>("orvane-run");
    const auto& root = g_runFolder->Path();
    for (const char* sub : {"home", "data", "config", "documents", "cache"}) {
        std::filesystem::create_directories(root / sub);
    }
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (root / "documents").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    setenv("TZ", "UTC", 0);
    // Tests read the debugger trace, which the program writes only when asked for.
    setenv("ORVANE_TRACE", "1", 1);

    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    g_runFolder.reset();
    return result;
}
