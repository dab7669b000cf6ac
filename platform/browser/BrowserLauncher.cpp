#include "platform/browser/BrowserLauncher.h"

#include "platform/threads/Mutex.h"

namespace platform::browser {
namespace {

platform::Mutex g_launcherLock;
std::shared_ptr<BrowserLauncher> g_launcher ORVANE_GUARDED_BY(g_launcherLock);

}  // namespace

std::shared_ptr<BrowserLauncher> InstallBrowserLauncher(std::shared_ptr<BrowserLauncher> launcher) {
    MutexLock lock(g_launcherLock);
    std::shared_ptr<BrowserLauncher> previous = std::move(g_launcher);
    g_launcher = std::move(launcher);
    return previous;
}

std::shared_ptr<BrowserLauncher> InstalledBrowserLauncher() {
    MutexLock lock(g_launcherLock);
    return g_launcher;
}

}  // namespace platform::browser
