#include "ui/accounts/CAccountsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <functional>

#include "dav/discovery/Discovery.h"
#include "platform/messages/MessageTargets.h"
#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "ui/app/COrvaneApp.h"
#include "ui/view/COrvaneView.h"

using platform::ui::ToCStringA;
using platform::ui::ToQString;

namespace {

constexpr int kGuidRole = Qt::UserRole;

// Runs a handler when a field loses the keyboard focus.
class FocusLossFilter : public QObject {
public:
    FocusLossFilter(QObject* parent, std::function<void()> handler) : QObject(parent), handler_(std::move(handler)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && handler_) handler_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> handler_;
};

// A dialog that lets its focused field commit before it closes.
class CommittingDialog : public QDialog {
public:
    using QDialog::QDialog;
    std::function<void()> beforeClose;
    void done(int result) override {
        if (beforeClose) beforeClose();
        QDialog::done(result);
    }
};


}  // namespace

struct CAccountsDialog::Controls {
    QDialog* dialog = nullptr;
    QListWidget* list = nullptr;
    QLineEdit* description = nullptr;
    QLineEdit* userName = nullptr;
    QLineEdit* password = nullptr;
    QComboBox* refresh = nullptr;
    QCheckBox* advanced = nullptr;
    QLineEdit* url = nullptr;
    QCheckBox* separateWindow = nullptr;
};

CAccountsDialog::CAccountsDialog(COrvaneApp* app) : app_(app) {}

int CAccountsDialog::MinutesForPosition(int position) {
    switch (position) {
        case 0: return 1;
        case 1: return 5;
        case 2: return 15;
        case 3: return 30;
        case 4: return 60;
        case 5: return 1440;
        default: return 0;  // "Manually" or nothing chosen
    }
}

int CAccountsDialog::PositionForMinutes(int minutes) {
    if (minutes <= 0) return 6;  // refreshed by hand only
    if (minutes == 1) return 0;
    if (minutes <= 5) return 1;
    if (minutes <= 15) return 2;
    if (minutes <= 30) return 3;
    if (minutes <= 60) return 4;
    return 5;
}

int CAccountsDialog::DoModal(QWidget* parent) {
    CommittingDialog dialog(parent);
    Controls controls;
    controls.dialog = &dialog;
    controls_ = &controls;
    additionPending_ = false;
    BuildWindow(dialog);
    dialog.beforeClose = [this, &dialog] {
        if (controls_ == nullptr) return;
        QWidget* focused = dialog.focusWidget();
        if (focused == controls_->description) OnDescriptionKillFocus();
        if (focused == controls_->userName || focused == controls_->password) ApplyChanges();
        if (focused == controls_->url) OnUrlKillFocus();
    };
    ClearFields();
    if (ROrvaneAccountManager* accounts = app_ != nullptr ? app_->AccountManager() : nullptr) {
        for (int i = 0; i < accounts->GetAccountCount(); ++i) {
            RRef<ROrvaneAccount> account = accounts->GetAccountAt(i);
            if (!account) continue;
            auto* entry = new QListWidgetItem(ToQString(account->GetDescription()), controls.list);
            entry->setData(kGuidRole, ToQString(account->GetGuid()));
        }
    }
    unfound_.clear();
    const int result = platform::ui::RunModal(dialog);
    dialog.beforeClose = nullptr;
    controls_ = nullptr;
    ReportUnfoundServers(parent);
    return result;
}

void CAccountsDialog::BuildWindow(QDialog& dialog) {
    Controls& c = *controls_;
    dialog.setWindowTitle("Accounts");
    auto* grid = new QGridLayout(&dialog);
    c.list = new QListWidget(&dialog);
    c.list->setObjectName(kList);
    c.list->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->addWidget(c.list, 0, 0, 7, 1);
    auto* add = new QPushButton("+", &dialog);
    add->setObjectName(kAdd);
    add->setAutoDefault(false);
    auto* remove = new QPushButton("-", &dialog);
    remove->setObjectName(kRemove);
    remove->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    grid->addLayout(buttons, 7, 0);

    auto row = [&](int at, const char* text, QWidget* field) {
        auto* label = new QLabel(text, &dialog);
        label->setTextFormat(Qt::PlainText);
        grid->addWidget(label, at, 1);
        grid->addWidget(field, at, 2);
    };
    c.description = new QLineEdit(&dialog);
    c.description->setObjectName(kDescription);
    c.userName = new QLineEdit(&dialog);
    c.userName->setObjectName(kUserName);
    c.password = new QLineEdit(&dialog);
    c.password->setObjectName(kPassword);
    c.password->setEchoMode(QLineEdit::Password);
    c.refresh = new QComboBox(&dialog);
    c.refresh->setObjectName(kRefresh);
    c.refresh->addItems({"1 minute", "5 minutes", "15 minutes", "30 minutes", "1 hour", "Daily", "Manually"});
    c.advanced = new QCheckBox("Advanced Settings", &dialog);
    c.advanced->setObjectName(kAdvanced);
    c.url = new QLineEdit(&dialog);
    c.url->setObjectName(kUrl);
    c.separateWindow = new QCheckBox("Show In Separate Window", &dialog);
    c.separateWindow->setObjectName(kSeparateWindow);
    c.separateWindow->hide();
    row(0, "Description:", c.description);
    row(1, "Username:", c.userName);
    row(2, "Password:", c.password);
    row(3, "Refresh:", c.refresh);
    grid->addWidget(c.advanced, 4, 2);
    row(5, "Account URL:", c.url);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    grid->addWidget(ok, 7, 2, Qt::AlignRight);
    dialog.resize(548, 310);

    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(platform::ui::IDOK); });
    QObject::connect(add, &QPushButton::clicked, &dialog, [this] { OnAdd(); });
    QObject::connect(remove, &QPushButton::clicked, &dialog, [this] { OnRemove(); });
    QObject::connect(c.list, &QListWidget::itemSelectionChanged, &dialog, [this] { OnSelChange(); });
    QObject::connect(c.refresh, QOverload<int>::of(&QComboBox::activated), &dialog, [this] { OnRefreshChange(); });
    QObject::connect(c.advanced, &QCheckBox::clicked, &dialog, [this] { OnAdvanced(); });
    // Fields also lose the focus while the closed window is taken down: only a running dialog commits.
    c.description->installEventFilter(new FocusLossFilter(&dialog, [this] {
        if (controls_ != nullptr) OnDescriptionKillFocus();
    }));
    auto* credentials = new FocusLossFilter(&dialog, [this] {
        if (controls_ != nullptr) ApplyChanges();
    });
    c.userName->installEventFilter(credentials);
    c.password->installEventFilter(credentials);
    c.url->installEventFilter(new FocusLossFilter(&dialog, [this] {
        if (controls_ != nullptr) OnUrlKillFocus();
    }));
}

void CAccountsDialog::ClearFields() {
    Controls& c = *controls_;
    {
        const QSignalBlocker block(c.list);
        c.list->clearSelection();
        c.list->setCurrentRow(-1);
    }
    for (QLineEdit* field : {c.description, c.userName, c.password, c.url}) {
        field->clear();
        field->setEnabled(false);
    }
    c.refresh->setCurrentIndex(2);
    c.refresh->setEnabled(false);
    c.advanced->setChecked(false);
    c.separateWindow->setChecked(false);
    c.separateWindow->setEnabled(false);
}

void CAccountsDialog::OnAdd() {
    Controls& c = *controls_;
    additionPending_ = true;
    ClearFields();
    for (QWidget* field : std::initializer_list<QWidget*>{c.description, c.userName, c.password, c.refresh}) {
        field->setEnabled(true);
    }
    c.description->setFocus();
    c.description->selectAll();
}

RRef<ROrvaneAccount> CAccountsDialog::SelectedAccount() {
    Controls& c = *controls_;
    QListWidgetItem* entry = c.list->currentItem();
    if (entry == nullptr || !entry->isSelected() || app_ == nullptr || app_->AccountManager() == nullptr) return nullptr;
    const QString guid = entry->data(kGuidRole).toString();
    if (guid.isEmpty()) return nullptr;
    return app_->AccountManager()->FindAccountByGuid(guid.toUtf8().constData());
}

void CAccountsDialog::OnDescriptionKillFocus() {
    Controls& c = *controls_;
    if (!additionPending_ || (c.list->currentItem() != nullptr && c.list->currentItem()->isSelected())) return;
    if (c.description->text().trimmed().isEmpty()) return;
    const QSignalBlocker block(c.list);
    auto* entry = new QListWidgetItem(c.description->text().trimmed(), c.list);
    c.list->setCurrentItem(entry);
    entry->setSelected(true);
}

void CAccountsDialog::ApplyChanges() {
    Controls& c = *controls_;
    QString description = c.description->text();
    while (!description.isEmpty() && description.front().isSpace()) description.remove(0, 1);
    const QString userName = c.userName->text(), password = c.password->text(), url = c.url->text();
    if (description.isEmpty() || userName.isEmpty() || password.isEmpty()) return;
    ROrvaneAccountManager* accounts = app_ != nullptr ? app_->AccountManager() : nullptr;
    if (accounts == nullptr) return;

    RRef<ROrvaneAccount> account;
    bool changed = false;
    const bool adding = additionPending_;
    if (additionPending_) {
        additionPending_ = false;
        account = accounts->CreateAccount(ToCStringA(description), ToCStringA(userName), ToCStringA(password));
        if (account) {
            (void)account->SetRefreshInterval(MinutesForPosition(c.refresh->currentIndex()));
            if (!url.isEmpty() && c.advanced->isChecked()) (void)account->SetAddress(ToCStringA(url));
            QListWidgetItem* entry = c.list->currentItem();
            if (entry == nullptr || !entry->isSelected()) {
                const QSignalBlocker block(c.list);
                entry = new QListWidgetItem(description, c.list);
                c.list->setCurrentItem(entry);
                entry->setSelected(true);
            }
            entry->setData(kGuidRole, ToQString(account->GetGuid()));
            changed = true;
            PostAccountsChanged();
        }
    } else {
        account = SelectedAccount();
        if (!account) return;
        if (account->GetUserName() != ToCStringA(userName)) {
            (void)account->SetUserName(ToCStringA(userName));
            changed = true;
        }
        if (account->GetPassword() != ToCStringA(password)) {
            (void)account->SetPassword(ToCStringA(password));
            changed = true;
        }
        if (account->GetAddress() != ToCStringA(url)) {
            (void)account->SetAddress(ToCStringA(url));
            changed = true;
        }
    }
    if (!changed || !account) return;
    const CStringA guid = account->GetGuid();
    if (!url.isEmpty()) {
        unfound_.erase(std::remove(unfound_.begin(), unfound_.end(), guid), unfound_.end());
    } else if (adding && account->GetDiscoveryResult() != 0) {
        // Nothing to refresh against: the user learns why when the dialog closes, unless an
        // address is given under Advanced Settings first.
        unfound_.push_back(guid);
        return;
    }
    if (IsValidMailAddress(ToCStringA(userName)) || !url.isEmpty()) {
        COrvaneView* view = app_->GetView(0);
        (void)account->StartRefresh(view != nullptr ? view->Target() : platform::messages::kNoTarget);
    }
}

void CAccountsDialog::OnSelChange() {
    Controls& c = *controls_;
    QListWidgetItem* entry = c.list->currentItem();
    if (entry == nullptr || !entry->isSelected()) return;
    // Choosing an account ends an addition that was not committed.
    additionPending_ = false;
    RRef<ROrvaneAccount> account = SelectedAccount();
    if (!account) return;
    const AccountRecord record = account->GetRecord();
    c.description->setText(ToQString(record.description));
    c.userName->setText(ToQString(record.username));
    c.password->setText(ToQString(account->GetPassword()));
    c.refresh->setCurrentIndex(PositionForMinutes(record.refreshInterval));
    c.advanced->setChecked(false);
    c.url->setText(ToQString(record.address));
    c.url->setEnabled(false);
    for (QWidget* field : std::initializer_list<QWidget*>{c.description, c.userName, c.password, c.refresh}) {
        field->setEnabled(true);
    }
}

void CAccountsDialog::OnRefreshChange() {
    if (RRef<ROrvaneAccount> account = SelectedAccount()) {
        (void)account->SetRefreshInterval(MinutesForPosition(controls_->refresh->currentIndex()));
    }
}

void CAccountsDialog::OnAdvanced() { controls_->url->setEnabled(controls_->advanced->isChecked()); }

void CAccountsDialog::OnUrlKillFocus() {
    if (controls_->advanced->isChecked()) ApplyChanges();
}

void CAccountsDialog::OnRemove() {
    Controls& c = *controls_;
    if (RRef<ROrvaneAccount> account = SelectedAccount()) {
        const CStringA guid = account->GetGuid();
        if (app_->AccountManager() != nullptr) (void)app_->AccountManager()->DeleteAccount(guid);
    }
    if (QListWidgetItem* entry = c.list->currentItem(); entry != nullptr && entry->isSelected()) {
        const QSignalBlocker block(c.list);
        delete entry;
    }
    additionPending_ = false;
    PostAccountsChanged();
    ClearFields();
}

void CAccountsDialog::ReportUnfoundServers(QWidget* parent) {
    const std::vector<CStringA> unfound = std::move(unfound_);
    unfound_.clear();
    ROrvaneAccountManager* accounts = app_ != nullptr ? app_->AccountManager() : nullptr;
    if (accounts == nullptr) return;
    for (const CStringA& guid : unfound) {
        RRef<ROrvaneAccount> account = accounts->FindAccountByGuid(guid);
        if (!account || !account->GetAddress().IsEmpty()) continue;  // removed, or given an address
        app_->ErrorDialog().SetError(CStringW::FromUtf8(account->GetDescription().AsView()),
                                     account->GetDiscoveryResult(), CStringW(), CStringW());
        (void)app_->ErrorDialog().DoModal(parent);
    }
}

void CAccountsDialog::PostAccountsChanged() {
    if (app_ == nullptr) return;
    const auto self = reinterpret_cast<std::uintptr_t>(this);
    if (COrvaneView* view = app_->GetView(0)) {
        (void)platform::messages::PostAppMessage(view->Target(), platform::messages::WM_APP_DATA_CHANGED, self, 0);
    }
    (void)platform::messages::PostAppMessage(app_->MainFrameTarget(), platform::messages::WM_APP_ACCOUNTS_CHANGED, self, 0);
}
