#include "platform/ui/ModalRun.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <deque>

namespace platform::ui {
namespace {

struct ResponderState {
    bool active = false;
    std::deque<ModalResponder> queue;
    int unanswered = 0;
    int runs = 0;
};

ResponderState& State() {
    static ResponderState state;
    return state;
}

// Qt's Rejected (0) stands for Esc, the close button and reject(): the program's Cancel.
int ToProgramResult(int qtResult) { return qtResult == QDialog::Rejected ? IDCANCEL : qtResult; }

}  // namespace

bool ModalRespondersActive() { return State().active; }

int RunModal(QDialog& dialog) {
    ResponderState& state = State();
    if (!state.active) {
        return ToProgramResult(dialog.exec());
    }
    ++state.runs;
    if (state.queue.empty()) {
        ++state.unanswered;
        return IDCANCEL;
    }
    ModalResponder responder = std::move(state.queue.front());
    state.queue.pop_front();
    QPointer<QDialog> guard(&dialog);
    // The responder runs inside the dialog's own modal loop, as a user's input would.
    QTimer::singleShot(0, &dialog, [guard, responder = std::move(responder)]() {
        if (!guard) return;
        responder(*guard);
        if (guard && guard->isVisible()) guard->reject();
    });
    return ToProgramResult(dialog.exec());
}

ModalResponderScope::ModalResponderScope() {
    ResponderState& state = State();
    state = ResponderState{};
    state.active = true;
}

ModalResponderScope::~ModalResponderScope() { State() = ResponderState{}; }

void ModalResponderScope::Add(ModalResponder responder) { State().queue.push_back(std::move(responder)); }

void ModalResponderScope::AddResult(int id) {
    Add([id](QDialog& dialog) { dialog.done(id); });
}

int ModalResponderScope::Unanswered() const { return State().unanswered; }
int ModalResponderScope::Runs() const { return State().runs; }
int ModalResponderScope::Pending() const { return static_cast<int>(State().queue.size()); }

}  // namespace platform::ui
