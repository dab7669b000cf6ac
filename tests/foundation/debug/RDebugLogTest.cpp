#include "foundation/debug/RDebugLog.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "tests/platform/settings/ScopedFolderVariable.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::exists(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    }
    return files;
}

class RDebugLogTest : public ::testing::Test {
protected:
    orvane::test::ScopedFolderVariable documents_{"XDG_DOCUMENTS_DIR"};
    orvane::test::ScopedFolderVariable config_{"XDG_CONFIG_HOME"};
    RDebugLog log_;
};

TEST_F(RDebugLogTest, WithTheSwitchOffNothingReachesTheDisk) {
    // Start-up opens the log only when "DebugLog" is set; here it is absent.
    if (ReadDebugLogFlag(kOrvaneSettingsKey) != 0) {
        log_.Open(nullptr);
    }
    log_.Printf("AppVersion %d.%d.%d.%d\n\r", 1, 2, 3, 4);
    log_.Write("raw", 3);
    log_.WriteWide(u"wide", 4);
    EXPECT_TRUE(FilesIn(documents_.Path()).empty());
    EXPECT_EQ(log_.PathUtf8(), "");
}

TEST_F(RDebugLogTest, OpenNamesTheFileAfterTheTimeAndLinesEndWithCrLf) {
    const DWORD on = 1;
    ASSERT_EQ(WriteRegistryBinary(kOrvaneSettingsKey, kDebugLogValueName, &on, 4), ERROR_SUCCESS);
    ASSERT_NE(ReadDebugLogFlag(kOrvaneSettingsKey), 0u);
    const fs::path folder = documents_.Path() / "not yet made";
    setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1);
    log_.Open(nullptr);

    log_.Printf("AppVersion %d.%d.%d.%d\n\r", 1, 2, 3, 4);
    log_.Printf("%s %s:%d%s", "PROPFIND", "example.org", 443, "/dav/");
    log_.Write("body", 4);
    log_.WriteWide(u"\x00e9", 1);

    const auto files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0].filename().string(),
                                 std::regex(R"(Brenmoor DebugLog \d{4}-\d\d-\d\d-\d\d-\d\d-\d\d\.txt)")))
        << files[0];
    EXPECT_EQ(files[0].string(), log_.PathUtf8());
    const char expected[] = "AppVersion 1.2.3.4\n\r\r\nPROPFIND example.org:443/dav/\r\nbody\xe9";
    EXPECT_EQ(ReadFile(files[0]), std::string(expected, sizeof expected)) << "UTF-16 written raw, NUL byte included";
}

TEST_F(RDebugLogTest, LongRecordsAreWrittenWhole) {
    const fs::path file = documents_.Path() / "long.txt";
    log_.Open(file.c_str());
    std::string record(70000, 'r');
    record[0] = '<';
    record.back() = '>';
    log_.Write(record.data(), static_cast<int>(record.size()));
    const std::string message(5000, 'm');  // far past a 512-byte line
    log_.Printf("[%s]", message.c_str());
    EXPECT_EQ(ReadFile(file), record + "[" + message + "]\r\n");
}

TEST_F(RDebugLogTest, SimultaneousWritersNeverInterleaveInsideARecord) {
    const fs::path file = documents_.Path() / "threads.txt";
    log_.Open(file.c_str());
    constexpr int kRecords = 200;
    auto writer = [this](char letter) {
        const std::string record = std::string(20000, letter) + "\r\n";
        for (int i = 0; i < kRecords; ++i) log_.Write(record.data(), static_cast<int>(record.size()));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();

    const std::string text = ReadFile(file);
    ASSERT_EQ(text.size(), 2u * kRecords * 20002);
    for (size_t at = 0; at < text.size(); at += 20002) {
        const std::string record = text.substr(at, 20002);
        ASSERT_EQ(record, std::string(20000, record[0]) + "\r\n") << "record at " << at;
    }
}

TEST_F(RDebugLogTest, AWriterWaitsForTheHolderButNotForEver) {
    const fs::path file = documents_.Path() / "held.txt";
    log_.Open(file.c_str());
    const int holder = ::open(file.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    std::thread waiting([this] { log_.Printf("after the holder"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ReadFile(file), "") << "no write while another writer holds the file";
    ::flock(holder, LOCK_UN);
    waiting.join();
    EXPECT_EQ(ReadFile(file), "after the holder\r\n");

    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    log_.Printf("dropped");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ::close(holder);
    EXPECT_EQ(ReadFile(file), "after the holder\r\n");
}

TEST_F(RDebugLogTest, APathThatDoesNotFitTurnsLoggingOffInsteadOfCuttingIt) {
    const fs::path good = documents_.Path() / "good.txt";
    log_.Open(good.c_str());
    const std::string tooLong = (documents_.Path() / std::string(300, 'p')).string();
    log_.Open(tooLong.c_str());
    EXPECT_EQ(log_.PathUtf8(), "");
    log_.Printf("lost");
    EXPECT_TRUE(FilesIn(documents_.Path()).empty());

    log_.Open(good.c_str());
    log_.Reset();
    log_.Printf("lost too");
    EXPECT_TRUE(FilesIn(documents_.Path()).empty());
}

TEST(RDebugLogProgramWide, TheSharedInstanceStartsClosed) {
    EXPECT_EQ(g_debugLog.PathUtf8(), "");
}

}  // namespace
