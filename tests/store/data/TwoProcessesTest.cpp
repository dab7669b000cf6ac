// Two processes on one data folder: this test program started a second time works on the same
// database while the first one does, and neither loses what the other stores.
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "store/files/DataFolderLock.h"
#include "tests/store/data/CalendarText.h"
#include "tests/store/data/ChildProcess.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

constexpr int kBatches = 20;
constexpr int kPerBatch = 50;

std::string BatchPrefix(const std::string& prefix, int batch) { return prefix + "-" + std::to_string(batch); }

// Imports batch after batch; each step also rewrites the previous batch and deletes its first
// item. Results as lines "<step> <batch> <result>".
std::string ImportUpdateDelete(ROrvaneDataManager* store, const std::string& prefix) {
    std::ostringstream results;
    for (int batch = 0; batch < kBatches; ++batch) {
        results << "import " << batch << " " << ImportText(store, EventsText(BatchPrefix(prefix, batch), kPerBatch))
                << "\n";
        if (batch > 0) {
            const std::string previous = BatchPrefix(prefix, batch - 1);
            results << "update " << batch - 1 << " "
                    << ImportText(store, EventsText(previous, kPerBatch, "updated")) << "\n";
            results << "delete " << batch - 1 << " "
                    << store->DeleteCalendarItem((previous + "-0").c_str(), "", "cal", "acc") << "\n";
        }
    }
    return results.str();
}

class TwoProcessesTest : public OpenStoreFixture {
protected:
    // Every step must have succeeded, and the rows must be exactly what the steps left.
    void ExpectComplete(const std::string& prefix, const std::string& results) {
        std::istringstream lines(results);
        std::string step;
        int batch = 0;
        long long result = 0;
        int steps = 0;
        while (lines >> step >> batch >> result) {
            EXPECT_EQ(0, result) << prefix << " " << step << " " << batch;
            ++steps;
        }
        EXPECT_EQ(kBatches + 2 * (kBatches - 1), steps) << results;
        for (int b = 0; b < kBatches; ++b) {
            const std::string like = "guid like '" + BatchPrefix(prefix, b) + "-%'";
            const bool last = b == kBatches - 1;
            EXPECT_EQ(last ? kPerBatch : kPerBatch - 1, Scalar("select count(*) from CalendarItems where " + like))
                << prefix << " batch " << b;
            EXPECT_EQ(last ? 0 : kPerBatch - 1,
                      Scalar("select count(*) from CalendarItems where summary = 'updated' and " + like))
                << prefix << " batch " << b;
        }
    }
};

TEST_F(TwoProcessesTest, ConcurrentImportsUpdatesAndDeletesLoseNothing) {
    MakeAccount("acc");
    MakeCalendar("acc", "cal");
    ChildProcess child("ImportUpdateDelete", dataDir.string() + "|second");
    ASSERT_TRUE(child.Started());
    ASSERT_EQ("ready 0", child.ReadReport("ready"));
    testing::internal::CaptureStderr();
    const std::string mine = ImportUpdateDelete(store, "first");
    testing::internal::GetCapturedStderr();
    std::string theirs;
    std::istringstream output(child.ReadAll());
    for (std::string line; std::getline(output, line);) {
        if (line.rfind("import ", 0) == 0 || line.rfind("update ", 0) == 0 || line.rfind("delete ", 0) == 0) {
            theirs += line + "\n";
        }
    }
    EXPECT_EQ(0, child.Wait());
    ExpectComplete("first", mine);
    ExpectComplete("second", theirs);
}

TEST_F(TwoProcessesTest, SecondCopyFindsTheDataFolderClaimed) {
    const CStringW folder = CStringW::FromUtf8(dataDir.string());
    DataFolderLock claim;
    ASSERT_EQ(R_OK, claim.Acquire(folder));
    {
        ChildProcess second("ClaimDataFolder", dataDir.string());
        ASSERT_TRUE(second.Started());
        EXPECT_EQ("claim " + std::to_string(R_E_DATA_FOLDER_IN_USE), second.ReadReport("claim"));
    }
    claim.Release();
    ChildProcess second("ClaimDataFolder", dataDir.string());
    ASSERT_EQ("claim 0", second.ReadReport("claim"));
    EXPECT_EQ(R_E_DATA_FOLDER_IN_USE, claim.Acquire(folder));
    // A copy that dies without letting go (killed, crashed) leaves no claim behind.
    second.Kill();
    second.Wait();
    EXPECT_EQ(R_OK, claim.Acquire(folder));
}

// The second process's side of the tests above; does nothing in an ordinary run.
TEST(TwoProcessesChild, ImportUpdateDelete) {
    const char* argument = ChildArgument();
    if (argument == nullptr) {
        GTEST_SKIP() << "runs only as the second process of TwoProcessesTest";
    }
    const std::string text = argument;
    const std::string folder = text.substr(0, text.find('|'));
    const std::string prefix = text.substr(text.find('|') + 1);
    ROrvaneDataManager* store = new ROrvaneDataManager();
    const RResult opened = store->Open(CStringW::FromUtf8(folder));
    std::printf("ready %d\n", opened);
    std::fflush(stdout);
    const std::string results = ImportUpdateDelete(store, prefix);
    std::printf("%s", results.c_str());
    std::fflush(stdout);
    store->Release();
}

TEST(TwoProcessesChild, ClaimDataFolder) {
    const char* argument = ChildArgument();
    if (argument == nullptr) {
        GTEST_SKIP() << "runs only as the second process of TwoProcessesTest";
    }
    DataFolderLock claim;
    const RResult result = claim.Acquire(CStringW::FromUtf8(argument));
    std::printf("claim %d\n", result);
    std::fflush(stdout);
    if (result == R_OK) {
        std::this_thread::sleep_for(std::chrono::seconds(60));  // until the parent kills it
    }
}

}  // namespace
}  // namespace orvane::test
