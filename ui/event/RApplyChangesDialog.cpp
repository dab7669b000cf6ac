#include "ui/event/RApplyChangesDialog.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/ui/ModalRun.h"

int RApplyChangesDialog::DoModal(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Apply Changes To");
    auto* grid = new QGridLayout(&dialog);
    struct Choice {
        int id;
        const char* name;
        const char* text;
        const char* explanation;
    };
    const Choice choices[] = {
        {kThisInstance, kThisButton, "Only This Instance", "Changes made will apply only to this instance of the event."},
        {kAllFuture, kFutureButton, "All Future Instances",
         "Changes made will apply to this and future instances of the recurring event."},
        {kAllInstances, kAllButton, "All Instances",
         "Changes made will apply to all instances of the recurring event.  All exceptions will be lost."},
    };
    int row = 0;
    for (const Choice& choice : choices) {
        auto* button = new QPushButton(choice.text, &dialog);
        button->setObjectName(choice.name);
        if (choice.id == kThisInstance) button->setDefault(true);
        auto* label = new QLabel(choice.explanation, &dialog);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        grid->addWidget(button, row, 0);
        grid->addWidget(label, row, 1);
        const int id = choice.id;
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, id] { dialog.done(id); });
        ++row;
    }
    auto* cancel = new QPushButton("Cancel", &dialog);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kCancel); });
    grid->addWidget(cancel, row, 0);
    grid->setColumnMinimumWidth(1, 320);
    return platform::ui::RunModal(dialog);
}
