// Command routing, the compiled-in main menu and accelerators, the framework profile and the
// document template: the first target that claims a command answers it, unclaimed commands are
// disabled and do nothing, accelerators fire in their window and never inside a dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <map>
#include <set>

#include "platform/ui/CommandIds.h"
#include "platform/ui/CommandRouting.h"
#include "platform/ui/DocumentTemplate.h"
#include "platform/ui/FrameworkProfile.h"
#include "platform/ui/MenuResources.h"
#include "platform/ui/ModalRun.h"
#include "tests/support/GuiApp.h"

using namespace platform::ui;

namespace {

// Claims a set of ids, optionally disabled, and counts what it ran.
struct Target : CommandTarget {
    std::set<unsigned> claims;
    std::set<unsigned> disabled;
    std::map<unsigned, int> ran;
    bool OnCommand(unsigned id) override {
        if (!claims.count(id)) return false;
        ++ran[id];
        return true;
    }
    bool OnUpdateCommand(unsigned id, CommandState& state) override {
        if (!claims.count(id)) return false;
        state.enabled = !disabled.count(id);
        state.checked = id == 7;
        return true;
    }
};

QAction* FindEntry(QMenu* menu, unsigned id) {
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* inner = FindEntry(action->menu(), id)) return inner;
        } else if (!action->isSeparator() && action->data().toUInt() == id) {
            return action;
        }
    }
    return nullptr;
}

QAction* FindEntry(QMenuBar* bar, unsigned id) {
    for (QAction* top : bar->actions()) {
        if (QAction* found = FindEntry(top->menu(), id)) return found;
    }
    return nullptr;
}

}  // namespace

TEST(CommandRouting, TheFirstTargetThatClaimsACommandAnswersIt) {
    Target view, frame, app;
    view.claims = {1, 5};
    view.disabled = {5};
    frame.claims = {1, 2, 5, 7};
    app.claims = {2, 3};
    CommandRouter router;
    router.SetRoute([&]() -> std::vector<CommandTarget*> { return {&view, nullptr, &frame, &app}; });

    EXPECT_TRUE(router.Route(1));
    EXPECT_TRUE(router.Route(2));
    EXPECT_TRUE(router.Route(3));
    EXPECT_EQ(view.ran[1], 1);
    EXPECT_EQ(frame.ran[1], 0);
    EXPECT_EQ(frame.ran[2], 1);
    EXPECT_EQ(app.ran[2], 0);
    // Disabled where it is first claimed: not run there, and not passed on either.
    EXPECT_FALSE(router.Update(5).enabled);
    EXPECT_FALSE(router.Route(5));
    EXPECT_EQ(frame.ran[5], 0);
    EXPECT_TRUE(router.Update(7).checked);
    // Nobody claims it: disabled and nothing runs.
    EXPECT_FALSE(router.Update(99).enabled);
    EXPECT_FALSE(router.Route(99));
    CommandRouter empty;
    EXPECT_FALSE(empty.Update(1).enabled);
    EXPECT_FALSE(empty.Route(1));
}

TEST(CommandRouting, MainMenuShowsUnhandledCommandsDisabledAndKeepsItsKeyTexts) {
    orvane::test::GuiApp();
    Target app;
    app.claims = {ID_NEW_EVENT, ID_FILE_OPEN, ID_TOOLS_REFRESH, ID_APP_ABOUT, 207};
    CommandRouter router;
    router.SetRoute([&]() -> std::vector<CommandTarget*> { return {&app}; });
    QMenuBar bar;
    BuildMenuBar(&bar, MainMenu(), &router);
    ASSERT_EQ(bar.actions().size(), 5);
    for (QAction* top : bar.actions()) UpdateMenuStates(top->menu(), router);

    for (unsigned id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_FIND, ID_TOOLS_OPTIONS,
                        ID_FILE_SAVE}) {
        QAction* entry = FindEntry(&bar, id);
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_FALSE(entry->isEnabled()) << id;
    }
    QAction* newEvent = FindEntry(&bar, ID_NEW_EVENT);
    ASSERT_NE(newEvent, nullptr);
    EXPECT_TRUE(newEvent->isEnabled());
    EXPECT_EQ(newEvent->text(), "&New Event\tCtrl+N");
    EXPECT_EQ(FindEntry(&bar, ID_FILE_OPEN)->text(), "&Import...\tCtrl+O");
    // The menu entry itself binds no key: the accelerator table does.
    EXPECT_TRUE(newEvent->shortcut().isEmpty());
    // Choosing an entry runs its command through the route.
    newEvent->trigger();
    EXPECT_EQ(app.ran[ID_NEW_EVENT], 1);
    FindEntry(&bar, ID_EDIT_FIND)->trigger();  // disabled entries run nothing even when triggered
    // The View menu: the Time Zone submenu at position 3 with System Setting; the looks under
    // Application Look, the Office 2007 styles one level deeper.
    QMenu* view = bar.actions()[2]->menu();
    ASSERT_GE(view->actions().size(), 5);
    ASSERT_NE(view->actions()[3]->menu(), nullptr);
    EXPECT_EQ(view->actions()[3]->menu()->actions()[0]->data().toUInt(), ID_ZONE_SYSTEM);
    EXPECT_NE(FindEntry(view->actions()[4]->menu(), 218), nullptr);
    EXPECT_TRUE(FindEntry(&bar, 207)->isChecked() == false);
}

TEST(CommandRouting, AcceleratorsFireInTheirWindowOnlyNeverInADialog) {
    orvane::test::GuiApp();
    Target app;
    for (const Accelerator& accelerator : MainAccelerators()) app.claims.insert(accelerator.id);
    CommandRouter router;
    router.SetRoute([&]() -> std::vector<CommandTarget*> { return {&app}; });
    // Ctrl+N makes an event, as the menu says; Export's Ctrl+E is in the table but nothing
    // claims it in the program.
    std::map<int, unsigned> byKey;
    for (const Accelerator& accelerator : MainAccelerators()) byKey[accelerator.key[0].toCombined()] = accelerator.id;
    EXPECT_EQ(byKey[QKeySequence(Qt::CTRL | Qt::Key_N)[0].toCombined()], ID_NEW_EVENT);
    EXPECT_EQ(byKey[QKeySequence(Qt::CTRL | Qt::Key_R)[0].toCombined()], ID_TOOLS_REFRESH);
    EXPECT_EQ(byKey[QKeySequence(Qt::SHIFT | Qt::Key_Insert)[0].toCombined()], ID_EDIT_PASTE);

    QMainWindow window;
    InstallAccelerators(&window, MainAccelerators(), &router);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(app.ran[ID_NEW_EVENT], 1);
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(app.ran[ID_TOOLS_REFRESH], 1);

    ModalResponderScope responders;
    responders.Add([](QDialog& dialog) {
        dialog.activateWindow();
        (void)QTest::qWaitForWindowActive(&dialog);
        QTest::keyClick(&dialog, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(&dialog, Qt::Key_R, Qt::ControlModifier);
        dialog.done(IDOK);
    });
    QDialog dialog(&window);
    EXPECT_EQ(RunModal(dialog), IDOK);
    EXPECT_EQ(app.ran[ID_NEW_EVENT], 1);
    EXPECT_EQ(app.ran[ID_TOOLS_REFRESH], 1);
}

TEST(CommandRouting, MenuTextsShowNamesLiterallyAndReadBackPlain) {
    EXPECT_EQ(MenuLiteral("Tom & Jerry's <b>100%</b>"), "Tom && Jerry's <b>100%</b>");
    EXPECT_EQ(MenuPlainText(MenuLiteral("Tom & Jerry")), "Tom & Jerry");
    EXPECT_EQ(MenuPlainText("&New Event\tCtrl+N"), "New Event");
    EXPECT_EQ(MenuPlainText("Office 200&3"), "Office 2003");
    EXPECT_EQ(MenuPlainText("A &&&& B &"), "A && B ");
}

TEST(FrameworkProfile, ValuesKeepTheirTypeAndMissingOnesGiveTheFallback) {
    EXPECT_EQ(ReadProfileInt("ProfileTest", "ApplicationLook", 210), 210);
    EXPECT_EQ(WriteProfileInt("ProfileTest", "ApplicationLook", 215), 0u);
    EXPECT_EQ(ReadProfileInt("ProfileTest", "ApplicationLook", 210), 215);
    EXPECT_EQ(WriteProfileInt("ProfileTest", "ApplicationLook", -3), 0u);
    EXPECT_EQ(ReadProfileInt("ProfileTest", "ApplicationLook", 210), -3);
    EXPECT_TRUE(ReadProfileBinary("ProfileTest", "Geometry").isEmpty());
    const QByteArray bytes("\x01\x00\xFFgeometry", 11);
    EXPECT_EQ(WriteProfileBinary("ProfileTest", "Geometry", bytes), 0u);
    EXPECT_EQ(ReadProfileBinary("ProfileTest", "Geometry"), bytes);
    // A binary value is no integer.
    EXPECT_EQ(ReadProfileInt("ProfileTest", "Geometry", 7), 7);
}

TEST(DocumentTemplate, TheViewsFirstUpdateRunsBeforeTheFrameShows) {
    orvane::test::GuiApp();
    struct View : ViewBase {
        QWidget* frame = nullptr;
        bool frameVisibleAtUpdate = true;
        int updates = 0;
        void OnInitialUpdate() override {
            ++updates;
            frameVisibleAtUpdate = frame->isVisible();
        }
    } view;
    DocumentTemplate made("Orvane", [] { return std::make_unique<CDocument>(); },
                          [&view](CDocument*, ViewBase** out) -> QWidget* {
                              view.frame = new QWidget;
                              *out = &view;
                              return view.frame;
                          });
    ASSERT_TRUE(made.OpenNewDocument());
    EXPECT_EQ(view.updates, 1);
    EXPECT_FALSE(view.frameVisibleAtUpdate);
    EXPECT_TRUE(made.Frame()->isVisible());
    EXPECT_EQ(made.Document()->Title(), "Orvane");
    EXPECT_FALSE(made.OpenNewDocument());  // one document for the run
    made.Close();
    EXPECT_EQ(made.Frame(), nullptr);

    struct Refusing : CDocument {
        bool OnNewDocument() override { return false; }
    };
    int frames = 0;
    DocumentTemplate refused("Orvane", [] { return std::make_unique<Refusing>(); },
                             [&frames](CDocument*, ViewBase**) -> QWidget* {
                                 ++frames;
                                 return new QWidget;
                             });
    EXPECT_FALSE(refused.OpenNewDocument());
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(refused.Document(), nullptr);
}
