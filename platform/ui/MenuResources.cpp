#include "platform/ui/MenuResources.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "platform/ui/CommandIds.h"

namespace platform::ui {
namespace {

MenuItem Separator() { return MenuItem{}; }

}  // namespace

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = {
        {0,
         "&File",
         {{ID_NEW_EVENT, "&New Event\tCtrl+N", {}},
          {ID_NEW_SUBSCRIPTION, "&New Subscription...", {}},
          Separator(),
          {ID_FILE_OPEN, "&Import...\tCtrl+O", {}},
          {ID_FILE_SAVE, "&Export\tCtrl+E", {}},
          Separator(),
          {ID_APP_EXIT, "E&xit", {}}}},
        {0,
         "&Edit",
         {{ID_EDIT_UNDO, "&Undo\tCtrl+Z", {}},
          Separator(),
          {ID_EDIT_CUT, "Cu&t\tCtrl+X", {}},
          {ID_EDIT_COPY, "&Copy\tCtrl+C", {}},
          {ID_EDIT_PASTE, "&Paste\tCtrl+V", {}},
          Separator(),
          {ID_EDIT_FIND, "&Find", {}}}},
        {0,
         "&View",
         {{ID_VIEW_NEXT, "Next", {}},
          {ID_VIEW_PREVIOUS, "Previous", {}},
          Separator(),
          {0, "Time &Zone", {{ID_ZONE_SYSTEM, "System Setting", {}}, Separator()}},
          {0,
           "&Application Look",
           {{205, "Windows &2000", {}},
            {206, "Office &XP", {}},
            {207, "&Windows XP", {}},
            {208, "Office 200&3", {}},
            {209, "Visual Studio 200&5", {}},
            {210, "Visual Studio 200&8", {}},
            {0,
             "Office 200&7",
             {{215, "&Blue Style", {}}, {216, "B&lack Style", {}}, {217, "&Silver Style", {}}, {218, "&Aqua Style", {}}}}}}}},
        {0,
         "&Tools",
         {{ID_TOOLS_REFRESH, "&Refresh\tCtrl+R", {}},
          {ID_TOOLS_ACCOUNTS, "&Accounts...", {}},
          Separator(),
          {ID_TOOLS_OPTIONS, "&Options...", {}}}},
        {0, "&Help", {{ID_APP_ABOUT, "&About Orvane...", {}}}},
    };
    return menu;
}

const std::vector<Accelerator>& MainAccelerators() {
    // Ctrl+N creates an event, as the File menu shows.
    static const std::vector<Accelerator> table = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_NEW_EVENT},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_E), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::CTRL | Qt::Key_R), ID_TOOLS_REFRESH},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
    return table;
}

QAction* AddCommand(QMenu* menu, unsigned id, const QString& text, const CommandRouter* router) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    // The key beside the text is the accelerator's to handle; the entry itself binds none.
    action->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(action, &QAction::triggered, menu, [router, id] {
        if (router != nullptr) (void)router->Route(id);
    });
    return action;
}

void BuildMenu(QMenu* menu, const std::vector<MenuItem>& items, const CommandRouter* router) {
    for (const MenuItem& item : items) {
        if (item.id == 0 && item.text.isEmpty()) {
            menu->addSeparator();
        } else if (item.id == 0) {
            QMenu* sub = menu->addMenu(item.text);
            BuildMenu(sub, item.popup, router);
        } else {
            (void)AddCommand(menu, item.id, item.text, router);
        }
    }
    if (router != nullptr) {
        QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, router] { UpdateMenuStates(menu, *router); });
    }
}

void BuildMenuBar(QMenuBar* bar, const std::vector<MenuItem>& items, const CommandRouter* router) {
    for (const MenuItem& item : items) {
        QMenu* menu = bar->addMenu(item.text);
        BuildMenu(menu, item.popup, router);
    }
}

void UpdateMenuStates(QMenu* menu, const CommandRouter& router) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu() != nullptr) continue;
        const unsigned id = action->data().toUInt();
        if (id == 0) continue;
        const CommandState state = router.Update(id);
        action->setEnabled(state.enabled);
        action->setCheckable(state.checked || state.radio);
        action->setChecked(state.checked);
    }
}

void InstallAccelerators(QWidget* window, const std::vector<Accelerator>& table, const CommandRouter* router) {
    for (const Accelerator& accelerator : table) {
        auto* action = new QAction(window);
        action->setShortcut(accelerator.key);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(accelerator.id);
        const unsigned id = accelerator.id;
        QObject::connect(action, &QAction::triggered, window, [router, id] {
            if (router != nullptr) (void)router->Route(id);
        });
        window->addAction(action);
    }
}

QString MenuLiteral(const QString& text) {
    QString literal = text;
    literal.replace('&', "&&");
    return literal;
}

QString MenuPlainText(const QString& text) {
    QString plain;
    const qsizetype tab = text.indexOf('\t');
    const QString shown = tab >= 0 ? text.left(tab) : text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == '&') {
            if (i + 1 < shown.size() && shown[i + 1] == '&') {
                plain += '&';
                ++i;
            }
            continue;
        }
        plain += shown[i];
    }
    return plain;
}

}  // namespace platform::ui
