#pragma once
// A yes/no question with a caller's title and text; the caller acts when DoModal gives IDOK.
// The window is built for each run.
//
// UI thread only.
#include "platform/string/CString.h"

class QWidget;

class RConfirmationDialog {
public:
    void SetText(const CStringW& title, const CStringW& text);
    int DoModal(QWidget* parent = nullptr);

    const CStringW& Title() const { return title_; }
    const CStringW& Text() const { return text_; }

    static constexpr const char* kTextControl = "confirmationText";

private:
    CStringW title_;
    CStringW text_;
};
