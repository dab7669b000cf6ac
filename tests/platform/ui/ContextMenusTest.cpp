// Context menus: entries without a handler are disabled, separators kept, unknown ids show nothing.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "platform/ui/ContextMenus.h"
#include "platform/ui/ModalRun.h"
#include "tests/support/GuiApp.h"

using namespace platform::ui;

TEST(ContextMenus, EntriesNoCommandHandlesAreDisabled) {
    orvane::test::GuiApp();
    RegisterContextMenu(9001, {{11, "Cut"}, {0, {}}, {12, "Copy"}});
    const auto menu = BuildContextMenu(9001, [](unsigned id) { return id == 12; }, nullptr);
    ASSERT_TRUE(menu);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_TRUE(actions[2]->isEnabled());
    EXPECT_EQ(actions[2]->data().toUInt(), 12u);
    EXPECT_FALSE(BuildContextMenu(9002, nullptr, nullptr));

    ModalResponderScope responders;
    EXPECT_EQ(ShowContextMenu(9001, QPoint(5, 6), nullptr, nullptr), 0u);
    const ShownMenu& shown = LastContextMenu();
    EXPECT_EQ(shown.menuId, 9001u);
    EXPECT_EQ(shown.screen, QPoint(5, 6));
    ASSERT_EQ(shown.entries.size(), 2u);
    EXPECT_FALSE(shown.entries[0].second);
    EXPECT_FALSE(shown.entries[1].second);
    EXPECT_EQ(ShowContextMenu(9002, QPoint(), nullptr, nullptr), 0u);
}
