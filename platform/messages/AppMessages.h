#pragma once
// The application's own message numbers, posted from workers and dialogs to the windows that
// redraw. They carry no data a receiver reads beyond the message number itself, except where a
// message says what its two integers hold.
#include <cstdint>

namespace platform::messages {

using AppMessage = std::uint32_t;

inline constexpr AppMessage WM_APP_BASE = 0x8000;
// Accounts, calendars or items changed: rebuild the calendar tree and reload the month.
inline constexpr AppMessage WM_APP_DATA_CHANGED = WM_APP_BASE + 0x101;
// An account was removed: the frame rebuilds its New Event menu.
inline constexpr AppMessage WM_APP_ACCOUNTS_CHANGED = WM_APP_BASE + 0x103;
// A refresh reconciled an account's calendar list.
inline constexpr AppMessage WM_APP_CALENDARS_CHANGED = WM_APP_BASE + 0x104;
// A long download stored another batch of items.
inline constexpr AppMessage WM_APP_SYNC_PROGRESS = WM_APP_BASE + 0x105;
// An import tried another item; wParam and lParam carry the items done and all items.
inline constexpr AppMessage WM_APP_IMPORT_PROGRESS = WM_APP_BASE + 0x106;
// An import ended; its owner reads how it went.
inline constexpr AppMessage WM_APP_IMPORT_FINISHED = WM_APP_BASE + 0x107;

static_assert(WM_APP_DATA_CHANGED == 0x8101 && WM_APP_ACCOUNTS_CHANGED == 0x8103 &&
              WM_APP_CALENDARS_CHANGED == 0x8104 && WM_APP_SYNC_PROGRESS == 0x8105);

}  // namespace platform::messages
