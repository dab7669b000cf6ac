// The application's commands against real servers: Import of a good and of a bad file through
// the file dialog, a long import followed and stopped in the status bar, subscriptions to a Radicale collection's address (the subscriptions account
// listed last, a read-only calendar, the same address reused, another letter case a new
// calendar), and a clean exit while a refresh is still running.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <fstream>

#include "platform/ui/CommandIds.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "tests/ui/support/AppFixture.h"
#include "ui/app/CImportRun.h"
#include "ui/app/CSubscriptionDialog.h"
#include "ui/frame/CMainFrame.h"

using namespace orvane::test;
using namespace platform::ui;

namespace {

class ImportCommand : public ServerAppFixture {
protected:
    // Answers the file dialog with `path` as the chosen file.
    void ChooseFile(const std::string& path) {
        responders->Add([path](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->nameFilters(),
                      QStringList({"iCalendar ICS (*.ics *.ICS)", "vCalendar VCS (*.vcs *.VCS)"}));
            files->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
        });
    }
    // Starts the program with the server's account, whose default calendar takes the imports.
    void StartWithServerAccount() {
        (void)NewCalendar("Imports");
        StartApp();
        account = AddServerAccount();
        ASSERT_TRUE(account);
        target = account->GetDefaultCalendar();
        ASSERT_TRUE(target);
    }
    // Let go of both before the program stops, as the test's own variables would.
    void TearDown() override {
        target = nullptr;
        account = nullptr;
        ServerAppFixture::TearDown();
    }
    RRef<ROrvaneAccount> account;
    RRef<ROrvaneCalendar> target;

    int ItemsWithUid(ROrvaneCalendar& calendar, const char* uid) {
        CalendarItemRecord record;
        return app->DataManager()->FindCalendarItem(uid, "", calendar.GetGuid(), calendar.GetParentAccountGuid(),
                                                    &record) == R_OK;
    }
};

}  // namespace

TEST_F(ImportCommand, AGoodFileGoesIntoTheFirstAccountsDefaultCalendarAndABadOneIsReported) {
    ASSERT_NO_FATAL_FAILURE(StartWithServerAccount());

    TempFolder files("orvane-import");
    const std::string good = (files.Path() / "Meetings.ICS").string();
    std::ofstream(good) << CalendarText("imported-1", "Imported & kept", "20260320T080000", "20260320T090000");
    ChooseFile(good);
    EXPECT_TRUE(Run(ID_FILE_OPEN));
    EXPECT_TRUE(WaitUntil([&] { return !app->Importing(); }));
    EXPECT_EQ(app->ErrorDialog().Code(), 0);
    EXPECT_TRUE(ItemsWithUid(*target, "imported-1"));

    const std::string bad = (files.Path() / "notes.ics").string();
    std::ofstream(bad) << "This is not a calendar.\n";
    const int before = app->DataManager()->GetCalendarItemCount(target->GetGuid(), account->GetGuid());
    ChooseFile(bad);
    QString message;
    RResult code = 0;
    responders->Add([&](QDialog& dialog) {
        code = app->ErrorDialog().Code();
        message = app->ErrorDialog().MessageText();
        dialog.done(IDCANCEL);
    });
    EXPECT_TRUE(Run(ID_FILE_OPEN));
    EXPECT_TRUE(WaitUntil([&] { return !app->Importing() && responders->Unanswered() == 0; }));
    EXPECT_NE(code, 0);
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(app->DataManager()->GetCalendarItemCount(target->GetGuid(), account->GetGuid()), before);
    EXPECT_EQ(responders->Unanswered(), 0);

    // Cancel in the file dialog does nothing.
    responders->AddResult(IDCANCEL);
    EXPECT_TRUE(Run(ID_FILE_OPEN));
    EXPECT_EQ(responders->Unanswered(), 0);
}

TEST_F(ImportCommand, ALongImportLeavesTheWindowFreeShowsItsProgressAndStopsWhenAsked) {
    ASSERT_NO_FATAL_FAILURE(StartWithServerAccount());
    TempFolder files("orvane-import");
    const std::string path = (files.Path() / "Season.ics").string();
    {
        std::ofstream file(path);
        file << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Exporter//EN\r\n";
        for (int i = 0; i < 80; ++i) {
            file << "BEGIN:VEVENT\r\nUID:season-" << i << "\r\nDTSTAMP:20260101T000000Z\r\n"
                 << "DTSTART:20260320T080000Z\r\nDTEND:20260320T090000Z\r\nSUMMARY:Match " << i << "\r\nEND:VEVENT\r\n";
        }
        file << "END:VCALENDAR\r\n";
    }
    // The suite's server is shared: the default calendar may hold an earlier test's items.
    const int before = app->DataManager()->GetCalendarItemCount(target->GetGuid(), account->GetGuid());
    ChooseFile(path);
    // The command returns while the events go up: the window handles its events meanwhile.
    EXPECT_TRUE(Run(ID_FILE_OPEN));
    ASSERT_TRUE(app->Importing());
    EXPECT_FALSE(Frame()->Router().Update(ID_FILE_OPEN).enabled);  // one import at a time
    QLabel* pane = Frame()->MessagePane();
    auto* stop = Frame()->findChild<QPushButton*>(CImportRun::kStopButton);
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(stop->isHidden());
    // Several reports may arrive between two looks at the pane.
    const QRegularExpression progress("^Importing Season\\.ics: (\\d+) of 80 events");
    ASSERT_TRUE(WaitUntil([&] {
        const QRegularExpressionMatch shown = progress.match(pane->text());
        return shown.hasMatch() && shown.captured(1).toInt() >= 3;
    })) << pane->text().toStdString();
    SaveTestPicture(Frame()->grab().toImage(), "import-progress");
    stop->click();
    ASSERT_TRUE(WaitUntil([&] { return !app->Importing(); }, std::chrono::seconds(60)));

    const int stored = app->DataManager()->GetCalendarItemCount(target->GetGuid(), account->GetGuid()) - before;
    EXPECT_GE(stored, 3);
    EXPECT_LT(stored, 80);
    EXPECT_EQ(pane->text(), QString("Import of Season.ics stopped: %1 of 80 events imported.").arg(stored));
    EXPECT_EQ(Frame()->findChild<QPushButton*>(CImportRun::kStopButton), nullptr);
    EXPECT_TRUE(Frame()->Router().Update(ID_FILE_OPEN).enabled);
    EXPECT_EQ(responders->Unanswered(), 0);  // a stop is no failure: no error report
    EXPECT_EQ(app->ErrorDialog().Code(), 0);
}

class SubscriptionCommand : public OpenServerAppFixture {
protected:
    void Subscribe(const QString& name, const QString& url) {
        responders->Add([name, url](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(CSubscriptionDialog::kName)->setText(name);
            dialog.findChild<QLineEdit*>(CSubscriptionDialog::kUrl)->setText(url);
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        EXPECT_TRUE(Run(ID_NEW_SUBSCRIPTION));
    }
};

TEST_F(SubscriptionCommand, ACollectionAddressBecomesAReadOnlyCalendarOfTheLastAccount) {
    const int home = MakeCollection("/alice/");
    ASSERT_TRUE(home == 201 || home == 405) << home;  // made, or there already
    const std::string path = NewCalendar("Published");
    ASSERT_EQ(201, Put(path + "a.ics", CalendarText("feed-1", "Published event", "20260322T100000", "20260322T110000")));
    seed.AddAccount("aaa", "Own");
    StartApp();
    const QString url = QString::fromStdString("webcal://127.0.0.1:" + std::to_string(Port()) + path);
    Subscribe("Team feed", url);
    EXPECT_EQ(responders->Unanswered(), 0);  // no error report
    ASSERT_EQ(app->AccountManager()->GetAccountCount(), 2);
    RRef<ROrvaneAccount> subscriptions = app->AccountManager()->GetAccountAt(1);
    ASSERT_TRUE(subscriptions->IsSubscriptionsAccount());
    ASSERT_EQ(subscriptions->GetCalendarCount(), 1);
    RRef<ROrvaneCalendar> feed = subscriptions->GetCalendarAt(0);
    EXPECT_TRUE(feed->IsReadOnly());
    EXPECT_EQ(std::string(feed->GetDisplayName().GetString()), "Team feed");
    CalendarItemRecord record;
    EXPECT_EQ(R_OK, app->DataManager()->FindCalendarItem("feed-1", "", feed->GetGuid(), subscriptions->GetGuid(), &record));

    // The same address again reuses the calendar; another letter case is another calendar.
    Subscribe("Again", url);
    EXPECT_EQ(subscriptions->GetCalendarCount(), 1);
    Subscribe("Other case", url + "?view=A");
    Subscribe("Other case too", url + "?view=a");
    EXPECT_EQ(subscriptions->GetCalendarCount(), 3);
    EXPECT_EQ(app->AccountManager()->GetAccountAt(1).get(), subscriptions.get());
    EXPECT_EQ(responders->Unanswered(), 0);
}

class ExitWhileRefreshing : public ServerAppFixture {};

TEST_F(ExitWhileRefreshing, ExitStopsAndJoinsTheRefreshBeforeReleasingAnything) {
    for (int i = 0; i < 3; ++i) (void)NewCalendar("Busy " + std::to_string(i));
    StartApp();
    RRef<ROrvaneAccount> account = app->AccountManager()->CreateAccount("Busy", "alice", "secret");
    ASSERT_TRUE(account);
    (void)account->SetAddress((Base() + "/").c_str());
    (void)account->StartRefresh(app->MainFrame() != nullptr ? app->MainFrame()->Target() : 0);
    account = nullptr;
    EXPECT_TRUE(app->ExitInstance());
    EXPECT_EQ(app->AccountManager(), nullptr);
    EXPECT_EQ(app->DataManager(), nullptr);
    EXPECT_EQ(app->MainFrame(), nullptr);
    app.reset();
    Settle();  // nothing posted by the stopped worker reaches a window any more
}
