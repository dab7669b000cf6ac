#pragma once
// Context menus compiled into the program, registered by id. A menu shows its entries in order;
// an entry whose command nobody handles is shown disabled, as the program's command routing
// greys out commands without a handler.
//
// UI thread only.
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QWidget;

namespace platform::ui {

struct MenuEntry {
    unsigned commandId = 0;  // 0: a separator
    QString text;
};

// Whether some handler takes the command.
using CommandHandled = std::function<bool(unsigned commandId)>;

void RegisterContextMenu(unsigned menuId, std::vector<MenuEntry> entries);
// The registered entries, or null for an unknown id.
const std::vector<MenuEntry>* FindContextMenu(unsigned menuId);

// The menu with its entries enabled by `handled`; each action's data is its command id.
// Null for an unknown id.
std::unique_ptr<QMenu> BuildContextMenu(unsigned menuId, const CommandHandled& handled, QWidget* owner);

// Shows the menu at a screen point and returns the chosen command id, or 0 when nothing was
// chosen or the id is unknown. While modal responders are installed nothing is shown: the
// menu is built, kept for LastContextMenu, and 0 is returned.
unsigned ShowContextMenu(unsigned menuId, QPoint screen, QWidget* owner, const CommandHandled& handled);

// What the last ShowContextMenu under responders would have shown.
struct ShownMenu {
    unsigned menuId = 0;
    QPoint screen;
    QWidget* owner = nullptr;
    std::vector<std::pair<QString, bool>> entries;  // text, enabled
};
const ShownMenu& LastContextMenu();

}  // namespace platform::ui
