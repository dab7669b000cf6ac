#pragma once
// The program's one main window around the main view: the menu bar with its command routing
// (view, document, frame, application), the accelerators, the status bar, the New Event entry
// that becomes a submenu of the accounts when there are several, the Time Zone submenu that
// stores the display zone, and the looks that it applies and remembers.
//
// UI thread only.
#include <QMainWindow>
#include <memory>
#include <vector>

#include "platform/messages/AppMessages.h"
#include "platform/ui/CommandRouting.h"
#include "platform/ui/DocumentTemplate.h"
#include "platform/ui/WindowTarget.h"

class COrvaneApp;
class COrvaneView;
class QAction;
class QLabel;
class QMenu;

class CMainFrame : public QMainWindow, public platform::ui::CommandTarget {
public:
    // The look in force until the user picks one.
    static constexpr int kDefaultLook = 210;
    static constexpr unsigned kStatusBarId = 0xE801;

    // Makes the window, its menus and status bar, and the view as its central widget.
    CMainFrame(COrvaneApp* app, platform::ui::CDocument* document);
    ~CMainFrame() override;

    COrvaneView* View() const { return view_; }
    platform::ui::ViewBase* ViewForTemplate();
    const platform::ui::CommandRouter& Router() const { return router_; }
    platform::messages::TargetId Target() const { return target_ ? target_->Id() : platform::messages::kNoTarget; }

    void RebuildNewEventMenu();
    void OnNewEventInAccount(unsigned id);
    void BuildTimeZoneMenu();
    void OnTimeZone(unsigned id);
    void OnApplicationLook(unsigned id);

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, platform::ui::CommandState& state) override;

    QMenu* FileMenu() const;
    QMenu* ViewMenu() const;
    QMenu* TimeZoneMenu() const;
    QAction* NewEventEntry() const;
    QLabel* MessagePane() const { return messagePane_; }
    // Shows CAP, NUM and SCRL in their panes while the lock key is on.
    void UpdateKeyPanes();

    // Puts a look in force: the classic ids draw with the toolkit's Windows style, the others
    // with Fusion and a palette of their own.
    static void ApplyLook(int id);
    // The look's id as stored in the framework's profile, or the default.
    static int StoredLook();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class ViewCommands;

    COrvaneApp* app_;
    platform::ui::CDocument* document_;
    COrvaneView* view_ = nullptr;
    std::unique_ptr<ViewCommands> viewBase_;
    platform::ui::CommandRouter router_;
    std::unique_ptr<platform::ui::WindowTarget> target_;
    QLabel* messagePane_ = nullptr;
    std::vector<QLabel*> keyPanes_;
    QMenu* accountsMenu_ = nullptr;
    unsigned checkedZone_ = 0;  // the command of the checked Time Zone entry
};
