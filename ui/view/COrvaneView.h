#pragma once
// The main view: the calendar tree pane on the left (accounts and their calendars with check
// boxes, colour bullets and refreshing / error marks) and the month host on the right, on which
// the month view draws. It starts every account's refresh when first shown, and rebuilds tree
// and grid when the refresh workers post their messages.
//
// UI thread only.
#include <QWidget>
#include <memory>

#include "foundation/memory/RRef.h"
#include "platform/messages/MessageTargets.h"
#include "platform/ui/WindowTarget.h"
#include "ui/month/ROrvaneMonthView.h"
#include "ui/tree/CColumnTreeCtrl.h"
#include "ui/view/RContentPlaceHolderWnd.h"
#include "ui/view/RMarlixBullets.h"

class COrvaneApp;

// The left pane's frame: the tree's parent.
class RStaticPlaceHolder : public QWidget {
public:
    using QWidget::QWidget;
};

class COrvaneView : public QWidget {
public:
    static constexpr int kLeftPaneWidth = 180;
    static constexpr int kNextCommand = 203;
    static constexpr int kPreviousCommand = 204;
    static constexpr int kRefreshCommand = 32773;
    static constexpr const char* kSubscriptionsGuid = "__Subscriptions_GUID__";

    explicit COrvaneView(COrvaneApp* app, QWidget* parent = nullptr);
    ~COrvaneView() override;

    // Builds the panes, the month view and the tree, and starts every account's refresh. Runs
    // once, at the first show (or when called before it).
    void OnInitialUpdate();

    virtual void PopulateCalendarTree();
    virtual void UpdateTreeIcons();
    virtual void ReloadMonth();
    virtual void LayoutPanes();
    virtual void ShowContextMenu(int screenX, int screenY);
    virtual void EditItemAt(Qt::KeyboardModifiers flags, int x, int y);
    virtual void OnHostCommand(int id);
    // The view's commands: next and previous month, today, refresh.
    virtual bool OnCommand(int id);
    virtual void Refresh();

    void SetAccountShown(int accountIndex, bool shown);
    void SetCalendarShown(int accountIndex, int calendarIndex, bool shown);
    void RemoveSubscription(int accountIndex, int calendarIndex);

    // The id that workers post to and arm their timers on.
    platform::messages::TargetId Target() const { return target_ ? target_->Id() : platform::messages::kNoTarget; }
    void OnAppMessage(platform::messages::AppMessage message);

    CColumnTreeCtrl* Tree() { return tree_; }
    RContentPlaceHolderWnd* MonthHost() { return monthHost_; }
    ROrvaneMonthView* MonthView() { return monthView_.get(); }
    RImageList& ImageList() { return imageList_; }
    int ErrorIcon() const { return errorIcon_; }
    int RefreshingIcon() const { return refreshingIcon_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnUserCheck(QStandardItem* item, bool checked);
    void OnTreeKey(int key);
    QStandardItem* AddTreeItem(QStandardItem* parent, const QString& text, int image, int data, bool checked);

    COrvaneApp* app_;
    RStaticPlaceHolder* leftPane_ = nullptr;
    CColumnTreeCtrl* tree_ = nullptr;
    RImageList imageList_;
    RContentPlaceHolderWnd* monthHost_ = nullptr;
    int errorIcon_ = -1;
    int refreshingIcon_ = -1;
    int accountIcon_ = -1;
    RRef<ROrvaneMonthView> monthView_;
    std::unique_ptr<platform::ui::WindowTarget> target_;
    bool initialised_ = false;
};
