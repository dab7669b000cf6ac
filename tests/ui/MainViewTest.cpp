// The main view over a real store: the calendar tree's order, bullets and check boxes, toggles
// that write the flag and redraw without a query, Delete and Backspace on subscriptions, posted
// messages, double-clicks and the navigation buttons.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDialog>
#include <QScrollBar>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "platform/messages/UiThreadLoop.h"
#include "platform/ui/ContextMenus.h"
#include "platform/ui/ModalRun.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "tests/support/GuiApp.h"
#include "tests/ui/support/MonthFixture.h"
#include "tests/ui/support/SeededStore.h"
#include "ui/app/COrvaneApp.h"
#include "ui/app/OrvaneMain.h"
#include "ui/view/COrvaneView.h"

using namespace orvane::test;
using platform::messages::UiThreadLoop;
using Names = std::vector<std::string>;

namespace {

constexpr const char* kSubscriptions = "__Subscriptions_GUID__";

class MainView : public ::testing::Test {
protected:
    void Open(int height = 656) {
        app = std::make_unique<COrvaneApp>();
        ASSERT_EQ(R_OK, app->OpenStore(CStringW::FromUtf8(seed.DataFolder().string())));
        app->editEventEntry = [this](ROrvaneCalendarItem* item) { edited.push_back(item->GetSummary().ToUtf8().GetString()); };
        view = std::make_unique<COrvaneView>(app.get());
        view->resize(880, height);
        view->show();
        Settle();
    }
    void TearDown() override {
        view.reset();
        if (app) app->Shutdown();
        app.reset();
    }
    // Lets posted messages and reports of the refreshes started at the first show arrive.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            UiThreadLoop::DrainQueued();
        }
    }
    CheckReportingModel* Model() { return view->Tree()->Tree()->Model(); }
    QStandardItem* Account(const std::string& name) {
        for (int row = 0; row < Model()->rowCount(); ++row) {
            if (Model()->item(row)->text().toStdString() == name) return Model()->item(row);
        }
        return nullptr;
    }
    Names Children(QStandardItem* account) {
        Names names;
        for (int row = 0; account != nullptr && row < account->rowCount(); ++row) {
            names.push_back(account->child(row)->text().toStdString());
        }
        return names;
    }
    QStandardItem* Child(QStandardItem* account, const std::string& name) {
        for (int row = 0; account != nullptr && row < account->rowCount(); ++row) {
            if (account->child(row)->text().toStdString() == name) return account->child(row);
        }
        return nullptr;
    }
    // The user's own change of a check box, as the tree's delegate makes it.
    void UserCheck(QStandardItem* item, bool checked) {
        Model()->setData(item->index(), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    void PressOn(QStandardItem* item, Qt::Key key) {
        view->Tree()->Tree()->setCurrentIndex(item->index());
        QTest::keyClick(view->Tree()->Tree(), key);
    }
    int StoredEnabled(const char* account, const char* calendar) {
        CalendarRecord record;
        EXPECT_EQ(R_OK, app->DataManager()->FindCalendar(account, calendar, &record));
        return record.enabled;
    }
    std::vector<std::string> MonthSummaries() {
        std::vector<std::string> names;
        for (int i = 0; i < 42; ++i) {
            for (const auto& item : view->MonthView()->Cell(i).items) names.push_back(item->GetSummary().ToUtf8().GetString());
        }
        return names;
    }

    bool ready = (GuiApp(), true);
    platform::ui::ModalResponderScope responders;
    SeededStore seed;
    std::unique_ptr<COrvaneApp> app;
    std::unique_ptr<COrvaneView> view;
    Names edited;
};

}  // namespace

TEST_F(MainView, TheTreeListsCalendarsByOrderThenTheRestAndSharesBulletsByExactColour) {
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    seed.AddCalendar("acc", "c2", "Work", 1, "#0000FFFF", false);
    seed.AddCalendar("acc", "c3", "Shared", 0, "#0000FFFF");        // takes order 0 from Personal
    seed.AddCalendar("acc", "c4", "No order", -1, "#0000ffFF");     // as Radicale leaves it
    seed.AddCalendar("acc", "c5", "Tasks", 2, "#00FF00FF", true, "calendar");
    seed.AddAccount("acc2", "Off & %1 <b>", false);
    Open();
    SaveTestPicture(view->grab().toImage(), "main-view-tree");
    QStandardItem* home = Account("Home");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(Children(home), (Names{"Shared", "Work", "Tasks", "Personal", "No order"}));
    EXPECT_EQ(home->checkState(), Qt::Checked);
    EXPECT_EQ(Child(home, "Work")->checkState(), Qt::Unchecked);
    const int work = Child(home, "Work")->data(kImageIndexRole).toInt();
    EXPECT_EQ(Child(home, "Shared")->data(kImageIndexRole).toInt(), work);
    EXPECT_NE(Child(home, "No order")->data(kImageIndexRole).toInt(), work);
    EXPECT_NE(Child(home, "Personal")->data(kImageIndexRole).toInt(), work);
    EXPECT_EQ(home->data(kImageIndexRole).toInt() == view->ErrorIcon() ||
                  home->data(kImageIndexRole).toInt() == view->RefreshingIcon() ||
                  home->data(kImageIndexRole).toInt() == 0,
              true);
    QStandardItem* off = Account("Off & %1 <b>");
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->checkState(), Qt::Unchecked);
    EXPECT_EQ(view->Tree()->Tree()->isExpanded(home->index()), true);
    // Rebuilding keeps each colour's image.
    const int images = view->ImageList().Count();
    view->PopulateCalendarTree();
    EXPECT_EQ(view->ImageList().Count(), images);
    EXPECT_EQ(Child(Account("Home"), "Shared")->data(kImageIndexRole).toInt(), work);
}

TEST_F(MainView, ChecksWriteTheFlagAndRedrawWithoutAQueryExceptWhenAnAccountComesBack) {
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    seed.AddCalendar("acc", "c2", "Work", 1, "#0000FFFF");
    seed.Import("acc", "c1", Event("p", "Dinner", "DTSTART:20150310T190000\r\nDTEND:20150310T200000\r\n"), "p.ics");
    seed.Import("acc", "c2", Event("w", "Review", "DTSTART:20150310T100000\r\nDTEND:20150310T110000\r\n"), "w.ics");
    Open();
    ROrvaneMonthView* month = view->MonthView();
    ASSERT_EQ(R_OK, month->Draw(Day(2015, 3, 15), false));
    EXPECT_EQ(MonthSummaries(), (Names{"Review", "Dinner"}));
    int queries = month->QueryCount();
    int paints = month->PaintCount();

    UserCheck(Child(Account("Home"), "Work"), false);
    EXPECT_EQ(StoredEnabled("acc", "c2"), 0);
    EXPECT_EQ(MonthSummaries(), (Names{"Dinner"}));
    EXPECT_EQ(month->QueryCount(), queries);
    EXPECT_EQ(month->PaintCount(), paints + 1);
    UserCheck(Child(Account("Home"), "Work"), true);
    EXPECT_EQ(StoredEnabled("acc", "c2"), 1);
    EXPECT_EQ(MonthSummaries(), (Names{"Review", "Dinner"}));

    UserCheck(Account("Home"), false);
    EXPECT_TRUE(MonthSummaries().empty());
    EXPECT_EQ(month->QueryCount(), queries);
    AccountRecord record;
    ASSERT_EQ(R_OK, app->DataManager()->GetAccount(0, &record));
    EXPECT_EQ(record.enabled, 0);
    // Switched on again: its rows were never loaded while it was off, so the month reloads.
    UserCheck(Account("Home"), true);
    EXPECT_EQ(month->QueryCount(), queries + 1);
    EXPECT_EQ(MonthSummaries(), (Names{"Review", "Dinner"}));
    EXPECT_EQ(month->DisplayedDate().month, 3);
    // A check state set by code acts on nothing.
    queries = month->QueryCount();
    Child(Account("Home"), "Personal")->setCheckState(Qt::Unchecked);
    EXPECT_EQ(StoredEnabled("acc", "c1"), 1);
    EXPECT_EQ(month->QueryCount(), queries);
}

TEST_F(MainView, DeleteRemovesOnlySubscribedCalendarsAfterConfirmationAndTheLastOneTakesItsAccount) {
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    seed.AddAccount(kSubscriptions, "Subscriptions");
    seed.AddCalendar(kSubscriptions, "s1", "Holidays %s", 0, "#00FF00FF", true, "subscribed");
    seed.AddCalendar(kSubscriptions, "s2", "Moons", 1, "#00FFFFFF", true, "subscribed");
    Open();
    const int before = responders.Runs();
    PressOn(Account("Home"), Qt::Key_Delete);
    PressOn(Child(Account("Home"), "Personal"), Qt::Key_Delete);
    EXPECT_EQ(responders.Runs(), before);  // nothing asked
    EXPECT_EQ(app->DataManager()->GetCalendarCount("acc"), 1);

    QString asked;
    responders.Add([&](QDialog& dialog) {
        asked = dialog.findChild<QLabel*>(RConfirmationDialog::kTextControl)->text();
        dialog.done(platform::ui::IDCANCEL);
    });
    PressOn(Child(Account("Subscriptions"), "Holidays %s"), Qt::Key_Delete);
    EXPECT_EQ(asked, "Do you want to remove the subscription 'Holidays %s'?");
    EXPECT_EQ(app->DataManager()->GetCalendarCount(kSubscriptions), 2);

    responders.AddResult(platform::ui::IDOK);
    PressOn(Child(Account("Subscriptions"), "Holidays %s"), Qt::Key_Backspace);
    EXPECT_EQ(app->DataManager()->GetCalendarCount(kSubscriptions), 1);
    RRef<ROrvaneAccount> subscriptions = app->AccountManager()->FindAccountByGuid(kSubscriptions);
    ASSERT_TRUE(subscriptions);
    EXPECT_FALSE(subscriptions->FindCalendarByGuid("s1"));
    Settle();  // the data-changed message rebuilds the tree
    EXPECT_EQ(Children(Account("Subscriptions")), (Names{"Moons"}));

    responders.AddResult(platform::ui::IDOK);
    PressOn(Child(Account("Subscriptions"), "Moons"), Qt::Key_Delete);
    EXPECT_FALSE(app->AccountManager()->FindAccountByGuid(kSubscriptions));
    EXPECT_EQ(app->DataManager()->GetAccountCount(), 1);
    Settle();
    EXPECT_EQ(Account("Subscriptions"), nullptr);
    EXPECT_NE(Account("Home"), nullptr);
}

TEST_F(MainView, PostedMessagesRebuildTheTreeAndPostsToAGoneViewAreDropped) {
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    Open();
    seed.AddCalendar("acc", "c2", "Arrived", 1, "#0000FFFF");
    const platform::messages::TargetId target = view->Target();
    EXPECT_TRUE(platform::messages::PostAppMessage(target, platform::messages::WM_APP_CALENDARS_CHANGED, 0, 0));
    Settle();
    EXPECT_EQ(Children(Account("Home")), (Names{"Personal", "Arrived"}));
    const int queries = view->MonthView()->QueryCount();
    EXPECT_TRUE(platform::messages::PostAppMessage(target, platform::messages::WM_APP_SYNC_PROGRESS, 0, 0));
    Settle();
    EXPECT_EQ(view->MonthView()->QueryCount(), queries + 1);  // the month reloads
    view.reset();
    EXPECT_FALSE(platform::messages::PostAppMessage(target, platform::messages::WM_APP_DATA_CHANGED, 0, 0));
    Settle();
}

TEST_F(MainView, DoubleClicksHandTheItemToTheEventDialogAndButtonsNavigate) {
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    seed.Import("acc", "c1", Event("p", "Dinner", "DTSTART:20150310T190000\r\nDTEND:20150310T200000\r\n"), "p.ics");
    Open();
    ROrvaneMonthView* month = view->MonthView();
    ASSERT_EQ(R_OK, month->Draw(Day(2015, 3, 15), false));
    SaveTestPicture(view->grab().toImage(), "main-view-march-2015");
    ROrvaneCalendarItem* dinner = month->Cell(9).items.empty() ? nullptr : month->Cell(9).items.front().get();
    ASSERT_NE(dinner, nullptr);
    const RItemRect hit = dinner->GetHitRect();
    QTest::mouseDClick(view->MonthHost(), Qt::LeftButton, {}, QPoint(hit.left + 4, hit.top + 3));
    EXPECT_EQ(edited, (Names{"Dinner"}));
    QTest::mouseDClick(view->MonthHost(), Qt::LeftButton, {}, QPoint(hit.left + 4, hit.top + 60));
    EXPECT_EQ(edited.size(), 1u);

    month->Button(ROrvaneMonthView::kNextButton)->click();
    EXPECT_EQ(month->DisplayedDate().month, 4);
    month->Button(ROrvaneMonthView::kPreviousButton)->click();
    month->Button(ROrvaneMonthView::kPreviousButton)->click();
    EXPECT_EQ(month->DisplayedDate().month, 2);
    // A repaint leaves the month where navigation put it.
    view->repaint();
    view->MonthHost()->repaint();
    EXPECT_EQ(month->DisplayedDate().month, 2);
    month->Button(ROrvaneMonthView::kTodayButton)->click();
    EXPECT_EQ(month->DisplayedDate().month, GetCurrentLocalDateTime()->month);
    EXPECT_TRUE(view->OnCommand(COrvaneView::kNextCommand));
}

TEST_F(MainView, ReloadsAfterSavesRefreshesAndSyncStepsKeepTheMonthTheUserPagedTo) {
    // An event in the month after this one, which this month's grid never reaches.
    RDateTime later = *GetCurrentLocalDateTime();
    later.day = 15;
    if (++later.month > 12) {
        later.month = 1;
        ++later.year;
    }
    char start[32];
    std::snprintf(start, sizeof start, "%04d%02d15T100000", later.year, later.month);
    seed.AddAccount("acc", "Home");
    seed.AddCalendar("acc", "c1", "Personal", 0, "#FF0000FF");
    seed.Import("acc", "c1", Event("n", "Next month", std::string("DTSTART:") + start + "\r\n"), "n.ics");
    Open();
    ROrvaneMonthView* month = view->MonthView();
    month->Button(ROrvaneMonthView::kNextButton)->click();
    ASSERT_EQ(month->DisplayedDate().month, later.month);
    ASSERT_EQ(MonthSummaries(), (Names{"Next month"}));
    // What a saved edit, a refresh and a refresh worker's progress bring about.
    const int queries = month->QueryCount();
    for (auto message : {platform::messages::WM_APP_DATA_CHANGED, platform::messages::WM_APP_SYNC_PROGRESS}) {
        EXPECT_TRUE(platform::messages::PostAppMessage(view->Target(), message, 0, 0));
        Settle();
    }
    EXPECT_TRUE(view->OnCommand(COrvaneView::kRefreshCommand));
    Settle();
    EXPECT_GT(month->QueryCount(), queries);  // the month did reload
    EXPECT_EQ(month->DisplayedDate().year, later.year);
    EXPECT_EQ(month->DisplayedDate().month, later.month);
    EXPECT_EQ(MonthSummaries(), (Names{"Next month"}));
    SaveTestPicture(view->grab().toImage(), "main-view-kept-month");
}

TEST_F(MainView, RefreshAndStateIconsReachAccountsScrolledOutOfTheTree) {
    for (int i = 0; i < 14; ++i) {
        const std::string guid = "acc" + std::to_string(i);
        seed.AddAccount(guid.c_str(), ("Account " + std::to_string(i)).c_str());
        seed.AddCalendar(guid.c_str(), ("cal" + std::to_string(i)).c_str(), "Calendar", 0, "#FF0000FF");
    }
    Open(160);  // most accounts lie below the tree's visible rows from the start
    ASSERT_GT(view->Tree()->Tree()->verticalScrollBar()->maximum(), 0);
    // Every refresh has failed or still runs: every account shows the mark, visible or not.
    for (int round = 0; round < 2; ++round) {
        for (int row = 0; row < Model()->rowCount(); ++row) {
            const int image = Model()->item(row)->data(kImageIndexRole).toInt();
            EXPECT_TRUE(image == view->ErrorIcon() || image == view->RefreshingIcon()) << row;
        }
        // Refresh starts the accounts that are not refreshing, visible or not.
        view->OnCommand(COrvaneView::kRefreshCommand);
        for (int row = 0; row < Model()->rowCount(); ++row) {
            RRef<ROrvaneAccount> account = app->AccountManager()->FindAccountByGuid(("acc" + std::to_string(row)).c_str());
            ASSERT_TRUE(account);
            EXPECT_TRUE(account->IsRefreshing() || account->GetLastResult() != 0) << row;
        }
        Settle();
    }
}

TEST_F(MainView, TheEditMenuShowsItsEntriesDisabled) {
    RegisterProgramMenus();
    seed.AddAccount("acc", "Home");
    Open();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 300), QPoint(320, 340));
    QApplication::sendEvent(view->MonthHost(), &event);
    const platform::ui::ShownMenu& shown = platform::ui::LastContextMenu();
    EXPECT_EQ(shown.menuId, ROrvaneMonthView::kEditMenu);
    EXPECT_EQ(shown.screen, QPoint(320, 340));
    ASSERT_EQ(shown.entries.size(), 3u);
    for (const auto& [text, enabled] : shown.entries) EXPECT_FALSE(enabled) << text.toStdString();
}
