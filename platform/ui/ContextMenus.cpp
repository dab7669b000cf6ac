#include "platform/ui/ContextMenus.h"

#include <QAction>
#include <QMenu>
#include <map>

#include "platform/ui/ModalRun.h"

namespace platform::ui {
namespace {

std::map<unsigned, std::vector<MenuEntry>>& Menus() {
    static std::map<unsigned, std::vector<MenuEntry>> menus;
    return menus;
}

ShownMenu& LastShown() {
    static ShownMenu shown;
    return shown;
}

}  // namespace

void RegisterContextMenu(unsigned menuId, std::vector<MenuEntry> entries) { Menus()[menuId] = std::move(entries); }

const std::vector<MenuEntry>* FindContextMenu(unsigned menuId) {
    const auto found = Menus().find(menuId);
    return found == Menus().end() ? nullptr : &found->second;
}

std::unique_ptr<QMenu> BuildContextMenu(unsigned menuId, const CommandHandled& handled, QWidget* owner) {
    const std::vector<MenuEntry>* entries = FindContextMenu(menuId);
    if (entries == nullptr) return nullptr;
    auto menu = std::make_unique<QMenu>(owner);
    for (const MenuEntry& entry : *entries) {
        if (entry.commandId == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.text);
        action->setData(entry.commandId);
        action->setEnabled(handled && handled(entry.commandId));
    }
    return menu;
}

unsigned ShowContextMenu(unsigned menuId, QPoint screen, QWidget* owner, const CommandHandled& handled) {
    std::unique_ptr<QMenu> menu = BuildContextMenu(menuId, handled, owner);
    if (!menu) return 0;
    if (ModalRespondersActive()) {
        ShownMenu& shown = LastShown();
        shown = ShownMenu{menuId, screen, owner, {}};
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) shown.entries.emplace_back(action->text(), action->isEnabled());
        }
        return 0;
    }
    QAction* chosen = menu->exec(screen);
    return chosen != nullptr ? chosen->data().toUInt() : 0;
}

const ShownMenu& LastContextMenu() { return LastShown(); }

}  // namespace platform::ui
