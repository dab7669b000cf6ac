#include "ui/dialogs/RErrorDialog.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/messages/MessageTargets.h"
#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "ui/dialogs/ErrorTexts.h"

using platform::ui::FillTemplate;
using platform::ui::ToQString;

namespace {
constexpr const char* kCodeTemplate = "%d";
constexpr const char* kMessageTemplate = "Account: %s\nCalendar: %s\nEvent: %s\n\n%s";

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
}  // namespace

void RErrorDialog::SetError(const CStringW& accountName, RResult code, const CStringW& calendarName,
                            const CStringW& eventText) {
    code_ = code;
    accountName_ = accountName;
    calendarName_ = calendarName;
    eventText_ = eventText;
    message_ = CStringW(ErrorTextForCode(code));
}

QString RErrorDialog::CodeText() const {
    return FillTemplate(codeTemplate_.isEmpty() ? kCodeTemplate : codeTemplate_, {QString::number(code_)});
}

QString RErrorDialog::MessageText() const {
    return FillTemplate(messageTemplate_.isEmpty() ? kMessageTemplate : messageTemplate_,
                        {ToQString(accountName_), ToQString(calendarName_), ToQString(eventText_), ToQString(message_)});
}

void RErrorDialog::OnInitDialog(QDialog& dialog) {
    auto* code = dialog.findChild<QLabel*>(kCodeControl);
    auto* message = dialog.findChild<QLabel*>(kMessageControl);
    codeTemplate_ = code->text();
    messageTemplate_ = message->text();
    code->setText(CodeText());
    message->setText(MessageText());
}

int RErrorDialog::DoModal(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString());
    auto* outer = new QHBoxLayout(&dialog);
    auto* icon = new QLabel(&dialog);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, &dialog).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    outer->addWidget(icon);
    auto* column = new QVBoxLayout;
    outer->addLayout(column, 1);
    auto* heading = PlainLabel("An Error Occurred", &dialog);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    column->addWidget(heading);
    auto* code = PlainLabel(kCodeTemplate, &dialog);
    code->setObjectName(kCodeControl);
    column->addWidget(code);
    auto* message = PlainLabel(kMessageTemplate, &dialog);
    message->setObjectName(kMessageControl);
    message->setWordWrap(true);
    message->setMinimumWidth(420);
    column->addWidget(message);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(platform::ui::IDOK); });
    column->addWidget(ok, 0, Qt::AlignRight);
    OnInitDialog(dialog);

    ++modalDepth_;
    const int result = platform::ui::RunModal(dialog);
    --modalDepth_;
    if (modalDepth_ == 0 && !waiting_.empty()) ScheduleWaiting();
    return result;
}

bool SameReport(const ErrorReport& a, const ErrorReport& b) {
    return a.code == b.code && a.accountGuid == b.accountGuid && a.accountName == b.accountName &&
           a.calendarName == b.calendarName && a.eventText == b.eventText;
}

platform::messages::ErrorReportSink RErrorDialog::Sink() {
    std::weak_ptr<RErrorDialog*> weak = self_;
    return [weak](ErrorReport report) {
        platform::messages::RunOnUiThread([weak, report = std::move(report)] {
            if (auto self = weak.lock()) (*self)->QueueReport(report);
        });
    };
}

void RErrorDialog::SetAccountExists(std::function<bool(const std::string& accountGuid)> accountExists) {
    accountExists_ = std::move(accountExists);
}

void RErrorDialog::QueueReport(const ErrorReport& report, QWidget* parent) {
    for (const ErrorReport& waiting : waiting_) {
        if (SameReport(waiting, report)) return;
    }
    waiting_.push_back(report);
    if (parent != nullptr) queueParent_ = parent;
    if (modalDepth_ == 0) ShowWaiting();
}

void RErrorDialog::ScheduleWaiting() {
    // After the caller of the last modal run has acted on its result.
    QTimer::singleShot(0, &timerContext_, [this] {
        if (modalDepth_ == 0) ShowWaiting();
    });
}

void RErrorDialog::ShowWaiting() {
    while (!waiting_.empty() && modalDepth_ == 0) {
        const ErrorReport report = waiting_.front();
        waiting_.pop_front();
        // The account may have been deleted while its report waited.
        if (!report.accountGuid.empty() && accountExists_ && !accountExists_(report.accountGuid)) continue;
        SetError(report.accountName, report.code, report.calendarName, report.eventText);
        (void)DoModal(queueParent_);
    }
}
