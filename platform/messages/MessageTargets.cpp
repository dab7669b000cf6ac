#include "platform/messages/MessageTargets.h"

#include "platform/messages/UiDispatcher.h"

namespace platform::messages {

using detail::UiDispatcher;

TargetId RegisterTarget(MessageHandler handler) { return UiDispatcher::Instance().Register(std::move(handler)); }

void UnregisterTarget(TargetId target) { UiDispatcher::Instance().Unregister(target); }

bool IsTargetRegistered(TargetId target) { return UiDispatcher::Instance().IsRegistered(target); }

bool PostAppMessage(TargetId target, AppMessage message, std::uint64_t wParam, std::int64_t lParam) {
    return UiDispatcher::Instance().Post(target, message, wParam, lParam);
}

void RunOnUiThread(std::function<void()> function) { UiDispatcher::Instance().RunOnUi(std::move(function)); }

bool IsUiThread() { return UiDispatcher::Instance().OnUiThread(); }

}  // namespace platform::messages
