#include "ui/tree/CColumnTreeCtrl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

QString FirstColumnText(const QString& text) {
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? text : text.left(tab);
}

bool CheckReportingModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole) return QStandardItemModel::setData(index, value, role);
    const QVariant before = data(index, role);
    if (!QStandardItemModel::setData(index, value, role)) return false;
    // Only the view calls the model's setData for a check state: that is the user's change.
    if (before != data(index, role)) {
        emit userCheckStateChanged(itemFromIndex(index), data(index, role).toInt() == Qt::Checked);
    }
    return true;
}

// Draws an item as the control does: check box and icon by the style, the first TAB field in
// a label just wide enough for it, highlighted only there when selected.
class ColumnTreeDelegate : public QStyledItemDelegate {
public:
    explicit ColumnTreeDelegate(CCustomTreeChildCtrl* tree) : QStyledItemDelegate(tree), tree_(tree) {}

    void Init(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const bool selected = opt.state & QStyle::State_Selected;
        const bool focused = opt.state & QStyle::State_HasFocus;
        const QString label = FirstColumnText(opt.text);
        opt.text.clear();
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
        QStyle* style = tree_->style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, tree_);

        const QRect labelRect = tree_->LabelRect(index);
        if (labelRect.right() < labelRect.left()) return;
        const bool enabled = tree_->isEnabled();
        const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
        QColor textColour = opt.palette.color(group, QPalette::Text);
        if (selected) {
            const bool active = tree_->hasFocus();
            painter->fillRect(labelRect, opt.palette.color(active ? QPalette::Active : QPalette::Inactive,
                                                           QPalette::Highlight));
            textColour = opt.palette.color(active ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText);
        }
        if (focused && selected) {
            QStyleOptionFocusRect focus;
            focus.rect = labelRect;
            focus.state = QStyle::State_HasFocus;
            focus.palette = opt.palette;
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, tree_);
        }
        const QRect textRect = labelRect.adjusted(2, 1, -2, -1);
        // The label was sized from the same measurement, so a text that fits is never cut.
        const QString shown = opt.fontMetrics.horizontalAdvance(label) <= textRect.width()
                                  ? label
                                  : opt.fontMetrics.elidedText(label, Qt::ElideRight, std::max(0, textRect.width()));
        painter->save();
        painter->setPen(textColour);
        painter->setFont(opt.font);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        painter->restore();
    }

private:
    CCustomTreeChildCtrl* tree_;
};

CCustomTreeChildCtrl::CCustomTreeChildCtrl(CColumnTreeCtrl* control)
    : QTreeView(control), control_(control), model_(new CheckReportingModel(this)) {
    setModel(model_);
    setItemDelegate(new ColumnTreeDelegate(this));
    setHeaderHidden(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setMouseTracking(false);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(CColumnTreeCtrl::kMinFirstColumnWidth);
    header()->setSectionsMovable(false);
}

QStyleOptionViewItem CCustomTreeChildCtrl::ItemOption(const QModelIndex& index) const {
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.rect = visualRect(index);
    static_cast<ColumnTreeDelegate*>(itemDelegate())->Init(&opt, index);
    return opt;
}

QRect CCustomTreeChildCtrl::LabelRect(const QModelIndex& index) const {
    const QStyleOptionViewItem opt = ItemOption(index);
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, this);
    const int width = opt.fontMetrics.horizontalAdvance(FirstColumnText(opt.text));
    const int columnEnd = header()->sectionViewportPosition(0) + firstColumnWidth;
    const int right = std::min(text.left() + width + 4, columnEnd - 4);  // exclusive
    return QRect(QPoint(text.left(), opt.rect.top()), QPoint(right - 1, opt.rect.bottom()));
}

QStandardItem* CCustomTreeChildCtrl::HitTestTree(QPoint point, unsigned* flags) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) {
        // Right of the columns on an item's row, or below the last item.
        const QModelIndex row = indexAt(QPoint(header()->sectionViewportPosition(0) + 1, point.y()));
        *flags = row.isValid() ? TVHT_ONITEMRIGHT : TVHT_NOWHERE;
        return row.isValid() ? model_->itemFromIndex(row) : nullptr;
    }
    QStandardItem* item = model_->itemFromIndex(index);
    const QStyleOptionViewItem opt = ItemOption(index);
    if (point.x() < opt.rect.left()) {
        const bool onButton = model_->hasChildren(index) && point.x() >= opt.rect.left() - indentation();
        *flags = onButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
        return item;
    }
    if ((opt.features & QStyleOptionViewItem::HasCheckIndicator) &&
        style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, this).contains(point)) {
        *flags = TVHT_ONITEMSTATEICON;
        return item;
    }
    if ((opt.features & QStyleOptionViewItem::HasDecoration) &&
        style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, this).contains(point)) {
        *flags = TVHT_ONITEMICON;
        return item;
    }
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, this);
    const int width = opt.fontMetrics.horizontalAdvance(FirstColumnText(opt.text));
    *flags = point.x() >= text.left() && point.x() < text.left() + width + 4 ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
    return item;
}

bool CCustomTreeChildCtrl::IsSelectionHit(QPoint point) const {
    unsigned flags = 0;
    QStandardItem* item = HitTestTree(point, &flags);
    if (item == nullptr) return false;
    if (flags & (TVHT_ONITEMICON | TVHT_ONITEMBUTTON | TVHT_ONITEMSTATEICON)) return true;
    if (selectionBehavior() == QAbstractItemView::SelectRows && allColumnsShowFocus()) {
        return point.x() >= LabelRect(item->index()).left();
    }
    if (flags & TVHT_ONITEMLABEL) {
        const QModelIndex index = item->index();
        const QStyleOptionViewItem opt = ItemOption(index);
        const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, this);
        const int columnEnd = header()->sectionViewportPosition(0) + firstColumnWidth;
        if (point.x() >= columnEnd) return false;
        const int width = opt.fontMetrics.horizontalAdvance(FirstColumnText(opt.text));
        return point.x() < text.left() + width + 6;
    }
    return false;
}

void CCustomTreeChildCtrl::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event->key());
    viewport()->update();
    QTreeView::keyPressEvent(event);
}

void CCustomTreeChildCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (IsSelectionHit(event->position().toPoint())) QTreeView::mouseMoveEvent(event);
}

void CCustomTreeChildCtrl::mousePressEvent(QMouseEvent* event) {
    if (IsSelectionHit(event->position().toPoint())) {
        QTreeView::mousePressEvent(event);
    } else {
        setFocus(Qt::MouseFocusReason);
    }
}

void CCustomTreeChildCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (IsSelectionHit(event->position().toPoint())) {
        QTreeView::mouseDoubleClickEvent(event);
    } else {
        setFocus(Qt::MouseFocusReason);
    }
}

void CCustomTreeChildCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    // Sunken inner edges: the light side of each column's right border and of the row's bottom.
    const QColor edge = palette().color(QPalette::Midlight).darker(110);
    const QRect row = option.rect;
    int x = header()->sectionViewportPosition(0);
    for (int column = 0; column < header()->count(); ++column) {
        x += header()->sectionSize(column);
        painter->fillRect(QRect(x - 1, row.top(), 1, row.height()), edge);
    }
    painter->fillRect(QRect(row.left(), row.bottom(), std::min(row.width(), x - row.left()), 1), edge);
}

CColumnTreeCtrl::CColumnTreeCtrl(QWidget* parent) : QWidget(parent), tree_(new CCustomTreeChildCtrl(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    connect(tree_->header(), &QHeaderView::sectionResized, this, [this] { UpdateColumns(); });
}

int CColumnTreeCtrl::InsertCalendarColumn() {
    CheckReportingModel* model = tree_->Model();
    const int column = 0;
    if (model->columnCount() < 1) model->setColumnCount(1);
    model->setHorizontalHeaderItem(column, new QStandardItem("Calendar"));
    model->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Header()->setSectionResizeMode(column, QHeaderView::Interactive);
    Header()->resizeSection(column, kCalendarColumnWidth);
    UpdateColumns();
    return column;
}

void CColumnTreeCtrl::UpdateColumns() {
    totalWidth_ = 0;
    const int count = std::min(Header()->count(), 16);
    for (int column = 0; column < count; ++column) {
        columnWidths_[column] = Header()->sectionSize(column);
        totalWidth_ += columnWidths_[column];
    }
    if (count > 0) tree_->firstColumnWidth = columnWidths_[0];
    tree_->viewport()->update();
}

int CColumnTreeCtrl::ColumnWidth(int column) const { return column >= 0 && column < 16 ? columnWidths_[column] : 0; }

QString CColumnTreeCtrl::GetItemText(const QStandardItem* item) const {
    return item != nullptr ? FirstColumnText(item->text()) : QString();
}

QStandardItem* CColumnTreeCtrl::HitTest(TreeHitTestInfo* info) const {
    const QPoint inViewport = tree_->viewport()->mapFrom(this, info->pt);
    unsigned flags = 0;
    QStandardItem* item = tree_->HitTestTree(inViewport, &flags);
    info->item = item;
    info->flags = flags;
    info->column = 0;
    if (!(flags & (TVHT_ONITEMLABEL | TVHT_ONITEMRIGHT))) return item;
    // The column whose span holds the point (scrolled position).
    const int x = inViewport.x() - Header()->sectionViewportPosition(0);
    int start = 0;
    for (int column = 0; column < Header()->count(); ++column) {
        const int width = Header()->sectionSize(column);
        if (x >= start && x <= start + width) {
            info->column = column;
            info->flags = TVHT_ONITEMLABEL;
            return item;
        }
        start += width;
    }
    info->item = nullptr;
    info->flags = TVHT_NOWHERE;
    return nullptr;
}
