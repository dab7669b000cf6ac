// Posted messages reach a live window in order and are dropped once the window is destroyed,
// also when they were queued before it went.
#include <gtest/gtest.h>

#include <QWidget>
#include <vector>

#include "platform/messages/UiThreadLoop.h"
#include "platform/ui/WindowTarget.h"
#include "tests/support/GuiApp.h"

using namespace platform::messages;
using platform::ui::WindowTarget;

TEST(WindowTarget, PostsReachTheLiveWindowAndAreDroppedAfterItIsDestroyed) {
    orvane::test::GuiApp();
    std::vector<AppMessage> received;
    auto* window = new QWidget;
    WindowTarget target(window, [&](AppMessage message, std::uint64_t, std::int64_t) { received.push_back(message); });
    const TargetId id = target.Id();
    EXPECT_TRUE(PostAppMessage(id, WM_APP_DATA_CHANGED, 0, 0));
    EXPECT_TRUE(PostAppMessage(id, WM_APP_SYNC_PROGRESS, 0, 0));
    UiThreadLoop::DrainQueued();
    EXPECT_EQ(received, (std::vector<AppMessage>{WM_APP_DATA_CHANGED, WM_APP_SYNC_PROGRESS}));

    EXPECT_TRUE(PostAppMessage(id, WM_APP_CALENDARS_CHANGED, 0, 0));  // queued, then the window goes
    delete window;
    UiThreadLoop::DrainQueued();
    EXPECT_FALSE(PostAppMessage(id, WM_APP_DATA_CHANGED, 0, 0));
    EXPECT_FALSE(IsTargetRegistered(id));
    EXPECT_EQ(received.size(), 2u);
}
