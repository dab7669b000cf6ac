// The error report and the confirmation question: text by code, signed codes, values shown as
// they stand, Esc as Cancel, and queued reports one whole report at a time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <thread>
#include <vector>

#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "tests/support/GuiApp.h"
#include "ui/dialogs/ErrorTexts.h"
#include "ui/dialogs/RConfirmationDialog.h"
#include "ui/dialogs/RErrorDialog.h"

using platform::ui::IDCANCEL;
using platform::ui::IDOK;
using platform::ui::ModalResponderScope;

namespace {
ErrorReport Report(const std::string& guid, RResult code) {
    ErrorReport report;
    report.accountGuid = guid;
    report.accountName = CStringW::FromUtf8(guid);
    report.code = code;
    return report;
}
QString Text(const char16_t* text) { return QString::fromUtf16(text); }
QString Shown(QDialog& dialog, const char* name) { return dialog.findChild<QLabel*>(name)->text(); }
}  // namespace

TEST(ErrorTexts, EveryCodeGetsATextAndFallbacksMatchTheWholeLowWord) {
    EXPECT_TRUE(Text(ErrorTextForCode(404)).contains("'Not Found'"));
    EXPECT_TRUE(Text(ErrorTextForCode(401)).contains("username & password"));
    EXPECT_EQ(Text(ErrorTextForCode(R_E_END_OF_TEXT)), Text(FindErrorText(30026)));
    EXPECT_EQ(Text(ErrorTextForCode(R_E_BAD_FORMAT)), Text(FindErrorText(30011)));
    EXPECT_EQ(Text(ErrorTextForCode(static_cast<RResult>(0x80070056u))), Text(FindErrorText(30056)));
    // 502's bits include those of 0x26 but it is no end-of-file error.
    EXPECT_EQ(Text(ErrorTextForCode(502)), Text(FindErrorText(599)));
    EXPECT_EQ(Text(ErrorTextForCode(R_E_INVALID_ARGUMENT)), Text(FindErrorText(599)));
    for (RResult code : {0, -1, 1, 38, 86, 11, 12029, static_cast<RResult>(0xFFFFFFFFu), static_cast<RResult>(0x80000000u)}) {
        ASSERT_NE(ErrorTextForCode(code), nullptr);
        EXPECT_FALSE(Text(ErrorTextForCode(code)).isEmpty()) << code;
    }
}

TEST(ErrorDialog, ShowsTheSignedCodeAndTheReportWithNamesAsTheyStand) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    RErrorDialog report;
    report.SetError(CStringW(u"Work & %1 <b>x</b>"), R_E_BAD_FORMAT, CStringW(u"Cal %s"), CStringW());
    QString code, message;
    Qt::TextFormat format = Qt::AutoText;
    responders.Add([&](QDialog& dialog) {
        code = Shown(dialog, RErrorDialog::kCodeControl);
        message = Shown(dialog, RErrorDialog::kMessageControl);
        format = dialog.findChild<QLabel*>(RErrorDialog::kMessageControl)->textFormat();
        orvane::test::SaveTestPicture(dialog.grab().toImage(), "error-dialog");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &esc);
    });
    EXPECT_EQ(report.DoModal(), IDCANCEL);
    EXPECT_EQ(code, "-2146959349");
    EXPECT_EQ(message, "Account: Work & %1 <b>x</b>\nCalendar: Cal %s\nEvent: \n\n" + Text(FindErrorText(30011)));
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(ErrorDialog, QueuedReportsShowOneAtATimeWithoutDuplicatesAndWaitForTheUsersOwnReport) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    RErrorDialog report;
    std::vector<QString> seen;
    auto answer = [&](QDialog& dialog) {
        seen.push_back(Shown(dialog, RErrorDialog::kCodeControl));
        dialog.done(IDOK);
    };
    // The user's own failed save is showing when two refreshes report, one of them twice.
    report.SetError(CStringW(u"A"), 412, CStringW(u"C"), CStringW(u"Lunch"));
    responders.Add([&](QDialog& dialog) {
        report.QueueReport(Report("b", 401));
        report.QueueReport(Report("d", 500));
        report.QueueReport(Report("b", 401));
        EXPECT_EQ(report.WaitingReports(), 2);  // nothing opened inside this one
        EXPECT_EQ(responders.Runs(), 1);
        answer(dialog);
    });
    responders.Add(answer);
    responders.Add(answer);
    EXPECT_EQ(report.DoModal(), IDOK);
    EXPECT_EQ(report.Code(), 412);  // the caller still reads its own report
    ASSERT_EQ(seen.size(), 1u);
    QApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<QString>{"412", "401", "500"}));
    EXPECT_EQ(report.WaitingReports(), 0);
    EXPECT_EQ(responders.Unanswered(), 0);
}

TEST(ConfirmationDialog, CaptionAndTextComeFromTheCallerAndCancelOrEscDoNotConfirm) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    RConfirmationDialog confirm;
    confirm.SetText(CStringW(u"Remove Subscription"),
                    CStringW(u"Do you want to remove the subscription '<i>%s</i> & co'?"));
    QString caption, text;
    responders.Add([&](QDialog& dialog) {
        caption = dialog.windowTitle();
        text = Shown(dialog, RConfirmationDialog::kTextControl);
        orvane::test::SaveTestPicture(dialog.grab().toImage(), "confirmation-dialog");
        dialog.done(IDOK);
    });
    EXPECT_EQ(confirm.DoModal(), IDOK);
    EXPECT_EQ(caption, "Remove Subscription");
    EXPECT_EQ(text, "Do you want to remove the subscription '<i>%s</i> & co'?");
    responders.Add([](QDialog& dialog) { dialog.close(); });
    EXPECT_EQ(confirm.DoModal(), IDCANCEL);
    responders.Add([](QDialog& dialog) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &esc);
    });
    EXPECT_EQ(confirm.DoModal(), IDCANCEL);
}

TEST(ErrorDialog, TwoWorkersReportingAtOnceGetTwoWholeReportsAndGoneAccountsNone) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    RErrorDialog report;
    report.SetAccountExists([](const std::string& guid) { return guid != "gone"; });
    platform::messages::InstallErrorReportSink(report.Sink());
    std::vector<QString> seen;
    int deepest = 0;
    auto answer = [&](QDialog& dialog) {
        seen.push_back(Shown(dialog, RErrorDialog::kMessageControl).section('\n', 0, 0));
        QApplication::processEvents();  // a nested loop: a second report must not open inside
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QDialog*>(w) != nullptr && w->isVisible()) ++open;
        }
        deepest = std::max(deepest, open);
        dialog.done(IDOK);
    };
    responders.Add(answer);
    responders.Add(answer);
    std::thread first([] { platform::messages::SubmitErrorReport(Report("one", 401)); });
    std::thread second([] {
        platform::messages::SubmitErrorReport(Report("gone", 500));
        platform::messages::SubmitErrorReport(Report("two", 503));
    });
    first.join();
    second.join();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    platform::messages::InstallErrorReportSink(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0] == "Account: one" || seen[0] == "Account: two");
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(responders.Unanswered(), 0);
}
