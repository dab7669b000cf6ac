#pragma once
// Opens web pages in the user's desktop browser (QDesktopServices, that is xdg-open). The
// application installs one as the program's browser launcher; the opening is queued to the
// user-interface thread, so a worker asking for a page never waits for it.
// Thread rule: may be shared between threads; Open may be called from any thread.
#include <QUrl>
#include <functional>
#include <string>

#include "platform/browser/BrowserLauncher.h"

namespace platform::ui {

class DesktopBrowserLauncher : public platform::browser::BrowserLauncher {
public:
    // What shows the page, on the user-interface thread; QDesktopServices::openUrl by default.
    using Opener = std::function<bool(const QUrl& url)>;
    explicit DesktopBrowserLauncher(Opener opener = {});

    // Only absolute http and https addresses are opened; anything else is refused (false).
    bool Open(const std::string& url) override;

private:
    Opener opener_;
};

}  // namespace platform::ui
