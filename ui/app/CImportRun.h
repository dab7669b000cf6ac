#pragma once
// A file import as the main window shows it while it runs: the worker that uploads the file's
// items, its progress in the status bar's message pane ("12 of 60 events"), and a Stop button
// beside it that ends the import after the item being sent. When the import has ended the run
// hands its outcome to `finished`, which may destroy the run.
//
// UI thread only.
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "foundation/memory/RRef.h"
#include "platform/messages/MessageTargets.h"
#include "sync/ImportWorker.h"

class CMainFrame;
class QLabel;
class QPushButton;
class ROrvaneCalendar;

class CImportRun {
public:
    using Finished = std::function<void(const ImportOutcome& outcome)>;

    // Starts importing `path` into `calendar`; `frame` (may be null) shows the progress.
    CImportRun(RRef<ROrvaneCalendar> calendar, const QString& path, CMainFrame* frame, Finished finished);
    // Stops the import after its item and waits for the worker.
    ~CImportRun();
    CImportRun(const CImportRun&) = delete;
    CImportRun& operator=(const CImportRun&) = delete;

    // The user's stop: the import ends after the item being sent.
    void Stop();
    // Asks for the stop and waits at most `timeout` for the worker; true when it ended.
    [[nodiscard]] bool StopAndWait(std::chrono::milliseconds timeout);

    // Object name of the Stop button, for tests.
    static constexpr const char* kStopButton = "importStop";

private:
    void OnMessage(platform::messages::AppMessage message, std::uint64_t wParam, std::int64_t lParam);

    QString fileName_;
    QPointer<QLabel> pane_;
    QPointer<QPushButton> stopButton_;
    Finished finished_;
    platform::messages::TargetId target_ = platform::messages::kNoTarget;
    std::unique_ptr<ImportWorker> worker_;
};
