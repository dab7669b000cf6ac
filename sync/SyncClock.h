#pragma once
// The local time as the synchronisation layer reads it (subscription ages); tests set a fixed
// clock. May be called from any thread.
#include <functional>

#include "platform/core/WinTypes.h"

void SyncLocalTime(SYSTEMTIME* out);
// Replaces the clock; an empty function restores the system's.
void SetSyncClock(std::function<void(SYSTEMTIME*)> clock);
