#include "platform/ui/DesktopBrowserLauncher.h"

#include <QDesktopServices>

#include "platform/messages/MessageTargets.h"

namespace platform::ui {

DesktopBrowserLauncher::DesktopBrowserLauncher(Opener opener) : opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool DesktopBrowserLauncher::Open(const std::string& url) {
    // The address is already encoded; a text that is not a web address is never handed to the
    // desktop, which would open files or run other handlers for it.
    const QUrl parsed = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return false;
    }
    const Opener opener = opener_;
    platform::messages::RunOnUiThread([opener, parsed] { static_cast<void>(opener(parsed)); });
    return true;
}

}  // namespace platform::ui
