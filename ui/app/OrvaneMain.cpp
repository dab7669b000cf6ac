#include "ui/app/OrvaneMain.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>

#include "platform/messages/UiThreadLoop.h"
#include "platform/system/Version.h"
#include "platform/ui/CommandIds.h"
#include "platform/ui/ContextMenus.h"
#include "platform/ui/ModalRun.h"
#include "ui/app/COrvaneApp.h"
#include "ui/month/ROrvaneMonthView.h"

void RegisterProgramMenus() {
    // The "Edit" popup; no command of this window handles its entries yet.
    platform::ui::RegisterContextMenu(ROrvaneMonthView::kEditMenu, {{platform::ui::ID_EDIT_CUT, "Cu&t\tCtrl+X"},
                                                                     {platform::ui::ID_EDIT_COPY, "&Copy\tCtrl+C"},
                                                                     {platform::ui::ID_EDIT_PASTE, "&Paste\tCtrl+V"}});
}

int RunOrvane(int argc, char** argv) {
    // Qt reads its own command-line options here; the program has none of its own.
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvane");
    QApplication::setApplicationVersion(ORVANE_VERSION_TEXT);
    platform::messages::UiThreadLoop loop;
    RegisterProgramMenus();

    int result = 1;
    {
        COrvaneApp app;
        if (app.InitInstance()) result = QApplication::exec();
        if (!app.ExitInstance()) {
            // A refresh did not stop in time; its thread would outlive the objects it uses.
            std::_Exit(result);
        }
    }
    return result;
}

int ShowStartFailure(int argc, char** argv, const std::string& message) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvane");
    QMessageBox box(QMessageBox::Warning, "Orvane", QString::fromStdString(message), QMessageBox::Ok);
    (void)platform::ui::RunModal(box);
    return 1;
}
