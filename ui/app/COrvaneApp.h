#pragma once
// The application object: for the whole run it holds the data manager, the account manager,
// the one error report and the one confirmation question, the event dialog, and the registered
// views. Code that is not handed these reaches them here. Workers reach the error report only
// through the report sink it installs. It carries the application's commands (the last stop of
// the command route): Refresh, Accounts, New Event, New Subscription, Import, About, Exit.
//
// Made in main() after the QApplication; every window it makes goes before it does.
//
// UI thread only (the managers it holds may be shared as their own classes allow).
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RRef.h"
#include "platform/messages/MessageTargets.h"
#include "platform/string/CString.h"
#include "platform/ui/CommandRouting.h"
#include "store/ROrvaneDataManager.h"
#include "ui/dialogs/RConfirmationDialog.h"
#include "ui/dialogs/RErrorDialog.h"
#include "ui/app/CImportRun.h"
#include "ui/event/REditEventDialog.h"

class CMainFrame;
class COrvaneView;
class QWidget;
class ROrvaneAccount;
class ROrvaneAccountManager;
class ROrvaneCalendarItem;

namespace platform::ui {
class DocumentTemplate;
}

class COrvaneApp : public platform::ui::CommandTarget {
public:
    COrvaneApp();
    ~COrvaneApp() override;
    COrvaneApp(const COrvaneApp&) = delete;
    COrvaneApp& operator=(const COrvaneApp&) = delete;

    // The one application object, or null outside its life.
    static COrvaneApp* Instance();

    // The start-up: the debug log, the store over the data folder (the user's XDG data folder
    // with BrenmoorTech/Orvane when none is given) with the accounts, the look, and the main
    // window with its view, shown. A store that cannot be opened is reported once and start-up
    // goes on. False only when the main window cannot be made.
    bool InitInstance(const CStringW& dataFolder = CStringW());
    // The shut-down: the main window goes (its timers and message targets with it), the
    // refreshes are stopped and joined, then the managers are released. True when every
    // refresh worker ended in time.
    bool ExitInstance();

    // Opens the store on the data folder and loads the accounts with their calendars; installs
    // the report sink and the context the refresh workers use. The store's result.
    RResult OpenStore(const CStringW& dataFolder);
    // Stops the refreshes (waiting a bounded time), removes the sink and context, and releases
    // the account manager, then the data manager. True when every worker ended.
    bool Shutdown();

    ROrvaneDataManager* DataManager() const { return dataManager_.get(); }
    ROrvaneAccountManager* AccountManager() const { return accountManager_.get(); }
    RErrorDialog& ErrorDialog() { return errorDialog_; }
    RConfirmationDialog& ConfirmationDialog() { return confirmationDialog_; }
    REditEventDialog& EditDialog() { return editDialog_; }
    const CStringW& DataFolder() const { return dataFolder_; }

    void RegisterView(COrvaneView* view);
    void UnregisterView(COrvaneView* view);
    // The registered view at a position, or null.
    COrvaneView* GetView(int index = 0) const;
    // The main window, once InitInstance made it.
    CMainFrame* MainFrame() const;

    // Where the accounts dialog tells the main window that the account list changed.
    void SetMainFrameTarget(platform::messages::TargetId target) { mainFrameTarget_ = target; }
    platform::messages::TargetId MainFrameTarget() const { return mainFrameTarget_; }
    // The chosen look (a command id from 205 to 219).
    int Look() const { return look_; }
    void SetLook(int look) { look_ = look; }

    // The event dialog's entry point: a double-clicked item or a new one is handed here (the
    // event dialog by default).
    std::function<void(ROrvaneCalendarItem* item)> editEventEntry;

    // Commands.
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, platform::ui::CommandState& state) override;
    void OnAppAbout();
    void OnFileNew();
    void OnNewSubscription();
    void OnImport();
    void OnNewEvent();
    void OnRefresh();
    void OnAccounts();
    // A new event in the account's default calendar (the first account when null).
    void NewEventInAccount(ROrvaneAccount* account);
    // Whether new events can go into the account: it has a calendar that is not read-only (the
    // subscriptions account has none). New Event for an account that cannot is shown disabled.
    static bool TakesNewEvents(ROrvaneAccount* account);
    // Subscribes to a calendar file on the web (a read-only calendar of the subscriptions
    // account) and downloads it.
    void AddSubscription(const QString& name, const QString& url);
    // Imports an iCalendar file into the first account's default calendar, on a worker: the
    // window stays usable, shows the progress and can stop it; the result is reported at the end.
    void ImportFile(const QString& path);
    // Whether an import runs (File > Import is disabled meanwhile).
    bool Importing() const { return importRun_ != nullptr; }

private:
    // The window dialogs open over: the main window, else the first view.
    QWidget* DialogParent() const;
    void PostDataChanged();
    // Shows the current error report; OK refreshes the shown accounts.
    void ShowErrorAndRefresh();
    // The end of an import: what arrived is shown, a failure reported.
    void OnImportFinished(const ImportOutcome& outcome, const CStringW& accountName, const CStringW& calendarName,
                          const CStringW& fileName);

    RRef<ROrvaneDataManager> dataManager_;
    RRef<ROrvaneAccountManager> accountManager_;
    RErrorDialog errorDialog_;
    RConfirmationDialog confirmationDialog_;
    REditEventDialog editDialog_;
    std::vector<COrvaneView*> views_;
    CStringW dataFolder_;
    std::unique_ptr<platform::ui::DocumentTemplate> template_;
    std::unique_ptr<CImportRun> importRun_;
    platform::messages::TargetId mainFrameTarget_ = platform::messages::kNoTarget;
    int look_ = 210;
};
