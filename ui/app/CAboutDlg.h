#pragma once
// The About box: the program's icon, name and version, and OK.
//
// UI thread only.
#include <QString>

class QWidget;

class CAboutDlg {
public:
    int DoModal(QWidget* parent = nullptr);
    // "Orvane, Version <major>.<minor>.<patch> Bld <build>".
    static QString VersionLine();
};
