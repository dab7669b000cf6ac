#include "ui/app/COrvaneApp.h"

#include <algorithm>
#include <chrono>

#include "foundation/debug/DebugTrace.h"
#include "platform/browser/BrowserLauncher.h"
#include "platform/messages/ErrorReports.h"
#include "platform/ui/DesktopBrowserLauncher.h"
#include "sync/AppContext.h"
#include "sync/ROrvaneAccountManager.h"
#include "ui/view/COrvaneView.h"

namespace {
COrvaneApp* g_app = nullptr;
}

COrvaneApp::COrvaneApp() { g_app = this; }

COrvaneApp::~COrvaneApp() {
    Shutdown();
    if (g_app == this) g_app = nullptr;
}

COrvaneApp* COrvaneApp::Instance() { return g_app; }

RResult COrvaneApp::OpenStore(const CStringW& dataFolder) {
    dataManager_ = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    const RResult opened = dataManager_->Open(dataFolder);
    accountManager_ = RRef<ROrvaneAccountManager>::Adopt(new ROrvaneAccountManager);
    (void)accountManager_->Init(dataManager_.get());

    errorDialog_.SetAccountExists([this](const std::string& guid) {
        return accountManager_ && accountManager_->FindAccountByGuid(guid.c_str());
    });
    platform::messages::InstallErrorReportSink(errorDialog_.Sink());
    // Accounts that sign in with OAuth 2.0 show the provider's page in the user's browser.
    (void)platform::browser::InstallBrowserLauncher(std::make_shared<platform::ui::DesktopBrowserLauncher>());
    InstallAppContext(dataManager_, accountManager_);
    (void)accountManager_->LoadAccounts();
    return opened;
}

bool COrvaneApp::Shutdown() {
    bool stopped = true;
    if (accountManager_) stopped = accountManager_->StopAll(std::chrono::seconds(5));
    platform::messages::InstallErrorReportSink(nullptr);
    (void)platform::browser::InstallBrowserLauncher(nullptr);
    ClearAppContext();
    if (!stopped) {
        // A worker still runs and holds the managers' objects: they are left for the process's end.
        (void)accountManager_.detach();
        (void)dataManager_.detach();
        return false;
    }
    if (accountManager_) accountManager_->ReleaseAll();
    accountManager_ = nullptr;
    dataManager_ = nullptr;
    return stopped;
}

void COrvaneApp::RegisterView(COrvaneView* view) {
    if (view != nullptr && std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void COrvaneApp::UnregisterView(COrvaneView* view) { views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end()); }

COrvaneView* COrvaneApp::GetView(int index) const {
    return index >= 0 && index < static_cast<int>(views_.size()) ? views_[static_cast<size_t>(index)] : nullptr;
}
