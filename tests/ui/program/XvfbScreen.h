#pragma once
// A virtual X server of the tests' own (Xvfb on a display number it picks itself), whose screen
// can be read as a picture at any time through its framebuffer file, and programs started on it.
#include <QImage>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvane::test {

class XvfbScreen {
public:
    // Starts the server with a screen of the given size; Ok() tells whether it runs.
    XvfbScreen(const std::filesystem::path& folder, int width, int height);
    ~XvfbScreen();
    XvfbScreen(const XvfbScreen&) = delete;
    XvfbScreen& operator=(const XvfbScreen&) = delete;

    bool Ok() const { return display_ >= 0; }
    std::string Display() const { return ":" + std::to_string(display_); }
    // The screen as it stands now (null when the framebuffer cannot be read).
    QImage Grab() const;

    // Starts a program on this screen with the given environment changes; its process id. Its
    // standard output and error go to the files named, when named (else where the test's go).
    pid_t Launch(const std::string& program, const std::map<std::string, std::string>& environment,
                 const std::filesystem::path& standardOutput = {}, const std::filesystem::path& standardError = {}) const;
    // Ends a process started by Launch (TERM, then KILL after a grace period) and reaps it.
    static void Stop(pid_t pid);

private:
    std::filesystem::path folder_;
    pid_t server_ = -1;
    int display_ = -1;
};

}  // namespace orvane::test
