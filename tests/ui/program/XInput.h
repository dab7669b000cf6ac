#pragma once
// A person's mouse and keyboard on a virtual X screen, through the XTEST extension: moves,
// clicks and key presses go to whatever window is under them, as real input would.
#include <string>

namespace orvane::test {

class XInput {
public:
    explicit XInput(const std::string& display);
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    bool Ok() const { return display_ != nullptr; }
    // Left button, `count` clicks in quick succession (2: a double-click).
    void Click(int x, int y, int count = 1);
    // One key by its keysym name ("Return", "a", "Tab"), with Ctrl and Alt held when asked.
    void Key(const char* keysym, bool ctrl = false, bool alt = false);
    // Lower-case letters, digits and spaces.
    void Type(const std::string& text);

private:
    void* display_ = nullptr;
};

}  // namespace orvane::test
