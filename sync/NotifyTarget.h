#pragma once
// The account objects' way to the user-interface thread: posted messages to a registered
// target, the per-account refresh timer, and work handed to the user-interface thread.
// May be called from any thread.
#include <cstdint>
#include <functional>

#include "platform/messages/AppMessages.h"
#include "platform/messages/MessageTargets.h"
#include "platform/string/CString.h"

// A registered message target; 0 is none.
using NotifyTarget = platform::messages::TargetId;

// Posts asynchronously; a post to a target that has gone is dropped.
void PostToTarget(NotifyTarget target, platform::messages::AppMessage message, std::uint64_t wParam,
                  std::int64_t lParam);
// Arms (or re-arms) the repeating timer of one account on `target`; an interval of 0 minutes or
// less kills it instead.
void ArmRefreshTimer(NotifyTarget target, const CStringA& accountGuid, std::int64_t minutes, std::function<void()> fn);
void KillRefreshTimer(NotifyTarget target, const CStringA& accountGuid);
// Runs `fn` on the user-interface thread, later; never waits for it.
void RunOnUserInterfaceThread(std::function<void()> fn);
