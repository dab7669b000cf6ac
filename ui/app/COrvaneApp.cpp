#include "ui/app/COrvaneApp.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <utility>

#include "foundation/debug/DebugTrace.h"
#include "foundation/debug/RDebugLog.h"
#include "foundation/files/ModuleFileVersion.h"
#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/browser/BrowserLauncher.h"
#include "platform/files/XdgFolders.h"
#include "platform/messages/ErrorReports.h"
#include "platform/ui/CommandIds.h"
#include "platform/ui/DesktopBrowserLauncher.h"
#include "platform/ui/DocumentTemplate.h"
#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "sync/AppContext.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "sync/SyncResults.h"
#include "ui/accounts/CAccountsDialog.h"
#include "ui/app/CAboutDlg.h"
#include "ui/app/CSubscriptionDialog.h"
#include "ui/frame/CMainFrame.h"
#include "ui/frame/COrvaneDoc.h"
#include "ui/view/COrvaneView.h"

using namespace platform::ui;

namespace {
COrvaneApp* g_app = nullptr;

CStringW Wide(const CStringA& utf8) { return CStringW::FromUtf8(utf8.AsView()); }

// The last path component of an address or a file path.
CStringW LastPathComponent(const QString& path) {
    QString trimmed = path;
    while (trimmed.endsWith('/')) trimmed.chop(1);
    return ToCStringW(trimmed.section('/', -1));
}
}  // namespace

COrvaneApp::COrvaneApp() {
    g_app = this;
    editEventEntry = [this](ROrvaneCalendarItem* item) { (void)editDialog_.EditItem(item, DialogParent()); };
}

COrvaneApp::~COrvaneApp() {
    (void)ExitInstance();
    if (g_app == this) g_app = nullptr;
}

COrvaneApp* COrvaneApp::Instance() { return g_app; }

bool COrvaneApp::InitInstance(const CStringW& dataFolder) {
    if (ReadDebugLogFlag(kOrvaneSettingsKey) != 0) {
        // Whoever asked for the log wants the trace too.
        SetDebugTraceOn(true);
        g_debugLog.Open(nullptr);
        VS_FIXEDFILEINFO version{};
        if (GetModuleFileVersion(&version) == 0) {
            g_debugLog.Printf("AppVersion %d.%d.%d.%d\n\r", static_cast<int>(version.dwFileVersionMS >> 16),
                              static_cast<int>(version.dwFileVersionMS & 0xFFFF),
                              static_cast<int>(version.dwFileVersionLS >> 16),
                              static_cast<int>(version.dwFileVersionLS & 0xFFFF));
        }
    }
    views_.clear();
    dataFolder_ = dataFolder.IsEmpty() ? CStringW::FromUtf8(platform::DataHomeFolder() + "/BrenmoorTech/Orvane")
                                       : dataFolder;
    if (!dataManager_) {
        const RResult opened = OpenStore(dataFolder_);
        if (opened != R_OK) {
            // Start-up goes on without the stored data; the user learns why once.
            errorDialog_.SetError(CStringW(u"Orvane"), opened, CStringW(), dataFolder_);
            (void)errorDialog_.DoModal(nullptr);
        }
    }
    look_ = CMainFrame::StoredLook();
    CMainFrame::ApplyLook(look_);

    template_ = std::make_unique<DocumentTemplate>(
        "Orvane", [] { return std::make_unique<COrvaneDoc>(); },
        [this](CDocument* document, ViewBase** view) -> QWidget* {
            auto* frame = new CMainFrame(this, document);
            *view = frame->ViewForTemplate();
            return frame;
        });
    return template_->OpenNewDocument();
}

bool COrvaneApp::ExitInstance() {
    // The windows go first: their message targets and the refresh timers armed on them go with
    // them, so nothing posted from now on reaches a window.
    if (template_) {
        template_->Close();
        template_.reset();
    }
    views_.clear();
    return Shutdown();
}

RResult COrvaneApp::OpenStore(const CStringW& dataFolder) {
    dataFolder_ = dataFolder;
    dataManager_ = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    const RResult opened = dataManager_->Open(dataFolder);
    accountManager_ = RRef<ROrvaneAccountManager>::Adopt(new ROrvaneAccountManager);
    try {
        (void)accountManager_->Init(dataManager_.get());
    } catch (...) {
        // A store that did not open cannot be read: the program runs without stored accounts.
        DebugTrace("COrvaneApp::OpenStore - the accounts could not be read\n");
    }

    errorDialog_.SetAccountExists([this](const std::string& guid) {
        return accountManager_ && accountManager_->FindAccountByGuid(guid.c_str());
    });
    platform::messages::InstallErrorReportSink(errorDialog_.Sink());
    // Accounts that sign in with OAuth 2.0 show the provider's page in the user's browser.
    (void)platform::browser::InstallBrowserLauncher(std::make_shared<platform::ui::DesktopBrowserLauncher>());
    InstallAppContext(dataManager_, accountManager_);
    try {
        (void)accountManager_->LoadAccounts();
    } catch (...) {
        DebugTrace("COrvaneApp::OpenStore - the accounts could not be read\n");
    }
    return opened;
}

bool COrvaneApp::Shutdown() {
    bool stopped = true;
    // An import ends after its item; the accounts' stop below aborts that item's transfer.
    if (importRun_) importRun_->Stop();
    if (accountManager_) stopped = accountManager_->StopAll(std::chrono::seconds(5));
    if (importRun_) {
        if (importRun_->StopAndWait(std::chrono::seconds(5))) {
            importRun_.reset();
        } else {
            // Its worker still runs and holds the managers' objects: all are left for the process's end.
            (void)importRun_.release();
            stopped = false;
        }
    }
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

CMainFrame* COrvaneApp::MainFrame() const {
    return template_ ? static_cast<CMainFrame*>(template_->Frame()) : nullptr;
}

QWidget* COrvaneApp::DialogParent() const {
    if (CMainFrame* frame = MainFrame()) return frame;
    return GetView(0);
}

void COrvaneApp::PostDataChanged() {
    if (COrvaneView* view = GetView(0)) {
        (void)platform::messages::PostAppMessage(view->Target(), platform::messages::WM_APP_DATA_CHANGED,
                                                 reinterpret_cast<std::uintptr_t>(this), 0);
    }
}

void COrvaneApp::ShowErrorAndRefresh() {
    if (errorDialog_.DoModal(DialogParent()) == IDOK) OnRefresh();
}

bool COrvaneApp::OnUpdateCommand(unsigned id, CommandState& state) {
    if (id == ID_NEW_EVENT && accountManager_ && accountManager_->GetAccountCount() > 0) {
        // The new event goes into the first account.
        state.enabled = TakesNewEvents(accountManager_->GetAccountAt(0).get());
        return true;
    }
    switch (id) {
        case ID_APP_ABOUT:
        case ID_APP_EXIT:
        case ID_FILE_NEW:
        case ID_NEW_SUBSCRIPTION:
        case ID_NEW_EVENT:
        case ID_TOOLS_REFRESH:
        case ID_TOOLS_ACCOUNTS: return true;
        case ID_FILE_OPEN:
            // One import at a time.
            state.enabled = !importRun_;
            return true;
        default: return false;  // Export, Undo, Cut, Copy, Paste, Find and Options have no handler
    }
}

bool COrvaneApp::OnCommand(unsigned id) {
    switch (id) {
        case ID_APP_ABOUT: OnAppAbout(); return true;
        case ID_APP_EXIT:
            if (CMainFrame* frame = MainFrame()) frame->close();
            return true;
        case ID_FILE_NEW: OnFileNew(); return true;
        case ID_NEW_SUBSCRIPTION: OnNewSubscription(); return true;
        case ID_FILE_OPEN: OnImport(); return true;
        case ID_NEW_EVENT: OnNewEvent(); return true;
        case ID_TOOLS_REFRESH: OnRefresh(); return true;
        case ID_TOOLS_ACCOUNTS: OnAccounts(); return true;
        default: return false;
    }
}

void COrvaneApp::OnAppAbout() {
    CAboutDlg about;
    (void)about.DoModal(DialogParent());
}

void COrvaneApp::OnFileNew() {
    // The document keeps nothing, so there is never anything to save first.
    if (template_ && template_->Document() != nullptr) (void)template_->Document()->OnNewDocument();
}

void COrvaneApp::OnNewSubscription() {
    CSubscriptionDialog dialog([this](const QString& name, const QString& url) { AddSubscription(name, url); });
    (void)dialog.DoModal(DialogParent());
}

void COrvaneApp::OnRefresh() {
    if (COrvaneView* view = GetView(0)) view->Refresh();
}

void COrvaneApp::OnAccounts() {
    CAccountsDialog dialog(this);
    (void)dialog.DoModal(DialogParent());
}

void COrvaneApp::OnNewEvent() {
    if (accountManager_ && accountManager_->GetAccountCount() > 0) NewEventInAccount(nullptr);
}

void COrvaneApp::NewEventInAccount(ROrvaneAccount* given) {
    RRef<ROrvaneAccount> account = RRef<ROrvaneAccount>::Share(given);
    if (!account && accountManager_) account = accountManager_->GetAccountAt(0);
    RResult result = 0;
    CStringW accountName, calendarName;
    if (account) {
        accountName = Wide(account->GetDescription());
        RRef<ROrvaneCalendar> calendar = account->GetDefaultCalendar();
        if (calendar) {
            calendarName = Wide(calendar->GetDisplayName());
            COrvaneView* view = GetView(0);
            if (view != nullptr && view->MonthView() != nullptr) {
                result = view->MonthView()->NewEvent(account.get(), calendar.get());
            }
        }
    }
    if (result != 0) {
        errorDialog_.SetError(accountName, result, calendarName, CStringW());
        ShowErrorAndRefresh();
        return;
    }
    PostDataChanged();
}

bool COrvaneApp::TakesNewEvents(ROrvaneAccount* account) {
    if (account == nullptr) return false;
    for (const RRef<ROrvaneCalendar>& calendar : account->Calendars()) {
        if (!calendar->IsReadOnly()) return true;
    }
    return false;
}

void COrvaneApp::AddSubscription(const QString& name, const QString& url) {
    if (!accountManager_) return;
    const CStringW title(u"Subscriptions");
    const CStringW fileName = LastPathComponent(url);
    const CStringA urlText = platform::ui::ToCStringA(url);
    auto report = [&](RResult code) {
        errorDialog_.SetError(title, code, ToCStringW(name), fileName);
        ShowErrorAndRefresh();
    };
    RRef<ROrvaneAccount> account = accountManager_->FindAccountByGuid(kSubscriptionsAccountGuid);
    if (!account) account = accountManager_->CreateSubscriptionsAccount(title.ToUtf8());
    if (!account) {
        report(STG_E_PATHNOTFOUND);
        return;
    }
    (void)account->LoadCalendars();
    RRef<ROrvaneCalendar> calendar = account->FindCalendarBySubscriptionURL(urlText);
    if (!calendar) {
        (void)account->AddSubscribedCalendar(urlText, platform::ui::ToCStringA(name));
        // Only a calendar the account lists is downloaded into.
        calendar = account->FindCalendarBySubscriptionURL(urlText);
    }
    if (!calendar) {
        report(STG_E_PATHNOTFOUND);
        return;
    }
    const RResult result = calendar->RefreshSubscription(false);
    if (result != 0) {
        report(result);
        return;
    }
    PostDataChanged();
}

void COrvaneApp::OnImport() {
    QFileDialog dialog(DialogParent());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // File names on this system are case-sensitive: both spellings of each extension are listed.
    dialog.setNameFilters({"iCalendar ICS (*.ics *.ICS)", "vCalendar VCS (*.vcs *.VCS)"});
    if (RunModal(dialog) != IDOK) return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return;
    ImportFile(chosen.first());
}

void COrvaneApp::ImportFile(const QString& path) {
    if (importRun_ || !accountManager_ || accountManager_->GetAccountCount() == 0) return;
    RRef<ROrvaneAccount> account = accountManager_->GetAccountAt(0);
    if (!account) return;
    RRef<ROrvaneCalendar> calendar = account->GetDefaultCalendar();
    if (!calendar) return;
    const CStringW accountName = Wide(account->GetDescription());
    const CStringW calendarName = Wide(calendar->GetDisplayName());
    const CStringW fileName = LastPathComponent(path);
    importRun_ = std::make_unique<CImportRun>(
        std::move(calendar), path, MainFrame(), [this, accountName, calendarName, fileName](const ImportOutcome& outcome) {
            OnImportFinished(outcome, accountName, calendarName, fileName);
        });
}

void COrvaneApp::OnImportFinished(const ImportOutcome& outcome, const CStringW& accountName,
                                  const CStringW& calendarName, const CStringW& fileName) {
    importRun_.reset();
    // The items that arrived are shown whatever became of the others.
    if (outcome.arrived > 0 || outcome.result == 0) PostDataChanged();
    if (outcome.result == 0 || outcome.result == R_E_SYNC_CANCELLED) return;
    errorDialog_.SetError(accountName, outcome.result, calendarName, fileName);
    ShowErrorAndRefresh();
}
