// The desktop browser launcher hands web addresses to the user-interface thread and nothing else.
#include <gtest/gtest.h>

#include <QUrl>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/messages/MessageTargets.h"
#include "platform/messages/UiThreadLoop.h"
#include "platform/ui/DesktopBrowserLauncher.h"
#include "tests/support/GuiApp.h"

using platform::ui::DesktopBrowserLauncher;

TEST(DesktopBrowserLauncher, OpensWebAddressesOnTheUiThreadOnly) {
    orvane::test::GuiApp();
    std::vector<QString> opened;
    std::atomic<bool> onUiThread{true};
    DesktopBrowserLauncher launcher([&](const QUrl& url) {
        if (!platform::messages::IsUiThread()) onUiThread = false;
        opened.push_back(url.toString(QUrl::FullyEncoded));
        return true;
    });
    const std::string address = "https://accounts.example/o/oauth2/auth?client_id=a%26b&login_hint=jane%2Btag%40example.com";
    bool handed = false;
    // Asked from a worker, as the sign-in does; the page opens only when the UI thread runs.
    std::thread worker([&] { handed = launcher.Open(address); });
    worker.join();
    EXPECT_TRUE(handed);
    EXPECT_TRUE(opened.empty());
    platform::messages::UiThreadLoop::DrainQueued();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toStdString(), address);
    EXPECT_TRUE(onUiThread);

    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "/relative/path", "http://", "not a url at all"}) {
        EXPECT_FALSE(launcher.Open(refused)) << refused;
    }
    platform::messages::UiThreadLoop::DrainQueued();
    EXPECT_EQ(opened.size(), 1u);
}
