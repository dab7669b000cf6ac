#pragma once
// The application object: for the whole run it holds the data manager, the account manager,
// the one error report and the one confirmation question, and the registered views. Code that
// is not handed these reaches them here. Workers reach the error report only through the report
// sink it installs.
//
// UI thread only (the managers it holds may be shared as their own classes allow).
#include <functional>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RRef.h"
#include "platform/string/CString.h"
#include "store/ROrvaneDataManager.h"
#include "ui/dialogs/RConfirmationDialog.h"
#include "ui/dialogs/RErrorDialog.h"

class COrvaneView;
class ROrvaneAccountManager;
class ROrvaneCalendarItem;

class COrvaneApp {
public:
    COrvaneApp();
    ~COrvaneApp();
    COrvaneApp(const COrvaneApp&) = delete;
    COrvaneApp& operator=(const COrvaneApp&) = delete;

    // The one application object, or null outside its life.
    static COrvaneApp* Instance();

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

    void RegisterView(COrvaneView* view);
    void UnregisterView(COrvaneView* view);
    // The registered view at a position, or null.
    COrvaneView* GetView(int index = 0) const;

    // The event dialog's entry point: a double-clicked item or a new one is handed here.
    std::function<void(ROrvaneCalendarItem* item)> editEventEntry;

private:
    RRef<ROrvaneDataManager> dataManager_;
    RRef<ROrvaneAccountManager> accountManager_;
    RErrorDialog errorDialog_;
    RConfirmationDialog confirmationDialog_;
    std::vector<COrvaneView*> views_;
};
