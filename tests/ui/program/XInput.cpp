#include "tests/ui/program/XInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>

namespace orvane::test {
namespace {

Display* Dpy(void* display) { return static_cast<Display*>(display); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

XInput::XInput(const std::string& display) {
    Display* opened = XOpenDisplay(display.c_str());
    int event = 0, error = 0, major = 0, minor = 0;
    if (opened != nullptr && !XTestQueryExtension(opened, &event, &error, &major, &minor)) {
        XCloseDisplay(opened);
        opened = nullptr;
    }
    display_ = opened;
}

XInput::~XInput() {
    if (display_ != nullptr) XCloseDisplay(Dpy(display_));
}

void XInput::Click(int x, int y, int count) {
    if (display_ == nullptr) return;
    Display* d = Dpy(display_);
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XFlush(d);
    Pause(100);
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XFlush(d);
        Pause(60);
    }
}

void XInput::Key(const char* keysym, bool ctrl, bool alt) {
    if (display_ == nullptr) return;
    Display* d = Dpy(display_);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym));
    const KeyCode control = XKeysymToKeycode(d, XK_Control_L);
    const KeyCode meta = XKeysymToKeycode(d, XK_Alt_L);
    if (ctrl) XTestFakeKeyEvent(d, control, True, CurrentTime);
    if (alt) XTestFakeKeyEvent(d, meta, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (alt) XTestFakeKeyEvent(d, meta, False, CurrentTime);
    if (ctrl) XTestFakeKeyEvent(d, control, False, CurrentTime);
    XFlush(d);
    Pause(40);
}

void XInput::Type(const std::string& text) {
    for (char c : text) {
        const char name[2] = {c, 0};
        Key(c == ' ' ? "space" : name);
    }
}

}  // namespace orvane::test
