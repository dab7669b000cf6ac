// Error reports handed over from workers: nobody waits, reports are shown one at a time even
// when showing one runs a nested event loop, and reports of gone accounts are not shown.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "platform/messages/ErrorReports.h"
#include "platform/messages/MessageTargets.h"
#include "tests/platform/messages/QtTestApplication.h"

using namespace platform::messages;
using orvane::test::ProcessEventsUntil;

namespace {

ErrorReport Report(const std::string& guid, std::int32_t code) {
    ErrorReport report;
    report.accountGuid = guid;
    report.accountName = CStringW(u"Account ") + CStringW(std::u16string(guid.begin(), guid.end()));
    report.code = code;
    return report;
}

}  // namespace

TEST(ErrorReports, WorkersHandOverAndTheUiShowsOneAtATime) {
    std::vector<std::int32_t> shown;
    int depth = 0;
    int deepest = 0;
    std::set<std::string> deletedAccounts{"gone"};
    ErrorReportQueue queue(
        [&](const ErrorReport& report) {
            ++depth;
            deepest = std::max(deepest, depth);
            shown.push_back(report.code);
            // Like a modal dialog: a nested event loop that delivers whatever was posted.
            for (int i = 0; i < 5; ++i) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            --depth;
        },
        [&](const std::string& guid) { return deletedAccounts.count(guid) == 0; });
    InstallErrorReportSink(queue.Sink());

    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < 4; ++i) {
                SubmitErrorReport(Report("acc" + std::to_string(t), t * 100 + i));
            }
            SubmitErrorReport(Report("gone", 999));
        });
    }
    for (auto& worker : workers) {
        worker.join();  // returns without any report shown: nobody waits for the user
    }
    EXPECT_TRUE(shown.empty());
    ASSERT_TRUE(ProcessEventsUntil([&] { return shown.size() == 12 && queue.PendingCount() == 0; }));
    EXPECT_EQ(deepest, 1) << "never one report inside another";
    std::vector<std::int32_t> fromFirst;
    for (std::int32_t code : shown) {
        EXPECT_NE(code, 999) << "no report for a deleted account";
        if (code < 100) {
            fromFirst.push_back(code);
        }
    }
    EXPECT_EQ(fromFirst, (std::vector<std::int32_t>{0, 1, 2, 3}));

    // A report without an account is always shown.
    queue.Push(Report("", 5));
    ASSERT_TRUE(ProcessEventsUntil([&] { return shown.size() == 13; }));
    InstallErrorReportSink({});
}

TEST(ErrorReports, WithoutASinkOrAfterTheQueueIsGoneReportsAreDropped) {
    InstallErrorReportSink({});
    SubmitErrorReport(Report("a", 1));  // nothing installed: dropped, no crash

    int shown = 0;
    ErrorReportSink sink;
    {
        ErrorReportQueue queue([&](const ErrorReport&) { ++shown; }, {});
        sink = queue.Sink();
        sink(Report("a", 2));
    }
    sink(Report("a", 3));
    bool flushed = false;
    RunOnUiThread([&] { flushed = true; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return flushed; }));
    EXPECT_EQ(shown, 0);
}
