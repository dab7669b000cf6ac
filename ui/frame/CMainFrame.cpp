#include "ui/frame/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/ui/CommandIds.h"
#include "platform/ui/FrameworkProfile.h"
#include "platform/ui/LockKeys.h"
#include "platform/ui/MenuResources.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "ui/app/COrvaneApp.h"
#include "ui/view/COrvaneView.h"
#include "ui/view/TreeIcons.h"

using namespace platform::ui;

namespace {

constexpr const char* kProgram = "Orvane";
constexpr unsigned kMaxAccountEntries = 1000;

unsigned ZoneCount() {
    CStringW key;
    unsigned count = 0;
    while (count <= ID_ZONE_LAST - ID_ZONE_FIRST && GetTimeZoneAt(static_cast<int>(count), &key, nullptr, nullptr, nullptr) == R_OK) {
        ++count;
    }
    return count;
}

void SetDefaultEntry(QAction* action, bool isDefault) {
    QFont font = action->font();
    font.setBold(isDefault);
    action->setFont(font);
}

QColor Halfway(QRgb from, QRgb to) {
    return QColor((qRed(from) + qRed(to)) / 2, (qGreen(from) + qGreen(to)) / 2, (qBlue(from) + qBlue(to)) / 2);
}

QPalette LookPalette(int id) {
    struct Colours {
        int id;
        QRgb window, base, button, text, highlight;
    };
    static const Colours kLooks[] = {
        {208, qRgb(0xD6, 0xE4, 0xF7), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xC4, 0xDA, 0xFA), qRgb(0, 0, 0), qRgb(0x31, 0x6A, 0xC5)},
        {209, qRgb(0xEE, 0xED, 0xE5), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xE5, 0xE3, 0xD7), qRgb(0, 0, 0), qRgb(0x31, 0x6A, 0xC5)},
        {210, qRgb(0xE9, 0xEC, 0xF3), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xDD, 0xE2, 0xEC), qRgb(0, 0, 0), qRgb(0x33, 0x99, 0xFF)},
        {215, qRgb(0xC5, 0xD8, 0xEF), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xBF, 0xDB, 0xFF), qRgb(0x15, 0x42, 0x8B), qRgb(0xFF, 0xBD, 0x69)},
        {216, qRgb(0x53, 0x53, 0x53), qRgb(0x3B, 0x3B, 0x3B), qRgb(0x47, 0x47, 0x47), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xFF, 0xBD, 0x69)},
        {217, qRgb(0xE3, 0xE6, 0xEB), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xD5, 0xD9, 0xDE), qRgb(0x20, 0x20, 0x20), qRgb(0xFF, 0xBD, 0x69)},
        {218, qRgb(0xD1, 0xE7, 0xEA), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xC0, 0xDE, 0xE2), qRgb(0x10, 0x3A, 0x45), qRgb(0x2E, 0x9B, 0xB2)},
        {219, qRgb(0xF0, 0xF0, 0xF0), qRgb(0xFF, 0xFF, 0xFF), qRgb(0xE8, 0xE8, 0xE8), qRgb(0, 0, 0), qRgb(0x33, 0x99, 0xFF)},
    };
    for (const Colours& look : kLooks) {
        if (look.id != id) continue;
        QPalette palette(QColor::fromRgb(look.button), QColor::fromRgb(look.window));
        palette.setColor(QPalette::Base, QColor::fromRgb(look.base));
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::WindowText, QColor::fromRgb(look.text));
            palette.setColor(group, QPalette::Text, QColor::fromRgb(look.text));
            palette.setColor(group, QPalette::ButtonText, QColor::fromRgb(look.text));
        }
        // Disabled entries and controls show their text halfway to their background, so that
        // commands nobody handles look unavailable in every look.
        palette.setColor(QPalette::Disabled, QPalette::WindowText, Halfway(look.text, look.window));
        palette.setColor(QPalette::Disabled, QPalette::Text, Halfway(look.text, look.base));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, Halfway(look.text, look.button));
        palette.setColor(QPalette::Highlight, QColor::fromRgb(look.highlight));
        palette.setColor(QPalette::HighlightedText, QColor(Qt::white));
        return palette;
    }
    return QApplication::palette();  // a look of its own would keep the palette in force
}

}  // namespace

// The view in the command route and as the template's view.
class CMainFrame::ViewCommands : public CommandTarget, public ViewBase {
public:
    explicit ViewCommands(COrvaneView* view) : view_(view) {}
    bool OnCommand(unsigned id) override { return view_->OnCommand(static_cast<int>(id)); }
    bool OnUpdateCommand(unsigned id, CommandState&) override {
        return id == ID_VIEW_NEXT || id == ID_VIEW_PREVIOUS || id == ID_TOOLS_REFRESH;
    }
    void OnInitialUpdate() override { view_->OnInitialUpdate(); }

private:
    COrvaneView* view_;
};

CMainFrame::CMainFrame(COrvaneApp* app, CDocument* document) : app_(app), document_(document) {
    setWindowTitle(kProgram);
    setWindowIcon(MakeTreeIcon(kIconAccount));
    view_ = new COrvaneView(app, this);
    setCentralWidget(view_);
    viewBase_ = std::make_unique<ViewCommands>(view_);
    router_.SetRoute([this]() -> std::vector<CommandTarget*> {
        return {viewBase_.get(), document_, this, app_};
    });
    BuildMenuBar(menuBar(), MainMenu(), &router_);
    InstallAccelerators(this, MainAccelerators(), &router_);

    statusBar()->setObjectName("statusBar");
    messagePane_ = new QLabel("Ready", this);
    statusBar()->addWidget(messagePane_, 1);
    for (const char* key : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(this);
        pane->setObjectName(key);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(key) + 8);
        statusBar()->addPermanentWidget(pane);
        keyPanes_.push_back(pane);
    }
    // The lock keys change outside the program too: their panes follow the indicators.
    auto* keyTimer = new QTimer(this);
    connect(keyTimer, &QTimer::timeout, this, [this] { UpdateKeyPanes(); });
    keyTimer->start(250);
    UpdateKeyPanes();

    target_ = std::make_unique<WindowTarget>(this, [this](platform::messages::AppMessage message, std::uint64_t,
                                                          std::int64_t) {
        if (message == platform::messages::WM_APP_ACCOUNTS_CHANGED) RebuildNewEventMenu();
    });
    if (app_ != nullptr) {
        app_->SetMainFrameTarget(Target());
        app_->SetLook(StoredLook());
    }
    RebuildNewEventMenu();
    BuildTimeZoneMenu();
    const QByteArray geometry = ReadProfileBinary(kProgram, "MainFrameGeometry");
    if (geometry.isEmpty() || !restoreGeometry(geometry)) resize(1100, 760);
}

ViewBase* CMainFrame::ViewForTemplate() { return viewBase_.get(); }

CMainFrame::~CMainFrame() {
    if (app_ != nullptr && app_->MainFrameTarget() == Target()) app_->SetMainFrameTarget(platform::messages::kNoTarget);
    target_.reset();
}

void CMainFrame::UpdateKeyPanes() {
    const LockKeyStates states = ReadLockKeys();
    const bool on[] = {states.caps, states.num, states.scroll};
    const char* names[] = {"CAP", "NUM", "SCRL"};
    for (size_t i = 0; i < keyPanes_.size() && i < 3; ++i) keyPanes_[i]->setText(on[i] ? names[i] : "");
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    (void)WriteProfileBinary(kProgram, "MainFrameGeometry", saveGeometry());
    QMainWindow::closeEvent(event);
}

QMenu* CMainFrame::FileMenu() const {
    const QList<QAction*> menus = menuBar()->actions();
    return menus.size() > 0 ? menus[0]->menu() : nullptr;
}

QMenu* CMainFrame::ViewMenu() const {
    const QList<QAction*> menus = menuBar()->actions();
    return menus.size() > 2 ? menus[2]->menu() : nullptr;
}

QMenu* CMainFrame::TimeZoneMenu() const {
    QMenu* view = ViewMenu();
    if (view == nullptr) return nullptr;
    const QList<QAction*> entries = view->actions();
    return entries.size() > 3 ? entries[3]->menu() : nullptr;
}

QAction* CMainFrame::NewEventEntry() const {
    QMenu* file = FileMenu();
    return file != nullptr && !file->actions().isEmpty() ? file->actions().first() : nullptr;
}

void CMainFrame::RebuildNewEventMenu() {
    QAction* entry = NewEventEntry();
    if (entry == nullptr) return;
    if (accountsMenu_ != nullptr) {
        entry->setMenu(static_cast<QMenu*>(nullptr));
        delete accountsMenu_;
        accountsMenu_ = nullptr;
    }
    ROrvaneAccountManager* accounts = app_ != nullptr ? app_->AccountManager() : nullptr;
    const int n = accounts != nullptr ? accounts->GetAccountCount() : 0;
    entry->setText("&New Event\tCtrl+N");
    entry->setData(ID_NEW_EVENT);
    if (n < 2) return;
    accountsMenu_ = new QMenu(FileMenu());
    for (int i = 0; i < n && static_cast<unsigned>(i) < kMaxAccountEntries; ++i) {
        RRef<ROrvaneAccount> account = accounts->GetAccountAt(i);
        if (!account) continue;
        (void)AddCommand(accountsMenu_, ID_NEW_EVENT_ACCOUNT_FIRST + static_cast<unsigned>(i),
                         MenuLiteral(ToQString(account->GetDescription())), &router_);
    }
    QObject::connect(accountsMenu_, &QMenu::aboutToShow, accountsMenu_,
                     [this] { UpdateMenuStates(accountsMenu_, router_); });
    entry->setMenu(accountsMenu_);
}

void CMainFrame::OnNewEventInAccount(unsigned id) {
    if (app_ == nullptr || app_->AccountManager() == nullptr) return;
    RRef<ROrvaneAccount> account = app_->AccountManager()->GetAccountAt(static_cast<int>(id - ID_NEW_EVENT_ACCOUNT_FIRST));
    app_->NewEventInAccount(account.get());
}

void CMainFrame::BuildTimeZoneMenu() {
    QMenu* zones = TimeZoneMenu();
    if (zones == nullptr) return;
    const CStringW setting = ReadTimeZoneSetting();
    checkedZone_ = setting.IsEmpty() ? ID_ZONE_SYSTEM : 0;
    if (checkedZone_ == ID_ZONE_SYSTEM) {
        for (QAction* entry : zones->actions()) {
            if (!entry->isSeparator() && entry->data().toUInt() == ID_ZONE_SYSTEM) SetDefaultEntry(entry, true);
        }
    }
    if (ZoneCount() == 0) LoadTimeZones();
    const unsigned count = ZoneCount();
    CStringW key, display;
    for (unsigned i = 0; i < count; ++i) {
        if (GetTimeZoneAt(static_cast<int>(i), &key, nullptr, &display, nullptr) != R_OK) break;
        QAction* entry = AddCommand(zones, ID_ZONE_FIRST + i, MenuLiteral(ToQString(display)), &router_);
        if (!setting.IsEmpty() && checkedZone_ == 0 && key.CompareNoCase(setting) == 0) {
            checkedZone_ = ID_ZONE_FIRST + i;
            SetDefaultEntry(entry, true);
        }
    }
    UpdateMenuStates(zones, router_);
}

void CMainFrame::OnTimeZone(unsigned id) {
    QMenu* zones = TimeZoneMenu();
    if (zones == nullptr) return;
    for (QAction* entry : zones->actions()) SetDefaultEntry(entry, false);
    QAction* chosen = nullptr;
    for (QAction* entry : zones->actions()) {
        if (!entry->isSeparator() && entry->data().toUInt() == id) chosen = entry;
    }
    CStringW key;
    if (id != ID_ZONE_SYSTEM && chosen != nullptr) {
        // The entry shows the display name with its '&' doubled; the zone is found by the name.
        if (FindTimeZoneByDisplay(ToCStringW(MenuPlainText(chosen->text())), &key) != R_OK) key = CStringW();
    }
    (void)WriteTimeZoneSetting(key);
    checkedZone_ = id;
    if (chosen != nullptr) SetDefaultEntry(chosen, true);
    UpdateMenuStates(zones, router_);
    // The month shows its items in the new zone at once.
    if (view_ != nullptr && view_->MonthView() != nullptr) {
        CStringW zoneKey, olsonId;
        GetCurrentTimeZone(&zoneKey, &olsonId);
        (void)view_->MonthView()->SetTimeZone(olsonId);
        (void)view_->MonthView()->Draw(view_->MonthView()->DisplayedDate(), true);
        if (view_->MonthHost() != nullptr) view_->MonthHost()->update();
    }
    update();
}

void CMainFrame::ApplyLook(int id) {
    const bool classic = id == 205 || id == 206 || id == 207;
    QStyle* style = QStyleFactory::create(classic ? "Windows" : "Fusion");
    if (style == nullptr) return;
    const QPalette palette = classic ? style->standardPalette() : LookPalette(id);
    QApplication::setStyle(style);
    QApplication::setPalette(palette);
}

int CMainFrame::StoredLook() { return ReadProfileInt(kProgram, "ApplicationLook", kDefaultLook); }

void CMainFrame::OnApplicationLook(unsigned id) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ApplyLook(static_cast<int>(id));
    if (app_ != nullptr) app_->SetLook(static_cast<int>(id));
    (void)WriteProfileInt(kProgram, "ApplicationLook", static_cast<int>(id));
    update();
    QApplication::restoreOverrideCursor();
}

bool CMainFrame::OnUpdateCommand(unsigned id, CommandState& state) {
    if (id >= ID_LOOK_FIRST && id <= ID_LOOK_LAST) {
        state.radio = true;
        state.checked = app_ != nullptr && app_->Look() == static_cast<int>(id);
        return true;
    }
    if (id == ID_ZONE_SYSTEM || (id >= ID_ZONE_FIRST && id <= ID_ZONE_LAST)) {
        state.checked = id == checkedZone_;
        return true;
    }
    if (id >= ID_NEW_EVENT_ACCOUNT_FIRST && id < ID_NEW_EVENT_ACCOUNT_FIRST + kMaxAccountEntries) {
        ROrvaneAccountManager* accounts = app_ != nullptr ? app_->AccountManager() : nullptr;
        if (accounts == nullptr || static_cast<int>(id - ID_NEW_EVENT_ACCOUNT_FIRST) >= accounts->GetAccountCount()) {
            return false;
        }
        // An account without a calendar to write into (the subscriptions) offers no new event.
        RRef<ROrvaneAccount> account = accounts->GetAccountAt(static_cast<int>(id - ID_NEW_EVENT_ACCOUNT_FIRST));
        state.enabled = COrvaneApp::TakesNewEvents(account.get());
        return true;
    }
    return id == ID_NEXT_PANE || id == ID_PREV_PANE;
}

bool CMainFrame::OnCommand(unsigned id) {
    if (id >= ID_LOOK_FIRST && id <= ID_LOOK_LAST) {
        OnApplicationLook(id);
        return true;
    }
    if (id == ID_ZONE_SYSTEM || (id >= ID_ZONE_FIRST && id <= ID_ZONE_LAST)) {
        OnTimeZone(id);
        return true;
    }
    if (id >= ID_NEW_EVENT_ACCOUNT_FIRST && id < ID_NEW_EVENT_ACCOUNT_FIRST + kMaxAccountEntries) {
        OnNewEventInAccount(id);
        return true;
    }
    if (id == ID_NEXT_PANE || id == ID_PREV_PANE) {
        // Moves the keyboard focus between the calendar tree and the month.
        if (view_ != nullptr && view_->Tree() != nullptr && view_->MonthHost() != nullptr) {
            QWidget* tree = view_->Tree()->Tree();
            if (tree->hasFocus()) {
                view_->MonthHost()->setFocus();
            } else {
                tree->setFocus();
            }
        }
        return true;
    }
    return false;
}
