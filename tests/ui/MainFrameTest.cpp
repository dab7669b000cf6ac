// The main window over a real store: the New Event entry for 0, 1, 2 and 12 accounts and its
// rebuild when accounts go, the routed menu states, Ctrl+N, the Time Zone submenu with the
// stored key and the month's zone, the looks stored and applied at start, the About box, the
// subscription address rules, and a start-up over a store that cannot be opened.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <fstream>

#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/messages/MessageTargets.h"
#include "platform/ui/ContextMenus.h"
#include "platform/ui/CommandIds.h"
#include "platform/ui/FrameworkProfile.h"
#include "platform/ui/MenuResources.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/ui/support/AppFixture.h"
#include "ui/app/CAboutDlg.h"
#include "ui/app/CSubscriptionDialog.h"
#include "ui/app/OrvaneMain.h"
#include "ui/frame/CMainFrame.h"
#include "ui/view/COrvaneView.h"

using namespace orvane::test;
using namespace platform::ui;

namespace {

class MainFrame : public AppFixture {
protected:
    // `count` accounts named "Account <i>", the second one "Home & <b>Work</b> 100%", each with a calendar.
    void SeedAccounts(int count) {
        for (int i = 0; i < count; ++i) {
            // Accounts are listed in guid order.
            const std::string guid = (i < 10 ? "acc0" : "acc") + std::to_string(i);
            const std::string name = i == 1 ? "Home & <b>Work</b> 100%" : "Account " + std::to_string(i);
            seed.AddAccount(guid.c_str(), name.c_str());
            seed.AddCalendar(guid.c_str(), ("cal" + std::to_string(i)).c_str(), "Calendar", 0, "#1565C0FF");
        }
    }
    void CaptureNewEvents() {
        app->editEventEntry = [this](ROrvaneCalendarItem* item) {
            edited.push_back(item != nullptr && item->GetAccount() != nullptr
                                 ? std::string(item->GetAccount()->GetDescription().GetString())
                                 : std::string("?"));
        };
    }
    QStringList AccountEntries() {
        QAction* entry = Frame()->NewEventEntry();
        QStringList texts;
        if (entry == nullptr || entry->menu() == nullptr) return texts;
        for (QAction* action : entry->menu()->actions()) texts << action->text();
        return texts;
    }
    std::vector<std::string> edited;
};

}  // namespace

TEST_F(MainFrame, WithoutAccountsNewEventIsAPlainEntryThatDoesNothing) {
    StartApp();
    CaptureNewEvents();
    QAction* entry = Frame()->NewEventEntry();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->menu(), nullptr);
    EXPECT_EQ(entry->data().toUInt(), ID_NEW_EVENT);
    EXPECT_TRUE(Run(ID_NEW_EVENT));
    EXPECT_TRUE(edited.empty());
    EXPECT_EQ(Frame()->windowTitle(), "Orvane");
    EXPECT_EQ(Frame()->MessagePane()->text(), "Ready");
}

TEST_F(MainFrame, OneAccountKeepsThePlainEntry) {
    SeedAccounts(1);
    StartApp();
    QAction* entry = Frame()->NewEventEntry();
    EXPECT_EQ(entry->menu(), nullptr);
    EXPECT_EQ(entry->text(), "&New Event\tCtrl+N");
    EXPECT_EQ(entry->data().toUInt(), ID_NEW_EVENT);
    EXPECT_TRUE(Frame()->Router().Update(ID_NEW_EVENT).enabled);
    EXPECT_FALSE(Frame()->Router().Update(ID_NEW_EVENT_ACCOUNT_FIRST + 1).enabled);
}

TEST_F(MainFrame, TwoAccountsGiveASubmenuShowingTheirNamesAsTheyStand) {
    SeedAccounts(2);
    StartApp();
    CaptureNewEvents();
    EXPECT_EQ(AccountEntries(), QStringList({"Account 0", "Home && <b>Work</b> 100%"}));
    QAction* second = FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(MenuPlainText(second->text()), "Home & <b>Work</b> 100%");
    EXPECT_FALSE(Frame()->Router().Update(ID_NEW_EVENT_ACCOUNT_FIRST + 2).enabled);
}

TEST_F(MainFrame, TwelveAccountsAllWorkFromTheSubmenu) {
    SeedAccounts(12);
    StartApp();
    CaptureNewEvents();
    ASSERT_EQ(AccountEntries().size(), 12);
    QAction* last = FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 11);
    ASSERT_NE(last, nullptr);
    UpdateMenuStates(Frame()->NewEventEntry()->menu(), Frame()->Router());
    EXPECT_TRUE(last->isEnabled());
    EXPECT_EQ(MenuPlainText(last->text()), "Account 11");
    EXPECT_FALSE(Frame()->Router().Update(ID_NEW_EVENT_ACCOUNT_FIRST + 12).enabled);
}

TEST_F(MainFrame, NewEventIsOfferedOnlyForAccountsWithACalendarToWriteInto) {
    SeedAccounts(1);
    const char* subscriptions = "__Subscriptions_GUID__";
    seed.AddAccount(subscriptions, "Subscriptions");
    seed.AddCalendar(subscriptions, "feed", "Team feed", 0, "#2E7D32FF", true, "subscribed");
    seed.SetSubscription(subscriptions, "feed", "http://127.0.0.1:9/feed.ics", "2026-01-01 08:00");
    StartApp();
    ASSERT_EQ(AccountEntries(), QStringList({"Account 0", "Subscriptions"}));
    QAction* own = FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST);
    QAction* feeds = FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 1);
    ASSERT_NE(own, nullptr);
    ASSERT_NE(feeds, nullptr);
    UpdateMenuStates(Frame()->NewEventEntry()->menu(), Frame()->Router());
    EXPECT_TRUE(own->isEnabled());
    EXPECT_FALSE(feeds->isEnabled());

    // With the subscriptions alone, the plain entry offers nothing either.
    (void)app->AccountManager()->DeleteAccount("acc00");
    (void)platform::messages::PostAppMessage(app->MainFrameTarget(), platform::messages::WM_APP_ACCOUNTS_CHANGED, 0, 0);
    Settle();
    ASSERT_EQ(Frame()->NewEventEntry()->menu(), nullptr);
    EXPECT_FALSE(Frame()->Router().Update(ID_NEW_EVENT).enabled);
}

TEST_F(MainFrame, RemovingAccountsRebuildsTheSubmenuThreeTwoOne) {
    SeedAccounts(3);
    StartApp();
    CaptureNewEvents();
    ASSERT_EQ(AccountEntries().size(), 3);
    auto remove = [this](const char* guid) {
        (void)app->AccountManager()->DeleteAccount(guid);
        (void)platform::messages::PostAppMessage(app->MainFrameTarget(), platform::messages::WM_APP_ACCOUNTS_CHANGED, 0, 0);
        Settle();
    };
    remove("acc00");
    EXPECT_EQ(AccountEntries(), QStringList({"Home && <b>Work</b> 100%", "Account 2"}));
    EXPECT_EQ(FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 1)->text(), "Account 2");
    EXPECT_EQ(FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 2), nullptr);
    remove("acc01");
    QAction* entry = Frame()->NewEventEntry();
    EXPECT_EQ(entry->menu(), nullptr);
    EXPECT_EQ(entry->text(), "&New Event\tCtrl+N");
    EXPECT_EQ(entry->data().toUInt(), ID_NEW_EVENT);
    EXPECT_EQ(FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST), nullptr);
}

TEST_F(MainFrame, RemovingTheLastSubscriptionInTheTreeRebuildsTheNewEventEntry) {
    SeedAccounts(1);
    seed.AddAccount(COrvaneView::kSubscriptionsGuid, "Subscriptions");
    seed.AddCalendar(COrvaneView::kSubscriptionsGuid, "s1", "Moons", 0, "#00FFFFFF", true, "subscribed");
    StartApp();
    ASSERT_EQ(AccountEntries().size(), 2);
    // The user selects the subscription in the tree, presses Delete and confirms.
    CCustomTreeChildCtrl* tree = Frame()->View()->Tree()->Tree();
    QStandardItem* moons = nullptr;
    for (int row = 0; row < tree->Model()->rowCount(); ++row) {
        QStandardItem* account = tree->Model()->item(row);
        if (account->text() == "Subscriptions" && account->rowCount() == 1) moons = account->child(0);
    }
    ASSERT_NE(moons, nullptr);
    tree->setCurrentIndex(moons->index());
    responders->AddResult(IDOK);
    QTest::keyClick(tree, Qt::Key_Delete);
    Settle();
    ASSERT_EQ(app->AccountManager()->GetAccountCount(), 1);
    QAction* entry = Frame()->NewEventEntry();
    EXPECT_EQ(entry->menu(), nullptr);
    EXPECT_EQ(entry->data().toUInt(), ID_NEW_EVENT);
    EXPECT_EQ(FindMenuEntry(Frame()->FileMenu(), ID_NEW_EVENT_ACCOUNT_FIRST + 1), nullptr);
}

TEST_F(MainFrame, CommandsWithoutAHandlerAreDisabledInTheMenus) {
    StartApp();
    QMenuBar* bar = Frame()->menuBar();
    for (QAction* top : bar->actions()) UpdateMenuStates(top->menu(), Frame()->Router());
    for (unsigned id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_FIND, ID_TOOLS_OPTIONS,
                        ID_FILE_SAVE}) {
        QAction* entry = nullptr;
        for (QAction* top : bar->actions()) {
            if (!entry) entry = FindMenuEntry(top->menu(), id);
        }
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_FALSE(entry->isEnabled()) << id;
        EXPECT_FALSE(Run(id)) << id;
    }
    for (unsigned id : {ID_NEW_EVENT, ID_NEW_SUBSCRIPTION, ID_FILE_OPEN, ID_TOOLS_REFRESH, ID_TOOLS_ACCOUNTS,
                        ID_APP_ABOUT, ID_VIEW_NEXT, ID_VIEW_PREVIOUS, ID_APP_EXIT}) {
        EXPECT_TRUE(Frame()->Router().Update(id).enabled) << id;
    }
    // The month's buttons were placed by the host's size in the window: at its right edge.
    ROrvaneMonthView* month = app->GetView(0)->MonthView();
    const int hostWidth = app->GetView(0)->MonthHost()->width();
    const QRect next = month->Button(ROrvaneMonthView::kNextButton)->geometry();
    EXPECT_GT(hostWidth, 400);
    EXPECT_LE(next.right(), hostWidth);
    EXPECT_GT(next.left(), hostWidth - 100);
    // A wider window takes them along.
    Frame()->resize(Frame()->width() + 300, Frame()->height());
    Settle();
    const int widerHost = app->GetView(0)->MonthHost()->width();
    EXPECT_EQ(widerHost, hostWidth + 300);
    EXPECT_EQ(month->Button(ROrvaneMonthView::kNextButton)->geometry().right(), next.right() + 300);
    // View > Next moves the month on; Previous brings it back.
    const RDateTime shown = month->DisplayedDate();
    EXPECT_TRUE(Run(ID_VIEW_NEXT));
    EXPECT_NE(month->DisplayedDate().month, shown.month);
    EXPECT_TRUE(Run(ID_VIEW_PREVIOUS));
    EXPECT_EQ(month->DisplayedDate().month, shown.month);
}

TEST_F(MainFrame, CommandsWithoutAHandlerLookDisabledInEveryLookAndInTheRightClickMenu) {
    RegisterProgramMenus();
    StartApp();
    // The right-click menu of the month: the Edit entries with their keys, none available.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(300, 300), QPoint(320, 340));
    QApplication::sendEvent(app->GetView(0)->MonthHost(), &click);
    const ShownMenu& shown = LastContextMenu();
    ASSERT_EQ(shown.entries.size(), 3u);
    EXPECT_EQ(shown.entries[0].first, "Cu&t\tCtrl+X");
    EXPECT_EQ(shown.entries[1].first, "&Copy\tCtrl+C");
    EXPECT_EQ(shown.entries[2].first, "&Paste\tCtrl+V");
    for (const auto& [text, enabled] : shown.entries) EXPECT_FALSE(enabled) << text.toStdString();

    auto apart = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    };
    // The colour farthest from an entry's background: what its text is drawn in.
    auto ink = [&apart](QMenu* menu, QAction* action) {
        menu->resize(menu->sizeHint());
        const QImage image = menu->grab().toImage();
        const QRect row = menu->actionGeometry(action);
        const QRgb background = image.pixel(row.left() + 1, row.center().y());
        QRgb farthest = background;
        for (int y = row.top(); y <= row.bottom(); ++y) {
            for (int x = row.left(); x <= row.right(); ++x) {
                if (apart(image.pixel(x, y), background) > apart(farthest, background)) farthest = image.pixel(x, y);
            }
        }
        return farthest;
    };
    std::vector<unsigned> looks;
    for (unsigned id = ID_LOOK_FIRST; id <= ID_LOOK_LAST; ++id) {
        if (FindMenuEntry(Frame()->ViewMenu(), id) != nullptr) looks.push_back(id);
    }
    ASSERT_EQ(looks.size(), 10u);
    // Each look as the program starts in it.
    for (unsigned look : looks) {
        (void)WriteProfileInt("Orvane", "ApplicationLook", static_cast<int>(look));
        StopApp();
        StartApp();
        ASSERT_EQ(app->Look(), static_cast<int>(look));
        QMenu* file = Frame()->FileMenu();
        UpdateMenuStates(file, Frame()->Router());
        QAction* newEvent = FindMenuEntry(file, ID_NEW_EVENT);
        QAction* exportEntry = FindMenuEntry(file, ID_FILE_SAVE);
        ASSERT_TRUE(newEvent->isEnabled());
        ASSERT_FALSE(exportEntry->isEnabled());
        const QRgb enabledInk = ink(file, newEvent);
        EXPECT_GT(apart(enabledInk, ink(file, exportEntry)), 60) << look;
        std::unique_ptr<QMenu> edit = BuildContextMenu(ROrvaneMonthView::kEditMenu, [](unsigned) { return false; }, Frame());
        ASSERT_TRUE(edit);
        EXPECT_GT(apart(enabledInk, ink(edit.get(), edit->actions()[0])), 60) << look;
        if (look == 205 || look == 210 || look == 216) {
            SaveTestPicture(file->grab().toImage(), ("file-menu-look-" + std::to_string(look)).c_str());
        }
    }
    (void)WriteProfileInt("Orvane", "ApplicationLook", CMainFrame::kDefaultLook);
}

TEST_F(MainFrame, TimeZoneMenuStoresTheKeyAndTheMonthFollowsAtOnce) {
    ASSERT_EQ(WriteTimeZoneSetting(CStringW()), 0u);
    StartApp();
    QMenu* zones = Frame()->TimeZoneMenu();
    ASSERT_NE(zones, nullptr);
    UpdateMenuStates(zones, Frame()->Router());
    QAction* system = zones->actions()[0];
    EXPECT_EQ(system->data().toUInt(), ID_ZONE_SYSTEM);
    EXPECT_TRUE(system->isChecked());
    // The checked entry is the bold default one, as a chosen zone is.
    for (QAction* entry : zones->actions()) EXPECT_EQ(entry->font().bold(), entry == system) << entry->text().toStdString();

    // The first zone whose Olson name differs from the month's current zone.
    CStringW key, olson, display;
    int position = 0;
    for (;; ++position) {
        ASSERT_EQ(GetTimeZoneAt(position, &key, &olson, &display, nullptr), R_OK);
        if (!olson.IsEmpty() && olson != app->GetView(0)->MonthView()->ZoneOlsonId()) break;
    }
    QAction* chosen = FindMenuEntry(zones, ID_ZONE_FIRST + static_cast<unsigned>(position));
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(MenuPlainText(chosen->text()), ToQString(display));
    chosen->trigger();
    EXPECT_EQ(ReadTimeZoneSetting(), key);  // the key, not the display name
    EXPECT_EQ(app->GetView(0)->MonthView()->ZoneOlsonId(), olson);
    UpdateMenuStates(zones, Frame()->Router());
    EXPECT_TRUE(chosen->isChecked());
    EXPECT_TRUE(chosen->font().bold());
    EXPECT_FALSE(system->isChecked());
    EXPECT_FALSE(system->font().bold());

    system->trigger();
    EXPECT_TRUE(ReadTimeZoneSetting().IsEmpty());
    UpdateMenuStates(zones, Frame()->Router());
    EXPECT_TRUE(system->isChecked());
    EXPECT_TRUE(system->font().bold());
    EXPECT_FALSE(chosen->isChecked());
    EXPECT_FALSE(chosen->font().bold());

    // A stored key shows as the checked, bold entry at the next start.
    ASSERT_EQ(WriteTimeZoneSetting(key), 0u);
    StopApp();
    StartApp();
    zones = Frame()->TimeZoneMenu();
    UpdateMenuStates(zones, Frame()->Router());
    chosen = FindMenuEntry(zones, ID_ZONE_FIRST + static_cast<unsigned>(position));
    EXPECT_TRUE(chosen->isChecked());
    EXPECT_TRUE(chosen->font().bold());
    EXPECT_FALSE(zones->actions()[0]->isChecked());
    EXPECT_FALSE(zones->actions()[0]->font().bold());
    ASSERT_EQ(WriteTimeZoneSetting(CStringW()), 0u);
}

TEST_F(MainFrame, TheLookIsStoredMarkedAndAppliedAtTheNextStart) {
    (void)WriteProfileInt("Orvane", "ApplicationLook", 215);
    StartApp();
    EXPECT_EQ(app->Look(), 215);
    EXPECT_EQ(QApplication::style()->name(), "fusion");
    QAction* blue = FindMenuEntry(Frame()->ViewMenu(), 215);
    QAction* classic = FindMenuEntry(Frame()->ViewMenu(), 205);
    ASSERT_NE(blue, nullptr);
    ASSERT_NE(classic, nullptr);
    UpdateMenuStates(qobject_cast<QMenu*>(blue->parent()), Frame()->Router());
    EXPECT_TRUE(blue->isChecked());

    EXPECT_TRUE(Run(205));
    EXPECT_EQ(ReadProfileInt("Orvane", "ApplicationLook", 0), 205);
    EXPECT_EQ(app->Look(), 205);
    EXPECT_EQ(QApplication::style()->name(), "windows");
    EXPECT_TRUE(Frame()->Router().Update(205).checked);
    EXPECT_FALSE(Frame()->Router().Update(215).checked);

    EXPECT_TRUE(Run(216));
    const QColor window = QApplication::palette().color(QPalette::Window);
    StopApp();
    StartApp();
    EXPECT_EQ(app->Look(), 216);
    EXPECT_EQ(QApplication::style()->name(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), window);
    EXPECT_TRUE(Frame()->Router().Update(216).checked);
    (void)WriteProfileInt("Orvane", "ApplicationLook", CMainFrame::kDefaultLook);
}

TEST_F(MainFrame, AboutShowsTheVersionFromTheBuild) {
    StartApp();
    QString shown;
    responders->Add([&shown](QDialog& dialog) {
        if (auto* line = dialog.findChild<QLabel*>("versionLine")) shown = line->text();
        dialog.done(IDOK);
    });
    EXPECT_TRUE(Run(ID_APP_ABOUT));
    EXPECT_EQ(shown, CAboutDlg::VersionLine());
    EXPECT_EQ(shown, "Orvane, Version 1.2.0 Bld 14");
}

TEST_F(MainFrame, SubscriptionDialogRefusesMissingAndForeignAddressesAndStaysOpen) {
    EXPECT_TRUE(CSubscriptionDialog::IsAcceptedUrl("webcal://example.org/a.ics"));
    EXPECT_TRUE(CSubscriptionDialog::IsAcceptedUrl("WEBCALS://example.org/a.ics"));
    EXPECT_TRUE(CSubscriptionDialog::IsAcceptedUrl(" https://example.org/feed?x=1 "));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl(""));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl("   "));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl("ftp://example.org/a.ics"));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl("file:///etc/passwd"));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl("example.org/a.ics"));
    EXPECT_FALSE(CSubscriptionDialog::IsAcceptedUrl("http://"));

    StartApp();
    int refusals = 0;
    bool stayedOpen = true;
    responders->Add([&](QDialog& dialog) {
        SaveTestPicture(dialog.grab().toImage(), "subscription-dialog");
        auto* url = dialog.findChild<QLineEdit*>(CSubscriptionDialog::kUrl);
        auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (const char* bad : {"", "ftp://example.org/x.ics"}) {
            url->setText(bad);
            ok->click();
            stayedOpen = stayedOpen && dialog.isVisible();
        }
        dialog.done(IDCANCEL);
    });
    for (int i = 0; i < 2; ++i) {
        responders->Add([&refusals](QDialog& dialog) {
            if (qobject_cast<QMessageBox*>(&dialog) != nullptr &&
                static_cast<QMessageBox&>(dialog).text() == CSubscriptionDialog::kRefusal) {
                ++refusals;
            }
            dialog.done(IDOK);
        });
    }
    EXPECT_TRUE(Run(ID_NEW_SUBSCRIPTION));
    EXPECT_EQ(refusals, 2);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(app->AccountManager()->GetAccountCount(), 0);  // nothing was made
}

TEST_F(MainFrame, AStoreThatCannotBeOpenedIsReportedOnceAndStartUpGoesOn) {
    TempFolder folder("orvane-bad-store");
    const std::string blocked = (folder.Path() / "file").string();
    std::ofstream(blocked) << "not a folder";
    GuiApp();
    int reports = 0;
    responders->Add([&reports](QDialog& dialog) {
        ++reports;
        dialog.done(IDOK);
    });
    app = std::make_unique<COrvaneApp>();
    ASSERT_TRUE(app->InitInstance(CStringW::FromUtf8(blocked + "/Orvane")));
    Settle();
    EXPECT_EQ(reports, 1);
    EXPECT_NE(app->ErrorDialog().Code(), 0);
    ASSERT_NE(Frame(), nullptr);
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_EQ(responders->Unanswered(), 0);
}
