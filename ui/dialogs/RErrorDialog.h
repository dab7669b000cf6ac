#pragma once
// The program's one error report: account, calendar and event concerned, the result code, and a
// text chosen by the code. The dialog window is built for each run; the object keeps one report.
//
// Reports of refresh workers come in through the report sink as queued reports: they are shown
// one whole report at a time, never one modal inside another, and a report equal to one still
// waiting is not queued twice. A report that answers the user's own action is shown at once
// with DoModal, whose result the caller acts on.
//
// UI thread only.
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "foundation/ResultCodes.h"
#include "platform/messages/ErrorReports.h"
#include "platform/string/CString.h"

class QDialog;
class QWidget;

using platform::messages::ErrorReport;

// Same account, code, calendar and event.
bool SameReport(const ErrorReport& a, const ErrorReport& b);

class RErrorDialog {
public:
    RErrorDialog() = default;
    RErrorDialog(const RErrorDialog&) = delete;
    RErrorDialog& operator=(const RErrorDialog&) = delete;

    void SetError(const CStringW& accountName, RResult code, const CStringW& calendarName, const CStringW& eventText);
    // Shows the current report modally; the id of the button that closed it.
    int DoModal(QWidget* parent = nullptr);

    // Shows the report after those already waiting or showing; drops one equal to a waiting one
    // and, when it names an account, one whose account no longer exists.
    void QueueReport(const ErrorReport& report, QWidget* parent = nullptr);
    // A sink for the report hand-over of the workers: any thread, never blocks; the report is
    // queued on the user-interface thread while this object exists.
    platform::messages::ErrorReportSink Sink();
    void SetAccountExists(std::function<bool(const std::string& accountGuid)> accountExists);
    int WaitingReports() const { return static_cast<int>(waiting_.size()); }
    bool IsShowing() const { return modalDepth_ > 0; }

    // The texts that the code and message controls show for the current report.
    QString CodeText() const;
    QString MessageText() const;

    RResult Code() const { return code_; }
    const CStringW& Message() const { return message_; }

    // Object names of the controls, for tests that read a shown dialog.
    static constexpr const char* kCodeControl = "errorCode";
    static constexpr const char* kMessageControl = "errorMessage";

private:
    // Fills the controls from their template texts, as they stand when the window opens.
    void OnInitDialog(QDialog& dialog);
    void ShowWaiting();
    void ScheduleWaiting();

    RResult code_ = 0;
    CStringW accountName_;
    CStringW calendarName_;
    CStringW eventText_;
    CStringW message_;
    QString codeTemplate_;
    QString messageTemplate_;

    std::deque<ErrorReport> waiting_;
    QWidget* queueParent_ = nullptr;
    int modalDepth_ = 0;
    QObject timerContext_;
    std::function<bool(const std::string&)> accountExists_;
    std::shared_ptr<RErrorDialog*> self_ = std::make_shared<RErrorDialog*>(this);
};
