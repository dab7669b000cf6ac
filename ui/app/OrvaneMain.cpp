#include "ui/app/OrvaneMain.h"

#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <string>

#include "platform/files/XdgFolders.h"
#include "platform/messages/UiThreadLoop.h"
#include "platform/system/Version.h"
#include "platform/ui/ContextMenus.h"
#include "ui/app/COrvaneApp.h"
#include "ui/month/ROrvaneMonthView.h"
#include "ui/view/COrvaneView.h"
#include "ui/view/TreeIcons.h"

void RegisterProgramMenus() {
    // The "Edit" popup; no command of this window handles its entries yet.
    platform::ui::RegisterContextMenu(ROrvaneMonthView::kEditMenu, {{0xE123, "Cut"}, {0xE122, "Copy"}, {0xE125, "Paste"}});
}

int RunOrvane(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvane");
    QApplication::setApplicationVersion(ORVANE_VERSION_TEXT);
    platform::messages::UiThreadLoop loop;
    RegisterProgramMenus();

    int result = 0;
    {
        COrvaneApp app;
        const std::string dataFolder = platform::DataHomeFolder() + "/BrenmoorTech/Orvane";
        (void)app.OpenStore(CStringW::FromUtf8(dataFolder));
        COrvaneView view(&app);
        view.setWindowTitle("Orvane");
        view.setWindowIcon(MakeTreeIcon(kIconAccount));
        view.resize(1100, 760);
        view.show();
        result = QApplication::exec();
        if (!app.Shutdown()) {
            // A refresh did not stop in time; its thread would outlive the objects it uses.
            std::_Exit(result);
        }
    }
    return result;
}
