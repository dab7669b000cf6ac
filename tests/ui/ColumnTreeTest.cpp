// The calendar tree control: first-column texts and their elision, the column's minimum width,
// the selection hit rule, user check changes only, the hit test and enabling together.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTest>
#include <vector>

#include "tests/support/GuiApp.h"
#include "ui/tree/CColumnTreeCtrl.h"

namespace {

struct TreeFixture : ::testing::Test {
    void SetUp() override {
        orvane::test::GuiApp();
        control.resize(240, 200);
        control.InsertCalendarColumn();
        auto* model = control.Tree()->Model();
        account = new QStandardItem("Home account");
        account->setCheckable(true);
        account->setCheckState(Qt::Checked);
        calendar = new QStandardItem("Birthdays\tsecond field");
        calendar->setCheckable(true);
        calendar->setCheckState(Qt::Checked);
        longOne = new QStandardItem("A calendar with a name much too long for the column");
        longOne->setCheckable(true);
        account->appendRow(calendar);
        account->appendRow(longOne);
        model->appendRow(account);
        control.Tree()->expandAll();
        control.show();
        QApplication::processEvents();
        QObject::connect(model, &CheckReportingModel::userCheckStateChanged,
                         [this](QStandardItem* item, bool checked) { changes.emplace_back(item, checked); });
    }
    // A point of the item's row in the control's client coordinates.
    QPoint InControl(QStandardItem* item, int x) const {
        const QRect rect = control.Tree()->visualRect(item->index());
        return control.Tree()->viewport()->mapTo(&control, QPoint(x, rect.center().y()));
    }
    QPoint InViewport(QStandardItem* item, int x) const {
        return QPoint(x, control.Tree()->visualRect(item->index()).center().y());
    }

    bool appReady = (orvane::test::GuiApp(), true);
    CColumnTreeCtrl control;
    QStandardItem* account = nullptr;
    QStandardItem* calendar = nullptr;
    QStandardItem* longOne = nullptr;
    std::vector<std::pair<QStandardItem*, bool>> changes;
};

}  // namespace

TEST_F(TreeFixture, OneCalendarColumnOfWhichOnlyTheFirstTabFieldShowsAndNeverBelow100) {
    EXPECT_EQ(control.Header()->count(), 1);
    EXPECT_EQ(control.Tree()->Model()->horizontalHeaderItem(0)->text(), "Calendar");
    EXPECT_EQ(control.ColumnWidth(0), 178);
    EXPECT_EQ(control.TotalWidth(), 178);
    EXPECT_EQ(control.GetItemText(calendar), "Birthdays");
    EXPECT_EQ(control.GetItemText(account), "Home account");
    EXPECT_EQ(control.GetItemText(nullptr), "");

    // Dragging the divider to the left stops at 100 pixels.
    QHeaderView* header = control.Header();
    const int divider = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    const int y = header->height() / 2;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(divider, y));
    QTest::mouseMove(header->viewport(), QPoint(divider - 150, y));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(divider - 150, y));
    EXPECT_EQ(header->sectionSize(0), 100);
    EXPECT_EQ(control.ColumnWidth(0), 100);
    EXPECT_EQ(control.Tree()->firstColumnWidth, 100);
}

TEST_F(TreeFixture, ALongLabelIsCutFourPixelsBeforeTheColumnEnd) {
    const QRect label = control.Tree()->LabelRect(longOne->index());
    const int columnEnd = control.Header()->sectionViewportPosition(0) + 178;
    EXPECT_EQ(label.right() + 1, columnEnd - 4);
    const QRect shortLabel = control.Tree()->LabelRect(calendar->index());
    EXPECT_LT(shortLabel.right() + 1, columnEnd - 4);  // just wide enough for "Birthdays" + 4

    const QImage picture = control.Tree()->viewport()->grab().toImage();
    orvane::test::SaveTestPicture(picture, "column-tree");
    const int y0 = label.top(), y1 = label.bottom();
    int darkBefore = 0;
    for (int y = y0; y < y1; ++y) {  // the row's last line is its grid edge
        for (int x = columnEnd - 5; x < columnEnd - 1; ++x) {
            EXPECT_GT(qGray(picture.pixel(x, y)), 200) << x << "," << y;  // nothing drawn there
        }
        for (int x = label.left(); x < columnEnd - 6; ++x) darkBefore += qGray(picture.pixel(x, y)) < 128;
    }
    EXPECT_GT(darkBefore, 0);  // the label itself is drawn
}

TEST_F(TreeFixture, OnlyCheckBoxesIconsButtonsAndTheLabelSelectAndOnlyTheUserChangesChecks) {
    CCustomTreeChildCtrl* tree = control.Tree();
    const QModelIndex index = calendar->index();
    const QRect text = tree->LabelRect(index);
    // Right of the text, still inside the first column: no selection.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, InViewport(calendar, text.right() + 20));
    EXPECT_FALSE(tree->selectionModel()->isSelected(index));
    // On the text: selected.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, InViewport(calendar, text.left() + 3));
    EXPECT_TRUE(tree->selectionModel()->isSelected(index));
    EXPECT_TRUE(changes.empty());

    // The check box, left of the label: a hit that the user's change reports with the new state.
    unsigned flags = 0;
    int boxX = -1;
    for (int x = tree->visualRect(index).left(); x < text.left(); ++x) {
        if (tree->HitTestTree(InViewport(calendar, x), &flags) == calendar && flags == TVHT_ONITEMSTATEICON) {
            boxX = x + 3;
            break;
        }
    }
    ASSERT_GE(boxX, 0);
    EXPECT_TRUE(tree->IsSelectionHit(InViewport(calendar, boxX)));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, InViewport(calendar, boxX));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], std::make_pair(calendar, false));
    EXPECT_EQ(calendar->checkState(), Qt::Unchecked);

    // Space on the selected item is the user's change too; code that sets a state is not.
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1], std::make_pair(calendar, true));
    account->setCheckState(Qt::Unchecked);
    EXPECT_EQ(changes.size(), 2u);

    // The expand button of the account is a hit.
    const int buttonX = tree->visualRect(account->index()).left() - tree->indentation() / 2;
    EXPECT_EQ(tree->HitTestTree(InViewport(account, buttonX), &flags), account);
    EXPECT_EQ(flags, static_cast<unsigned>(TVHT_ONITEMBUTTON));
}

TEST_F(TreeFixture, HitTestGivesTheColumnForTheLabelAndNothingPastTheColumns) {
    TreeHitTestInfo info;
    const QRect label = control.Tree()->LabelRect(calendar->index());
    info.pt = InControl(calendar, label.left() + 2);
    EXPECT_EQ(control.HitTest(&info), calendar);
    EXPECT_EQ(info.flags, static_cast<unsigned>(TVHT_ONITEMLABEL));
    EXPECT_EQ(info.column, 0);
    info.pt = InControl(calendar, label.right() + 10);  // right of the text, inside the column
    EXPECT_EQ(control.HitTest(&info), calendar);
    EXPECT_EQ(info.flags, static_cast<unsigned>(TVHT_ONITEMLABEL));
    info.pt = InControl(calendar, 178 + 30);  // past the only column
    EXPECT_EQ(control.HitTest(&info), nullptr);
    EXPECT_EQ(info.flags, static_cast<unsigned>(TVHT_NOWHERE));
    info.pt = QPoint(5, control.height() - 5);  // below the last item
    EXPECT_EQ(control.HitTest(&info), nullptr);
}

TEST_F(TreeFixture, DisablingTheControlDisablesHeaderTreeAndScrollBarTogether) {
    control.setEnabled(false);
    EXPECT_FALSE(control.Tree()->isEnabled());
    EXPECT_FALSE(control.Header()->isEnabled());
    EXPECT_FALSE(control.Tree()->horizontalScrollBar()->isEnabled());
    control.setEnabled(true);
    EXPECT_TRUE(control.Header()->isEnabled());
    EXPECT_TRUE(control.Tree()->horizontalScrollBar()->isEnabled());
}

TEST_F(TreeFixture, ANarrowWindowScrollsSidewaysNoFurtherThanTheColumns) {
    control.resize(120, 200);
    QApplication::processEvents();
    QScrollBar* bar = control.Tree()->horizontalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    bar->setValue(bar->maximum() + 500);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(bar->maximum(), 178 - control.Tree()->viewport()->width());
}
