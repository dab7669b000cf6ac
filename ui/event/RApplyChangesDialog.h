#pragma once
// The question asked before a repeating event is changed or deleted: only this occurrence,
// this and the following ones, or the whole series. The window is built for each run.
//
// UI thread only.
class QWidget;

class RApplyChangesDialog {
public:
    static constexpr int kThisInstance = 1;  // IDOK
    static constexpr int kAllFuture = 1024;
    static constexpr int kAllInstances = 1023;
    static constexpr int kCancel = 2;  // IDCANCEL

    // Shows the question; the id of the button pressed (kCancel for Esc or the close button).
    int DoModal(QWidget* parent = nullptr);

    // Object names of the buttons, for tests.
    static constexpr const char* kThisButton = "applyThisInstance";
    static constexpr const char* kFutureButton = "applyAllFuture";
    static constexpr const char* kAllButton = "applyAllInstances";
};
