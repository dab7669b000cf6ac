#pragma once
// A tree with a header of resizable columns above it. Each item's text holds the texts of all
// columns separated by TABs; the first field is the item's label, drawn elided 4 pixels before
// the first column's end, and a sunken grid edge marks each column's right and each row's
// bottom. The calendar pane uses one column, "Calendar", 178 pixels wide, never below 100.
//
// The inner tree (CCustomTreeChildCtrl) is reached directly for filling, icons, check states and
// selection. A press or double-click selects an item only on its check box, icon, expand button
// or the label's text (up to 6 pixels past it, within the first column); elsewhere it only takes
// the focus. A check box changed by the user (mouse or Space) is reported with its new state;
// check states set by code are not.
//
// UI thread only.
#include <QHeaderView>
#include <QPoint>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QWidget>

class CColumnTreeCtrl;

// Hit-test flags, as the tree reports where a point lies.
enum TreeHitFlags : unsigned {
    TVHT_NOWHERE = 0x0001,
    TVHT_ONITEMICON = 0x0002,
    TVHT_ONITEMLABEL = 0x0004,
    TVHT_ONITEMINDENT = 0x0008,
    TVHT_ONITEMBUTTON = 0x0010,
    TVHT_ONITEMRIGHT = 0x0020,
    TVHT_ONITEMSTATEICON = 0x0040,
    TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON,
};

struct TreeHitTestInfo {
    QPoint pt;                        // in the control's client coordinates
    QStandardItem* item = nullptr;
    unsigned flags = 0;
    int column = 0;
};

// Roles of the tree's items.
inline constexpr int kItemDataRole = Qt::UserRole + 1;    // the item's data (an index)
inline constexpr int kImageIndexRole = Qt::UserRole + 2;  // the image-list index it shows

// The first TAB-separated field of an item text (all of it without a TAB).
QString FirstColumnText(const QString& text);

// Reports the user's check-state changes, which arrive through setData.
class CheckReportingModel : public QStandardItemModel {
    Q_OBJECT
public:
    using QStandardItemModel::QStandardItemModel;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
signals:
    void userCheckStateChanged(QStandardItem* item, bool checked);
};

class CCustomTreeChildCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CCustomTreeChildCtrl(CColumnTreeCtrl* control);

    CheckReportingModel* Model() const { return model_; }
    // The tree's own hit test at a point of its viewport.
    QStandardItem* HitTestTree(QPoint viewportPoint, unsigned* flags) const;
    // The selection rule of the mouse handlers.
    bool IsSelectionHit(QPoint viewportPoint) const;
    // The label rectangle as drawn (text width + 4, at most the first column's end − 4).
    QRect LabelRect(const QModelIndex& index) const;

    int firstColumnWidth = 0;

signals:
    void keyPressed(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    friend class ColumnTreeDelegate;
    QStyleOptionViewItem ItemOption(const QModelIndex& index) const;

    CColumnTreeCtrl* control_;
    CheckReportingModel* model_;
};

class CColumnTreeCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CColumnTreeCtrl(QWidget* parent = nullptr);

    // Creates the column header's one column, "Calendar", 178 pixels; returns its index.
    int InsertCalendarColumn();
    QString GetItemText(const QStandardItem* item) const;
    // The item at a point of the control's client area, with the part of it hit and the column.
    QStandardItem* HitTest(TreeHitTestInfo* info) const;
    // Reads the widths from the header.
    void UpdateColumns();

    CCustomTreeChildCtrl* Tree() const { return tree_; }
    QHeaderView* Header() const { return tree_->header(); }
    int TotalWidth() const { return totalWidth_; }
    int ColumnWidth(int column) const;

    static constexpr int kMinFirstColumnWidth = 100;
    static constexpr int kCalendarColumnWidth = 178;

private:
    CCustomTreeChildCtrl* tree_;
    int totalWidth_ = 0;
    int columnWidths_[16] = {};
};
