#pragma once
// The states of the keyboard's lock keys (Caps Lock, Num Lock, Scroll Lock) as the X server's
// keyboard indicators show them. On a platform without an X display (offscreen, Wayland without
// X) the states are unknown.
//
// UI thread only.
namespace platform::ui {

struct LockKeyStates {
    bool known = false;
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockKeyStates ReadLockKeys();

}  // namespace platform::ui
