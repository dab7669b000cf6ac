#include "ui/app/CAboutDlg.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/system/Version.h"
#include "platform/ui/ModalRun.h"
#include "ui/view/TreeIcons.h"

QString CAboutDlg::VersionLine() {
    return QString("Orvane, Version %1.%2.%3 Bld %4")
        .arg(ORVANE_VERSION_MAJOR)
        .arg(ORVANE_VERSION_MINOR)
        .arg(ORVANE_VERSION_PATCH)
        .arg(ORVANE_VERSION_BUILD);
}

int CAboutDlg::DoModal(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("About Orvane");
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&dialog);
    icon->setPixmap(MakeTreeIcon(kIconAccount).pixmap(32, 32));
    auto* line = new QLabel(VersionLine(), &dialog);
    line->setObjectName("versionLine");
    row->addWidget(icon);
    row->addWidget(line, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog] { dialog.done(platform::ui::IDOK); });
    layout->addWidget(buttons);
    return platform::ui::RunModal(dialog);
}
