#pragma once
// The main menu and the accelerator table compiled into the program, and the code that puts
// them on a main window: every entry's action carries its command id, runs it through the
// window's command router, and shows the router's state (enabled, checked) whenever its menu
// opens. Menu texts keep "\t<keys>" for the key shown beside them. Accelerators are actions of
// the main window, so they fire only while it is the active window, never inside a dialog.
//
// UI thread only.
#include <QKeySequence>
#include <QString>
#include <vector>

#include "platform/ui/CommandRouting.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace platform::ui {

struct MenuItem {
    unsigned id = 0;  // 0 with no text: a separator; 0 with text: a popup
    QString text;
    std::vector<MenuItem> popup;
};

struct Accelerator {
    QKeySequence key;
    unsigned id = 0;
};

// The main window's menu (File, Edit, View, Tools, Help).
const std::vector<MenuItem>& MainMenu();
// The main window's accelerators.
const std::vector<Accelerator>& MainAccelerators();

// Fills `bar` with the menu's popups; actions route through `router`, which must outlive `bar`.
void BuildMenuBar(QMenuBar* bar, const std::vector<MenuItem>& items, const CommandRouter* router);
// Fills `menu` with the items (popups as submenus), routed as above.
void BuildMenu(QMenu* menu, const std::vector<MenuItem>& items, const CommandRouter* router);
// One routed entry appended to `menu`.
QAction* AddCommand(QMenu* menu, unsigned id, const QString& text, const CommandRouter* router);
// Sets each entry's enabled and checked state from the router (entries with a submenu stay).
void UpdateMenuStates(QMenu* menu, const CommandRouter& router);
// Adds the accelerators to the window as window-wide shortcut actions that run their command
// through the router when it is enabled.
void InstallAccelerators(QWidget* window, const std::vector<Accelerator>& table, const CommandRouter* router);

// A name shown in a menu as it stands: '&' doubled so that it makes no mnemonic.
QString MenuLiteral(const QString& text);
// The text of a menu entry without mnemonic marks and without the key part after '\t'.
QString MenuPlainText(const QString& text);

}  // namespace platform::ui
