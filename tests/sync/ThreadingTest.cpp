// The user-interface thread and refresh workers on the same accounts and calendars: uploads while
// a refresh runs, one UID saved from two threads, a worker that does not give way, the exit
// in the middle of a refresh, and an import on its own worker. Run under ThreadSanitizer in CI.
#include "tests/sync/ServerEndToEnd.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "ical/model/RIcsCalendar.h"
#include "platform/messages/MessageTargets.h"
#include "sync/ImportWorker.h"
#include "sync/SyncResults.h"

using namespace orvane::test;

namespace {

std::string Event(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Threads//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

RRef<RIcsCalendar> Parsed(const std::string& text) {
    auto calendar = MakeRef<RIcsCalendar>();
    EXPECT_EQ(R_OK, calendar->Parse(text.c_str()));
    return calendar;
}

class Threads : public EndToEnd<RadicaleServer> {
protected:
    // An account refreshed once, with one calendar of `count` events on the server.
    RRef<ROrvaneCalendar> Prepared(int count, RRef<ROrvaneAccount>& account, std::string& path) {
        path = NewCalendar("Threads");
        for (int i = 0; i < count; ++i) {
            const std::string uid = "t" + std::to_string(i);
            EXPECT_TRUE(RSucceeded(Send("PUT", path + uid + ".ics", Event(uid, "Server"))));
        }
        account = NewAccount();
        EXPECT_EQ(R_OK, RefreshAndWait(*account, 0));
        for (const auto& calendar : account->Calendars()) {
            if (calendar->GetRecord().pathURI == path.c_str()) return calendar;
        }
        return nullptr;
    }
};

}  // namespace

TEST_F(Threads, UploadsFromTheUserInterfaceWhileARefreshRunsAllArrive) {
    RRef<ROrvaneAccount> account;
    std::string path;
    RRef<ROrvaneCalendar> calendar = Prepared(40, account, path);
    ASSERT_TRUE(calendar);
    // Changes on the server give the next refresh work to do.
    for (int i = 0; i < 40; ++i) {
        const std::string uid = "t" + std::to_string(i);
        ASSERT_TRUE(RSucceeded(Send("PUT", path + uid + ".ics", Event(uid, "Changed"))));
    }
    account->StartRefresh(0);
    std::vector<std::string> uploaded;
    for (int i = 0; i < 10; ++i) {
        const std::string uid = "ui" + std::to_string(i);
        auto event = Parsed(Event(uid, "From the user"));
        const RResult result = calendar->UploadItem(event.get(), nullptr, nullptr, nullptr);
        ASSERT_TRUE(result == R_OK || result == R_E_CALENDAR_BUSY) << result;
        if (result == R_OK) uploaded.push_back(uid);
        ProcessEventsUntil([] { return true; });
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return !account->IsRefreshing(); }));
    EXPECT_EQ(R_OK, account->GetLastResult());
    EXPECT_FALSE(uploaded.empty());
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    const auto rows = world.Items(*calendar);
    EXPECT_EQ(rows.size(), 40u + uploaded.size());
    for (const std::string& uid : uploaded) {
        EXPECT_FALSE(Fetch(path + uid + ".ics").empty()) << uid;
    }
    for (const auto& row : rows) {
        if (row.guid.Left(1) == "t") {
            EXPECT_EQ(row.summary, "Changed") << row.guid.GetString();
        }
    }
}

TEST_F(Threads, OneUidSavedFromTwoThreadsIsCreatedOnce) {
    RRef<ROrvaneAccount> account;
    std::string path;
    RRef<ROrvaneCalendar> calendar = Prepared(0, account, path);
    ASSERT_TRUE(calendar);
    RResult results[2] = {-1, -1};
    std::thread first([&] { results[0] = calendar->UploadItem(Parsed(Event("twice", "First")).get(), nullptr, nullptr, nullptr); });
    std::thread second([&] { results[1] = calendar->UploadItem(Parsed(Event("twice", "Second")).get(), nullptr, nullptr, nullptr); });
    first.join();
    second.join();
    // Create-only: exactly one of them made the resource; the other found it there.
    EXPECT_TRUE((results[0] == R_OK && results[1] == 412) || (results[0] == 412 && results[1] == R_OK))
        << results[0] << " " << results[1];
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    EXPECT_EQ(world.Items(*calendar).size(), 1u);
}

TEST_F(Threads, AUserOperationThatTheWorkerDoesNotMakeWayForIsBusyAndSendsNothing) {
    RRef<ROrvaneAccount> account;
    std::string path;
    RRef<ROrvaneCalendar> calendar = Prepared(0, account, path);
    ASSERT_TRUE(calendar);
    std::atomic<bool> holding{false};
    std::atomic<bool> asked{false};
    std::thread stubborn([&] {
        SetRefreshWorkerThread(true);
        CalendarOperationGuard held = CalendarOperationGuard::ForWorker(calendar->OperationLock());
        holding = true;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!calendar->OperationLock().YieldRequested() && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        asked = calendar->OperationLock().YieldRequested();
        std::this_thread::sleep_for(std::chrono::milliseconds(5500));
    });
    while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    const RResult result = calendar->UploadItem(Parsed(Event("blocked", "Blocked")).get(), nullptr, nullptr, nullptr);
    const auto waited = std::chrono::steady_clock::now() - start;
    stubborn.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(R_E_CALENDAR_BUSY, result);
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
    EXPECT_TRUE(Fetch(path + "blocked.ics").empty());
}

TEST_F(Threads, ExitInTheMiddleOfARefreshJoinsTheWorkerWithinFiveSeconds) {
    RRef<ROrvaneAccount> account;
    std::string path;
    RRef<ROrvaneCalendar> calendar = Prepared(60, account, path);
    ASSERT_TRUE(calendar);
    for (int i = 0; i < 60; ++i) {
        const std::string uid = "t" + std::to_string(i);
        ASSERT_TRUE(RSucceeded(Send("PUT", path + uid + ".ics", Event(uid, "Changed"))));
    }
    RecordingTarget target;
    account->StartRefresh(target.Id());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(world.manager->StopAll(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The refresh ends stopped (or finished just before); either way nothing is left running.
    ASSERT_TRUE(ProcessEventsUntil([&] { return !account->IsRefreshing(); }));
    EXPECT_TRUE(account->GetLastResult() == R_E_SYNC_CANCELLED || account->GetLastResult() == R_OK)
        << account->GetLastResult();
    // No new refresh starts once the manager stops.
    account->StartRefresh(0);
    EXPECT_FALSE(account->IsRefreshing());
}

TEST_F(Threads, AnImportOnItsWorkerReportsEachItemAndStopsAfterTheOneInHand) {
    RRef<ROrvaneAccount> account;
    std::string path;
    RRef<ROrvaneCalendar> calendar = Prepared(0, account, path);
    ASSERT_TRUE(calendar);
    constexpr int kEvents = 60;
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Threads//EN\r\n";
    for (int i = 0; i < kEvents; ++i) {
        text += "BEGIN:VEVENT\r\nUID:imp" + std::to_string(i) +
                "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:Imported"
                "\r\nEND:VEVENT\r\n";
    }
    const std::string file = world.folder.Str() + "/long.ics";
    std::ofstream(file) << text << "END:VCALENDAR\r\n";

    // The messages reach this thread, which stays free while the worker uploads; the stop is
    // asked for on the third item's report.
    std::vector<std::pair<std::uint64_t, std::int64_t>> reports;
    bool finished = false;
    std::unique_ptr<ImportWorker> worker;
    const platform::messages::TargetId target = platform::messages::RegisterTarget(
        [&](platform::messages::AppMessage message, std::uint64_t wParam, std::int64_t lParam) {
            if (message == platform::messages::WM_APP_IMPORT_PROGRESS) {
                reports.emplace_back(wParam, lParam);
                if (wParam == 3) worker->RequestStop();
            } else if (message == platform::messages::WM_APP_IMPORT_FINISHED) {
                finished = true;
            }
        });
    worker = std::make_unique<ImportWorker>(calendar, CStringW::FromUtf8(file), target);
    EXPECT_FALSE(worker->Finished());
    ASSERT_TRUE(ProcessEventsUntil([&] { return finished; }, std::chrono::seconds(60)));
    platform::messages::UnregisterTarget(target);

    const ImportOutcome outcome = worker->Outcome();
    EXPECT_EQ(R_OK, outcome.result);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(kEvents, outcome.all);
    EXPECT_GE(outcome.arrived, 3);
    EXPECT_LT(outcome.arrived, kEvents);
    ASSERT_EQ(static_cast<std::size_t>(outcome.arrived), reports.size());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(i + 1, reports[i].first);
        EXPECT_EQ(kEvents, reports[i].second);
    }
    // What was reported done is on the server and in the store, and nothing after it.
    EXPECT_EQ(static_cast<std::size_t>(outcome.arrived), world.Items(*calendar).size());
    EXPECT_FALSE(Fetch(path + "imp" + std::to_string(outcome.arrived - 1) + ".ics").empty());
    EXPECT_TRUE(Fetch(path + "imp" + std::to_string(outcome.arrived) + ".ics").empty());
}
