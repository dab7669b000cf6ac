#include "ui/view/COrvaneView.h"

#include <QContextMenuEvent>
#include <QShortcut>
#include <vector>

#include "foundation/debug/DebugTrace.h"
#include "ical/timezone/ZoneConversions.h"
#include "platform/ui/ContextMenus.h"
#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/app/COrvaneApp.h"
#include "ui/view/TreeIcons.h"

using platform::messages::AppMessage;
using platform::ui::ToQString;

COrvaneView::COrvaneView(COrvaneApp* app, QWidget* parent) : QWidget(parent), app_(app) {
    target_ = std::make_unique<platform::ui::WindowTarget>(
        this, [this](AppMessage message, std::uint64_t, std::int64_t) { OnAppMessage(message); });
    if (parent == nullptr) {
        // A view of its own window takes Ctrl+R itself; inside the main window the window's
        // accelerators route it here.
        auto* refresh = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
        connect(refresh, &QShortcut::activated, this, [this] { OnCommand(kRefreshCommand); });
    }
}

COrvaneView::~COrvaneView() {
    if (app_ != nullptr) app_->UnregisterView(this);
    target_.reset();
    monthView_ = nullptr;
}

void COrvaneView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OnInitialUpdate();
}

void COrvaneView::OnInitialUpdate() {
    if (initialised_) return;
    initialised_ = true;
    if (app_ != nullptr) app_->RegisterView(this);
    ROrvaneDataManager* dataManager = app_ != nullptr ? app_->DataManager() : nullptr;
    ROrvaneAccountManager* accountManager = app_ != nullptr ? app_->AccountManager() : nullptr;

    CStringW zoneKey, olsonId;
    GetCurrentTimeZone(&zoneKey, &olsonId);

    monthHost_ = new RContentPlaceHolderWnd(this);
    monthHost_->setGeometry(kLeftPaneWidth, 0, std::max(0, width() - kLeftPaneWidth), height());
    monthHost_->commandForward = [this](int id) { OnHostCommand(id); };
    monthHost_->contextMenuForward = [this](int x, int y) { ShowContextMenu(x, y); };
    monthHost_->doubleClickForward = [this](Qt::KeyboardModifiers flags, int x, int y) { EditItemAt(flags, x, y); };
    monthHost_->show();
    monthView_ = RRef<ROrvaneMonthView>::Adopt(new ROrvaneMonthView);
    (void)monthView_->Init(monthHost_, olsonId, dataManager, accountManager);
    monthView_->SetEditEntry([app = app_](ROrvaneCalendarItem* item) {
        if (app != nullptr && app->editEventEntry) app->editEventEntry(item);
    });

    imageList_.Bullets().Reset();
    leftPane_ = new RStaticPlaceHolder(this);
    leftPane_->setGeometry(0, 0, kLeftPaneWidth, height());
    tree_ = new CColumnTreeCtrl(leftPane_);
    tree_->setGeometry(0, 0, kLeftPaneWidth, height());
    for (int id = kIconAccount; id <= kIconBlank; ++id) {
        const int index = imageList_.Add(MakeTreeIcon(id));
        if (id == kIconAccount) accountIcon_ = index;
        if (id == kIconError) errorIcon_ = index;
        if (id == kIconRefreshing) refreshingIcon_ = index;
    }
    tree_->Tree()->setIconSize(QSize(16, 16));
    tree_->Tree()->setRootIsDecorated(true);
    tree_->InsertCalendarColumn();
    connect(tree_->Tree()->Model(), &CheckReportingModel::userCheckStateChanged, this,
            [this](QStandardItem* item, bool checked) { OnUserCheck(item, checked); });
    connect(tree_->Tree(), &CCustomTreeChildCtrl::keyPressed, this, [this](int key) { OnTreeKey(key); });
    leftPane_->show();
    tree_->show();

    PopulateCalendarTree();
    if (accountManager != nullptr) {
        for (int i = 0; i < accountManager->GetAccountCount(); ++i) {
            if (RRef<ROrvaneAccount> account = accountManager->GetAccountAt(i)) (void)account->StartRefresh(Target());
        }
    }
    UpdateTreeIcons();
    const RDateTime* today = GetCurrentLocalDateTime();
    if (today != nullptr) (void)monthView_->Draw(*today, false);
}

QStandardItem* COrvaneView::AddTreeItem(QStandardItem* parent, const QString& text, int image, int data, bool checked) {
    auto* item = new QStandardItem(imageList_.Icon(image), text);
    item->setData(image, kImageIndexRole);
    item->setData(data, kItemDataRole);
    item->setEditable(false);
    item->setCheckable(true);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    if (parent != nullptr) {
        parent->appendRow(item);
    } else {
        tree_->Tree()->Model()->appendRow(item);
    }
    return item;
}

void COrvaneView::PopulateCalendarTree() {
    if (tree_ == nullptr) return;
    CheckReportingModel* model = tree_->Tree()->Model();
    model->removeRows(0, model->rowCount());
    ROrvaneDataManager* store = app_ != nullptr ? app_->DataManager() : nullptr;
    if (store == nullptr) return;
    try {
        const int accounts = store->GetAccountCount();
        for (int i = 0; i < accounts; ++i) {
            AccountRecord account;
            if (store->GetAccount(i, &account) != R_OK) continue;
            QStandardItem* accountItem = AddTreeItem(nullptr, ToQString(account.description), accountIcon_, i,
                                                     account.enabled != 0);
            const int n = store->GetCalendarCount(account.guid);
            std::vector<CalendarRecord> calendars(static_cast<size_t>(std::max(n, 0)));
            std::vector<bool> readable(calendars.size(), false), placed(calendars.size(), false);
            std::vector<int> byOrder(calendars.size(), -1);
            for (int c = 0; c < n; ++c) {
                CalendarRecord& calendar = calendars[static_cast<size_t>(c)];
                if (store->GetCalendar(account.guid, c, &calendar) != R_OK || !store->IsEventCalendar(calendar)) continue;
                readable[static_cast<size_t>(c)] = true;
                const int order = calendar.calendarOrder;
                if (order >= 0 && order < n) byOrder[static_cast<size_t>(order)] = c;
            }
            auto addCalendar = [&](int c) {
                const CalendarRecord& calendar = calendars[static_cast<size_t>(c)];
                const CStringW colour = CStringW::FromUtf8(calendar.rgbValue.AsView());
                int image = imageList_.FindBulletImageIndex(colour);
                if (image < 0) image = imageList_.GetBulletImageIndex(colour);
                AddTreeItem(accountItem, ToQString(calendar.displayName), image, c, calendar.enabled != 0);
                placed[static_cast<size_t>(c)] = true;
            };
            for (int order = 0; order < n; ++order) {
                const int c = byOrder[static_cast<size_t>(order)];
                if (c >= 0) addCalendar(c);
            }
            // Calendars without a usable order (none, out of range, or taken by another) follow
            // in store order, so every readable event calendar has its item.
            for (int c = 0; c < n; ++c) {
                if (readable[static_cast<size_t>(c)] && !placed[static_cast<size_t>(c)]) addCalendar(c);
            }
            tree_->Tree()->expand(accountItem->index());
        }
    } catch (...) {
        DebugTrace("COrvaneView::PopulateCalendarTree - the store could not be read\n");
    }
}

void COrvaneView::UpdateTreeIcons() {
    if (tree_ == nullptr || app_ == nullptr || app_->DataManager() == nullptr || app_->AccountManager() == nullptr) return;
    CheckReportingModel* model = tree_->Tree()->Model();
    try {
        const int accounts = app_->DataManager()->GetAccountCount();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStandardItem* item = model->item(row);
            const int d = item->data(kItemDataRole).toInt();
            AccountRecord record;
            if (d < 0 || d >= accounts || app_->DataManager()->GetAccount(d, &record) != R_OK) continue;
            RRef<ROrvaneAccount> account = app_->AccountManager()->FindAccountByGuid(record.guid);
            if (!account) continue;
            int image = -1;
            if (account->IsRefreshing()) {
                image = refreshingIcon_;
            } else if (account->GetLastResult() != 0) {
                image = errorIcon_;
            }
            if (image >= 0) {
                item->setIcon(imageList_.Icon(image));
                item->setData(image, kImageIndexRole);
            }
        }
    } catch (...) {
        DebugTrace("COrvaneView::UpdateTreeIcons - the store could not be read\n");
    }
    tree_->Tree()->viewport()->update();
}

void COrvaneView::ReloadMonth() {
    if (!monthView_) return;
    // Data changed under the month the user is looking at: only start-up, Today and the
    // navigation choose another one.
    const RDateTime shown = monthView_->DisplayedDate();
    (void)monthView_->Draw(shown, true);
    monthHost_->update();
}

void COrvaneView::OnAppMessage(AppMessage message) {
    switch (message) {
        case platform::messages::WM_APP_DATA_CHANGED:
            PopulateCalendarTree();
            UpdateTreeIcons();
            ReloadMonth();
            break;
        case platform::messages::WM_APP_CALENDARS_CHANGED:
            PopulateCalendarTree();
            UpdateTreeIcons();
            break;
        case platform::messages::WM_APP_SYNC_PROGRESS:
            UpdateTreeIcons();
            ReloadMonth();
            break;
        default:
            break;
    }
}

void COrvaneView::LayoutPanes() {
    if (!initialised_) return;
    const int paneWidth = leftPane_->width();
    leftPane_->resize(paneWidth, height());
    tree_->resize(paneWidth, height());
    monthHost_->setGeometry(monthHost_->x(), monthHost_->y(), std::max(0, width() - paneWidth), height());
    if (monthView_) {
        monthView_->PlaceButtons();
        (void)monthView_->Draw(monthView_->DisplayedDate(), false);
    }
}

void COrvaneView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutPanes();
}

void COrvaneView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && monthView_) (void)monthView_->ReDraw();
}

void COrvaneView::contextMenuEvent(QContextMenuEvent* event) {
    ShowContextMenu(event->globalPos().x(), event->globalPos().y());
}

void COrvaneView::ShowContextMenu(int screenX, int screenY) {
    (void)platform::ui::ShowContextMenu(ROrvaneMonthView::kEditMenu, QPoint(screenX, screenY), this,
                                        [](unsigned) { return false; });
}

void COrvaneView::EditItemAt(Qt::KeyboardModifiers, int x, int y) {
    if (monthView_) (void)monthView_->EditItemAt(x, y);
}

void COrvaneView::OnHostCommand(int id) {
    if (!monthView_) return;
    switch (id) {
        case ROrvaneMonthView::kNextButton: (void)monthView_->NextMonth(); break;
        case ROrvaneMonthView::kPreviousButton: (void)monthView_->PreviousMonth(); break;
        case ROrvaneMonthView::kTodayButton: (void)monthView_->ShowToday(); break;
        default: break;
    }
}

bool COrvaneView::OnCommand(int id) {
    switch (id) {
        case kNextCommand: OnHostCommand(ROrvaneMonthView::kNextButton); return true;
        case kPreviousCommand: OnHostCommand(ROrvaneMonthView::kPreviousButton); return true;
        case ROrvaneMonthView::kNextButton:
        case ROrvaneMonthView::kPreviousButton:
        case ROrvaneMonthView::kTodayButton: OnHostCommand(id); return true;
        case kRefreshCommand: Refresh(); return true;
        default: return false;
    }
}

void COrvaneView::Refresh() {
    if (!monthView_ || tree_ == nullptr || app_ == nullptr || !app_->DataManager() || !app_->AccountManager()) return;
    COrvaneView* first = app_->GetView(0);
    const platform::messages::TargetId target = first != nullptr ? first->Target() : Target();
    CheckReportingModel* model = tree_->Tree()->Model();
    try {
        const int accounts = app_->DataManager()->GetAccountCount();
        for (int row = 0; row < model->rowCount(); ++row) {
            const int d = model->item(row)->data(kItemDataRole).toInt();
            AccountRecord record;
            if (d < 0 || d >= accounts || app_->DataManager()->GetAccount(d, &record) != R_OK) continue;
            RRef<ROrvaneAccount> account = app_->AccountManager()->FindAccountByGuid(record.guid);
            if (account && !account->IsRefreshing()) (void)account->StartRefresh(target);
        }
    } catch (...) {
        DebugTrace("COrvaneView::Refresh - the store could not be read\n");
    }
    UpdateTreeIcons();
}

void COrvaneView::OnUserCheck(QStandardItem* item, bool checked) {
    const int data = item->data(kItemDataRole).toInt();
    if (QStandardItem* parent = item->parent()) {
        SetCalendarShown(parent->data(kItemDataRole).toInt(), data, checked);
    } else {
        SetAccountShown(data, checked);
    }
}

void COrvaneView::OnTreeKey(int key) {
    if (key != Qt::Key_Delete && key != Qt::Key_Backspace) return;
    const QModelIndex current = tree_->Tree()->currentIndex();
    QStandardItem* item = current.isValid() ? tree_->Tree()->Model()->itemFromIndex(current) : nullptr;
    if (item == nullptr || item->parent() == nullptr) return;
    RemoveSubscription(item->parent()->data(kItemDataRole).toInt(), item->data(kItemDataRole).toInt());
}

void COrvaneView::SetAccountShown(int accountIndex, bool shown) {
    if (app_ == nullptr || !app_->DataManager()) return;
    AccountRecord record;
    if (app_->DataManager()->GetAccount(accountIndex, &record) != R_OK) return;
    if (app_->AccountManager() != nullptr) {
        if (RRef<ROrvaneAccount> account = app_->AccountManager()->FindAccountByGuid(record.guid)) {
            (void)account->SetEnabled(shown ? 1 : 0);
        }
    }
    if (!monthView_) return;
    // The range query loads enabled accounts only: an account switched on needs its rows loaded.
    if (shown) {
        (void)monthView_->Draw(monthView_->DisplayedDate(), true);
    } else {
        (void)monthView_->ReDraw();
    }
}

void COrvaneView::SetCalendarShown(int accountIndex, int calendarIndex, bool shown) {
    if (app_ == nullptr || !app_->DataManager() || !app_->AccountManager()) return;
    AccountRecord account;
    CalendarRecord calendar;
    if (app_->DataManager()->GetAccount(accountIndex, &account) != R_OK) return;
    RRef<ROrvaneAccount> owner = app_->AccountManager()->FindAccountByGuid(account.guid);
    if (!owner || app_->DataManager()->GetCalendar(account.guid, calendarIndex, &calendar) != R_OK) return;
    RRef<ROrvaneCalendar> object = owner->FindCalendarByGuid(calendar.guid);
    if (!object) return;
    object->SetEnabled(shown ? 1 : 0);
    if (monthView_) (void)monthView_->ReDraw();
}

void COrvaneView::RemoveSubscription(int accountIndex, int calendarIndex) {
    if (app_ == nullptr || !app_->DataManager()) return;
    ROrvaneDataManager* store = app_->DataManager();
    AccountRecord account;
    CalendarRecord calendar;
    if (store->GetAccount(accountIndex, &account) != R_OK || account.guid != kSubscriptionsGuid) return;
    if (store->GetCalendar(account.guid, calendarIndex, &calendar) != R_OK) return;
    RConfirmationDialog& confirm = app_->ConfirmationDialog();
    confirm.SetText(CStringW(u"Remove Subscription"),
                    platform::ui::ToCStringW(platform::ui::FillTemplate("Do you want to remove the subscription '%s'?",
                                                                        {ToQString(calendar.displayName)})));
    if (confirm.DoModal(this) != platform::ui::IDOK) return;
    COrvaneView* first = app_->GetView(0);
    const platform::messages::TargetId target = first != nullptr ? first->Target() : Target();
    ROrvaneAccountManager* accounts = app_->AccountManager();
    if (store->GetCalendarCount(account.guid) == 1) {
        // The last subscription goes with its account: row and object.
        if (accounts != nullptr) {
            (void)accounts->DeleteAccount(account.guid);
        } else {
            (void)store->DeleteAccount(account.guid);
        }
        // The main window keeps the New Event entry that lists the accounts.
        (void)platform::messages::PostAppMessage(app_->MainFrameTarget(), platform::messages::WM_APP_ACCOUNTS_CHANGED,
                                                 0, 0);
    } else {
        RRef<ROrvaneAccount> owner = accounts != nullptr ? accounts->FindAccountByGuid(account.guid) : nullptr;
        if (owner) {
            (void)owner->RemoveCalendar(calendar);
        } else {
            (void)store->DeleteCalendar(account.guid, calendar);
        }
    }
    platform::messages::PostAppMessage(target, platform::messages::WM_APP_DATA_CHANGED,
                                       0, 0);
}
