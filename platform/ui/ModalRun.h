#pragma once
// Modal runs of dialogs with the program's result ids. A dialog ends with the id of the button
// that closed it: IDOK 1, IDCANCEL 2, other ids through QDialog::done(id). Esc and the window's
// close button give IDCANCEL, never Qt's 0.
//
// Tests install responders: each modal run takes the next one, which drives the dialog's real
// widgets (and so its real handlers) from inside the running modal loop. A run with no responder
// left while responders are installed ends at once with IDCANCEL, so a test never hangs on a
// dialog it did not expect.
//
// UI thread only.
#include <functional>

class QDialog;

namespace platform::ui {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Shows the dialog modally and returns the id that ended it.
int RunModal(QDialog& dialog);

// True while a ModalResponderScope is installed (tests).
bool ModalRespondersActive();

using ModalResponder = std::function<void(QDialog&)>;

// Installs a queue of responders for as long as it lives (scopes do not nest).
class ModalResponderScope {
public:
    ModalResponderScope();
    ~ModalResponderScope();
    ModalResponderScope(const ModalResponderScope&) = delete;
    ModalResponderScope& operator=(const ModalResponderScope&) = delete;

    // Answers the next modal run.
    void Add(ModalResponder responder);
    // Answers the next run by ending it with `id`.
    void AddResult(int id);
    // Modal runs that found no responder waiting.
    int Unanswered() const;
    // Modal runs so far, answered or not.
    int Runs() const;
    // Responders not yet used.
    int Pending() const;
};

}  // namespace platform::ui
