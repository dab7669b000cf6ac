#pragma once
// Drives the event dialog's real controls from a modal responder.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>

#include "ui/event/REditEventDialog.h"

namespace orvane::test {

template <typename T>
T* EventControl(QDialog& dialog, const char* name) {
    return dialog.findChild<T*>(name);
}

inline void ClickOk(QDialog& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

inline void SetSummary(QDialog& dialog, const QString& text) {
    EventControl<QLineEdit>(dialog, REditEventDialog::kSummary)->setText(text);
}

// Chooses a repeat entry as the user does (the list's own signal).
inline void ChooseRepeat(QDialog& dialog, int id) {
    auto* repeat = EventControl<QComboBox>(dialog, REditEventDialog::kRepeat);
    const int index = repeat->findData(id);
    repeat->setCurrentIndex(index);
    emit repeat->activated(index);
}

}  // namespace orvane::test
