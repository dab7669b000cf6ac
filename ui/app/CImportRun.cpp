#include "ui/app/CImportRun.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <utility>

#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/frame/CMainFrame.h"

CImportRun::CImportRun(RRef<ROrvaneCalendar> calendar, const QString& path, CMainFrame* frame, Finished finished)
    : fileName_(QFileInfo(path).fileName()), finished_(std::move(finished)) {
    if (frame != nullptr) {
        pane_ = frame->MessagePane();
        stopButton_ = new QPushButton(QStringLiteral("Stop"), frame);
        stopButton_->setObjectName(kStopButton);
        stopButton_->setToolTip(QStringLiteral("Stop the import after the event being sent"));
        QObject::connect(stopButton_, &QPushButton::clicked, [this] { Stop(); });
        frame->statusBar()->addWidget(stopButton_);
        stopButton_->show();
    }
    if (pane_) pane_->setText(QStringLiteral("Importing %1...").arg(fileName_));
    target_ = platform::messages::RegisterTarget(
        [this](platform::messages::AppMessage message, std::uint64_t wParam, std::int64_t lParam) {
            OnMessage(message, wParam, lParam);
        });
    worker_ = std::make_unique<ImportWorker>(std::move(calendar), platform::ui::ToCStringW(path), target_);
}

CImportRun::~CImportRun() {
    platform::messages::UnregisterTarget(target_);
    worker_.reset();  // stops after the item in hand and joins
    delete stopButton_.data();
}

void CImportRun::Stop() {
    if (worker_) worker_->RequestStop();
    if (stopButton_) stopButton_->setEnabled(false);
    if (pane_) pane_->setText(pane_->text() + QStringLiteral(" Stopping after this event..."));
}

bool CImportRun::StopAndWait(std::chrono::milliseconds timeout) {
    if (!worker_) return true;
    worker_->RequestStop();
    return worker_->Wait(timeout);
}

void CImportRun::OnMessage(platform::messages::AppMessage message, std::uint64_t wParam, std::int64_t lParam) {
    if (message == platform::messages::WM_APP_IMPORT_PROGRESS) {
        if (pane_) {
            QString text = QStringLiteral("Importing %1: %2 of %3 events").arg(fileName_).arg(wParam).arg(lParam);
            if (stopButton_ && !stopButton_->isEnabled()) text += QStringLiteral(" Stopping after this event...");
            pane_->setText(text);
        }
        return;
    }
    if (message != platform::messages::WM_APP_IMPORT_FINISHED || !worker_) return;
    const ImportOutcome outcome = worker_->Outcome();
    if (pane_) {
        if (outcome.all == 0) {
            pane_->setText(QStringLiteral("Import of %1 failed.").arg(fileName_));
        } else {
            pane_->setText(QStringLiteral("Import of %1 %2: %3 of %4 events imported.")
                               .arg(fileName_, outcome.stopped ? QStringLiteral("stopped") : QStringLiteral("finished"))
                               .arg(outcome.arrived)
                               .arg(outcome.all));
        }
    }
    if (stopButton_) stopButton_->hide();
    // Last, through a copy: the owner may destroy this run, and the member with it, here.
    const Finished finished = finished_;
    if (finished) finished(outcome);
}
