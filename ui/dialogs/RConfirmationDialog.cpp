#include "ui/dialogs/RConfirmationDialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"

void RConfirmationDialog::SetText(const CStringW& title, const CStringW& text) {
    title_ = title;
    text_ = text;
}

int RConfirmationDialog::DoModal(QWidget* parent) {
    using platform::ui::ToQString;
    QDialog dialog(parent);
    dialog.setWindowTitle("Confirmation Dialog");
    auto* outer = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    outer->addLayout(row);
    auto* icon = new QLabel(&dialog);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, &dialog).pixmap(iconSize));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel("Confirmation Text", &dialog);
    text->setObjectName(kTextControl);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton("OK", &dialog);
    auto* cancel = new QPushButton("Cancel", &dialog);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(platform::ui::IDOK); });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(platform::ui::IDCANCEL); });

    // The window's initialisation: caption and text from the caller.
    dialog.setWindowTitle(ToQString(title_));
    text->setText(ToQString(text_));
    return platform::ui::RunModal(dialog);
}
