#include "ui/app/CSubscriptionDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/ui/ModalRun.h"

bool CSubscriptionDialog::IsAcceptedUrl(const QString& url) {
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty()) return false;
    const QUrl parsed(trimmed, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    const bool known = scheme == "webcal" || scheme == "webcals" || scheme == "http" || scheme == "https";
    return known && parsed.isValid() && !parsed.host().isEmpty();
}

int CSubscriptionDialog::DoModal(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Subscription");
    auto* layout = new QVBoxLayout(&dialog);
    auto* nameLabel = new QLabel("Enter the name you would like for the calendar", &dialog);
    auto* name = new QLineEdit(&dialog);
    name->setObjectName(kName);
    auto* urlLabel = new QLabel("Enter the URL for the calendar subscription", &dialog);
    auto* url = new QLineEdit(&dialog);
    url->setObjectName(kUrl);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    for (QWidget* widget : std::initializer_list<QWidget*>{nameLabel, name, urlLabel, url, buttons}) {
        layout->addWidget(widget);
    }
    dialog.resize(420, dialog.sizeHint().height());
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, [&dialog] { dialog.done(platform::ui::IDCANCEL); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (!IsAcceptedUrl(url->text())) {
            QMessageBox refusal(QMessageBox::Warning, "Subscription", kRefusal, QMessageBox::Ok, &dialog);
            refusal.setTextFormat(Qt::PlainText);
            (void)platform::ui::RunModal(refusal);
            return;
        }
        if (subscriber_) subscriber_(name->text(), url->text().trimmed());
        dialog.done(platform::ui::IDOK);
    });
    return platform::ui::RunModal(dialog);
}
