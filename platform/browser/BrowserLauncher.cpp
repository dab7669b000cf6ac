#include "platform/browser/BrowserLauncher.h"

#include <mutex>

namespace platform::browser {
namespace {

std::mutex& LauncherMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<BrowserLauncher>& LauncherSlot() {
    static std::shared_ptr<BrowserLauncher> launcher;
    return launcher;
}

}  // namespace

std::shared_ptr<BrowserLauncher> InstallBrowserLauncher(std::shared_ptr<BrowserLauncher> launcher) {
    std::lock_guard<std::mutex> lock(LauncherMutex());
    std::shared_ptr<BrowserLauncher> previous = std::move(LauncherSlot());
    LauncherSlot() = std::move(launcher);
    return previous;
}

std::shared_ptr<BrowserLauncher> InstalledBrowserLauncher() {
    std::lock_guard<std::mutex> lock(LauncherMutex());
    return LauncherSlot();
}

}  // namespace platform::browser
