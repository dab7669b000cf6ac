#pragma once
// A window's address for posted messages: registers a handler for the window and unregisters it
// when the window is destroyed (or this object goes first), so a post to a destroyed window is
// dropped. The handler runs on the user-interface thread, only while the window exists.
//
// UI thread only (the id it hands out may be used from any thread).
#include <QPointer>
#include <QWidget>

#include "platform/messages/MessageTargets.h"

namespace platform::ui {

class WindowTarget {
public:
    WindowTarget(QWidget* window, platform::messages::MessageHandler handler);
    ~WindowTarget();
    WindowTarget(const WindowTarget&) = delete;
    WindowTarget& operator=(const WindowTarget&) = delete;

    platform::messages::TargetId Id() const { return id_; }

private:
    platform::messages::TargetId id_ = platform::messages::kNoTarget;
    QMetaObject::Connection destroyed_;
};

}  // namespace platform::ui
