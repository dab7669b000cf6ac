#include "platform/ui/LockKeys.h"

// Qt's headers come before Xlib's, whose macros (Bool, Status) would break them.
#include <QGuiApplication>
#include <memory>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace platform::ui {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// A connection of its own to the display the program shows on, made on first use.
Display* IndicatorDisplay() {
    static std::unique_ptr<Display, DisplayCloser> display;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (QGuiApplication::platformName() == "xcb") display.reset(XOpenDisplay(nullptr));
    }
    return display.get();
}

// The indicator's bit in the state mask, by its name; 0 when the server has no such indicator.
unsigned long IndicatorBit(Display* display, const char* name) {
    int index = -1;
    Bool on = False;
    const Atom atom = XInternAtom(display, name, False);
    if (!XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr) || index < 0 || index >= 32) return 0;
    return 1UL << index;
}

}  // namespace

LockKeyStates ReadLockKeys() {
    LockKeyStates states;
    Display* display = IndicatorDisplay();
    if (display == nullptr) return states;
    unsigned int mask = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &mask) != Success) return states;
    states.known = true;
    states.caps = (mask & IndicatorBit(display, "Caps Lock")) != 0;
    states.num = (mask & IndicatorBit(display, "Num Lock")) != 0;
    states.scroll = (mask & IndicatorBit(display, "Scroll Lock")) != 0;
    return states;
}

}  // namespace platform::ui
