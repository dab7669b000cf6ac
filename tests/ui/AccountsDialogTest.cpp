// The accounts dialog over a real store: interval mappings both ways, the entry's own account
// for reading and removing (the subscriptions account is listed last but stored in the middle),
// commits on focus loss and on Enter, empty fields committing nothing, a selection ending a
// pending addition, and the "+" flow that reaches Radicale.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "platform/ui/CommandIds.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/ui/support/AppFixture.h"
#include "ui/accounts/CAccountsDialog.h"
#include "ui/frame/CMainFrame.h"

using namespace orvane::test;
using namespace platform::ui;

namespace {

template <typename T>
T* Control(QDialog& dialog, const char* name) {
    T* control = dialog.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// Puts the keyboard focus in a field of an active dialog and types into it.
void TypeInto(QDialog& dialog, const char* name, const QString& text) {
    if (QApplication::activeWindow() != &dialog) QApplication::setActiveWindow(&dialog);
    auto* field = Control<QLineEdit>(dialog, name);
    field->setFocus();
    QTest::keyClicks(field, text);
}

// The dialog becomes the active window, so focus changes in it send their events.
void Activate(QDialog& dialog) {
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

QStringList Entries(QDialog& dialog) {
    QStringList texts;
    auto* list = Control<QListWidget>(dialog, CAccountsDialog::kList);
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

class AccountsDialog : public AppFixture {
protected:
    void SetUp() override {
        // Stored in guid order: Alpha, the subscriptions account, Zulu; listed with the
        // subscriptions account last.
        seed.AddAccount("AAA", "Alpha");
        seed.AddAccount("__Subscriptions_GUID__", "Subscriptions");
        seed.AddAccount("zzz", "Zulu & <i>Co</i>");
        StartApp();
        auto set = [this](const char* guid, int minutes) {
            RRef<ROrvaneAccount> account = app->AccountManager()->FindAccountByGuid(guid);
            ASSERT_TRUE(account);
            (void)account->SetRefreshInterval(minutes);
            (void)account->SetUserName(guid);
        };
        set("AAA", 45);
        set("zzz", 2);
    }
};

}  // namespace

TEST(AccountsDialogMappings, IntervalsMapToTheListAndBack) {
    const int minutes[] = {1, 5, 15, 30, 60, 1440, 0};
    for (int position = 0; position < 7; ++position) {
        EXPECT_EQ(CAccountsDialog::MinutesForPosition(position), minutes[position]);
        EXPECT_EQ(CAccountsDialog::PositionForMinutes(minutes[position]), position);
    }
    EXPECT_EQ(CAccountsDialog::MinutesForPosition(-1), 0);
    EXPECT_EQ(CAccountsDialog::PositionForMinutes(45), 4);     // "1 hour"
    EXPECT_EQ(CAccountsDialog::PositionForMinutes(2), 1);      // "5 minutes"
    EXPECT_EQ(CAccountsDialog::PositionForMinutes(16), 3);
    EXPECT_EQ(CAccountsDialog::PositionForMinutes(61), 5);
    EXPECT_EQ(CAccountsDialog::PositionForMinutes(-5), 6);     // refreshed by hand only
}

TEST_F(AccountsDialog, EntriesReadAndRemoveTheirOwnAccount) {
    QStringList listed, shown;
    QString refreshOfZulu, refreshOfAlpha;
    responders->Add([&](QDialog& dialog) {
        listed = Entries(dialog);
        auto* list = Control<QListWidget>(dialog, CAccountsDialog::kList);
        list->setCurrentRow(1);  // Zulu, whose store row is the third
        shown << Control<QLineEdit>(dialog, CAccountsDialog::kDescription)->text()
              << Control<QLineEdit>(dialog, CAccountsDialog::kUserName)->text();
        refreshOfZulu = Control<QComboBox>(dialog, CAccountsDialog::kRefresh)->currentText();
        list->setCurrentRow(0);
        refreshOfAlpha = Control<QComboBox>(dialog, CAccountsDialog::kRefresh)->currentText();
        SaveTestPicture(dialog.grab().toImage(), "accounts-dialog");
        list->setCurrentRow(1);
        Control<QPushButton>(dialog, CAccountsDialog::kRemove)->click();
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    EXPECT_EQ(listed, QStringList({"Alpha", "Zulu & <i>Co</i>", "Subscriptions"}));
    EXPECT_EQ(shown, QStringList({"Zulu & <i>Co</i>", "zzz"}));
    EXPECT_EQ(refreshOfZulu, "5 minutes");
    EXPECT_EQ(refreshOfAlpha, "1 hour");
    EXPECT_FALSE(app->AccountManager()->FindAccountByGuid("zzz"));
    EXPECT_TRUE(app->AccountManager()->FindAccountByGuid("__Subscriptions_GUID__"));
    EXPECT_TRUE(app->AccountManager()->FindAccountByGuid("AAA"));
    EXPECT_EQ(seed.Store()->GetAccountCount(), 2);
}

TEST_F(AccountsDialog, ManuallyStoresNoIntervalAndShowsAgain) {
    QString shownAgain;
    responders->Add([&](QDialog& dialog) {
        auto* list = Control<QListWidget>(dialog, CAccountsDialog::kList);
        list->setCurrentRow(0);
        auto* refresh = Control<QComboBox>(dialog, CAccountsDialog::kRefresh);
        refresh->setCurrentIndex(6);
        emit refresh->activated(6);
        list->setCurrentRow(1);
        list->setCurrentRow(0);
        shownAgain = refresh->currentText();
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    EXPECT_EQ(app->AccountManager()->FindAccountByGuid("AAA")->GetRefreshInterval(), 0);
    EXPECT_EQ(shownAgain, "Manually");
}

TEST_F(AccountsDialog, EnterInThePasswordFieldCreatesTheAccount) {
    QStringList listedAfter;
    responders->Add([&](QDialog& dialog) {
        Activate(dialog);
        Control<QPushButton>(dialog, CAccountsDialog::kAdd)->click();
        TypeInto(dialog, CAccountsDialog::kDescription, "  Work");
        TypeInto(dialog, CAccountsDialog::kUserName, "worker");
        TypeInto(dialog, CAccountsDialog::kPassword, "pa&ss");
        // Enter closes the dialog through its default button while the password has the focus.
        QTest::keyClick(Control<QLineEdit>(dialog, CAccountsDialog::kPassword), Qt::Key_Return);
        listedAfter = Entries(dialog);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    ASSERT_EQ(app->AccountManager()->GetAccountCount(), 4);
    RRef<ROrvaneAccount> made = app->AccountManager()->GetAccountAt(2);  // before the subscriptions account
    ASSERT_TRUE(made);
    EXPECT_EQ(std::string(made->GetDescription().GetString()), "Work");
    EXPECT_EQ(std::string(made->GetUserName().GetString()), "worker");
    EXPECT_EQ(std::string(made->GetPassword().GetString()), "pa&ss");
    EXPECT_EQ(made->GetRefreshInterval(), 15);
    EXPECT_EQ(listedAfter.size(), 4);
    // The main window was told: its New Event submenu lists the new account.
    Settle();
    QAction* entry = Frame()->NewEventEntry();
    ASSERT_NE(entry->menu(), nullptr);
    EXPECT_EQ(entry->menu()->actions().size(), 4);
}

TEST_F(AccountsDialog, EmptyFieldsCommitNothingAndASelectionEndsAnAddition) {
    responders->Add([&](QDialog& dialog) {
        Activate(dialog);
        Control<QPushButton>(dialog, CAccountsDialog::kAdd)->click();
        TypeInto(dialog, CAccountsDialog::kDescription, "Half");
        TypeInto(dialog, CAccountsDialog::kUserName, "someone");
        Control<QLineEdit>(dialog, CAccountsDialog::kPassword)->setFocus();  // user name left, no password
        Control<QListWidget>(dialog, CAccountsDialog::kList)->setCurrentRow(0);
        // Alpha is shown now; a change of its description alone stores nothing.
        TypeInto(dialog, CAccountsDialog::kDescription, " renamed");
        Control<QLineEdit>(dialog, CAccountsDialog::kUserName)->setFocus();
        TypeInto(dialog, CAccountsDialog::kPassword, "x");
        Control<QLineEdit>(dialog, CAccountsDialog::kUserName)->setFocus();
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    EXPECT_EQ(app->AccountManager()->GetAccountCount(), 3);
    RRef<ROrvaneAccount> alpha = app->AccountManager()->FindAccountByGuid("AAA");
    EXPECT_EQ(std::string(alpha->GetDescription().GetString()), "Alpha");
    // The password commit of the selected account went to Alpha itself.
    EXPECT_EQ(std::string(alpha->GetPassword().GetString()), "secretx");
}

TEST_F(AccountsDialog, AnAddedAccountWhoseServerCannotBeFoundIsReportedWhenTheDialogCloses) {
    responders->Add([&](QDialog& dialog) {
        Activate(dialog);
        Control<QPushButton>(dialog, CAccountsDialog::kAdd)->click();
        TypeInto(dialog, CAccountsDialog::kDescription, "Work");
        TypeInto(dialog, CAccountsDialog::kUserName, "worker");  // no domain to look the server up in
        TypeInto(dialog, CAccountsDialog::kPassword, "secret");
        Control<QLineEdit>(dialog, CAccountsDialog::kDescription)->setFocus();  // creates the account
        dialog.done(IDOK);
    });
    RResult code = 0;
    QString message;
    responders->Add([&](QDialog& dialog) {
        code = app->ErrorDialog().Code();
        message = app->ErrorDialog().MessageText();
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    EXPECT_EQ(responders->Pending(), 0) << "no report";
    RRef<ROrvaneAccount> made = app->AccountManager()->GetAccountAt(2);
    ASSERT_TRUE(made);
    EXPECT_EQ(std::string(made->GetDescription().GetString()), "Work");
    EXPECT_NE(made->GetDiscoveryResult(), 0);
    EXPECT_EQ(code, made->GetDiscoveryResult());
    EXPECT_TRUE(message.startsWith("Account: Work\n")) << message.toStdString();
    EXPECT_FALSE(made->IsRefreshing());
}

class AccountsDialogServer : public ServerAppFixture {};

TEST_F(AccountsDialogServer, AddingAnAccountReachesTheServerAndListsItsCalendars) {
    const std::string path = NewCalendar("Team");
    StartApp();
    const QString url = QString::fromStdString(Base() + "/");
    responders->Add([&](QDialog& dialog) {
        Activate(dialog);
        Control<QPushButton>(dialog, CAccountsDialog::kAdd)->click();
        TypeInto(dialog, CAccountsDialog::kDescription, "Radicale");
        TypeInto(dialog, CAccountsDialog::kUserName, "alice");
        TypeInto(dialog, CAccountsDialog::kPassword, "secret");
        Control<QLineEdit>(dialog, CAccountsDialog::kDescription)->setFocus();  // creates the account
        Control<QCheckBox>(dialog, CAccountsDialog::kAdvanced)->click();
        TypeInto(dialog, CAccountsDialog::kUrl, url);
        Control<QLineEdit>(dialog, CAccountsDialog::kDescription)->setFocus();  // stores the address, refreshes
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_TOOLS_ACCOUNTS));
    ASSERT_EQ(app->AccountManager()->GetAccountCount(), 1);
    RRef<ROrvaneAccount> account = app->AccountManager()->GetAccountAt(0);
    EXPECT_EQ(std::string(account->GetAddress().GetString()), url.toStdString());
    ASSERT_TRUE(WaitUntil([&] { return !account->IsRefreshing() && account->GetCalendarCount() > 0; }));
    EXPECT_EQ(account->GetLastResult(), 0);
    bool found = false;
    for (const RRef<ROrvaneCalendar>& calendar : account->Calendars()) {
        found = found || std::string(calendar->GetDisplayName().GetString()) == "Team";
    }
    EXPECT_TRUE(found);
}
