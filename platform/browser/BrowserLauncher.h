#pragma once
// Opening a web page in the user's browser. The layers that need it (the sign-in) see only this
// interface; the application installs the launcher that reaches the desktop, tests install one
// of their own. With none installed nothing can be opened.
// Thread rule: may be shared between threads; the installed launcher is swapped under a lock
// and each call runs on the caller's thread, so a launcher that needs the user-interface
// thread posts its work there.
#include <memory>
#include <string>

namespace platform::browser {

class BrowserLauncher {
public:
    virtual ~BrowserLauncher() = default;
    // Asks for `url` to be shown; true when the request was handed on (the page may open
    // later). Must not block on the user.
    [[nodiscard]] virtual bool Open(const std::string& url) = 0;
};

// Installs `launcher` (null removes it); returns the one installed before.
std::shared_ptr<BrowserLauncher> InstallBrowserLauncher(std::shared_ptr<BrowserLauncher> launcher);

// The installed launcher, or null.
std::shared_ptr<BrowserLauncher> InstalledBrowserLauncher();

}  // namespace platform::browser
