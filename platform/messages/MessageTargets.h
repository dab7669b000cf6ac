#pragma once
// Posted messages between threads: a receiver (a window of the user interface) registers a
// handler and gets a target id; any thread may post to that id. Messages reach the handler on
// the user-interface thread, asynchronously and in the order they were posted. A post to an id
// that was unregistered (or never existed) is dropped, as a post to a destroyed window fails.
// Messages carry two integers only, never an object a receiver could reach through a pointer.
//
// All functions here may be called from any thread.
#include <cstdint>
#include <functional>

#include "platform/messages/AppMessages.h"

namespace platform::messages {

// 0 names no target; registered ids are never reused.
using TargetId = std::uint64_t;
inline constexpr TargetId kNoTarget = 0;

using MessageHandler = std::function<void(AppMessage message, std::uint64_t wParam, std::int64_t lParam)>;

// Registers a receiver; its handler runs on the user-interface thread only.
[[nodiscard]] TargetId RegisterTarget(MessageHandler handler);
// Removes the receiver: messages still queued for it are dropped and its timers stop. A handler
// that is running at the time finishes first when this is called from another thread.
void UnregisterTarget(TargetId target);
bool IsTargetRegistered(TargetId target);

// Queues a message for the target; false (nothing queued) when the target is not registered.
bool PostAppMessage(TargetId target, AppMessage message, std::uint64_t wParam, std::int64_t lParam);

// Queues a function to run on the user-interface thread, after everything queued before it.
// Also asynchronous when called on that thread.
void RunOnUiThread(std::function<void()> function);

// True on the thread that runs the bound message loop (see UiThreadLoop).
bool IsUiThread();

}  // namespace platform::messages
