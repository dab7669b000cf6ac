#pragma once
// Binds the posted-message queue and the timers to the thread that runs the Qt event loop.
// The application (and every test program that posts) creates one after its QCoreApplication,
// on that thread, and destroys it before the QCoreApplication. Before it exists messages
// wait in the queue; when it goes, everything still queued and every timer is dropped.
//
// Belongs to the user-interface thread.
#include <memory>

class QObject;

namespace platform::messages {

class UiThreadLoop {
public:
    UiThreadLoop();
    ~UiThreadLoop();
    UiThreadLoop(const UiThreadLoop&) = delete;
    UiThreadLoop& operator=(const UiThreadLoop&) = delete;

    // Runs everything queued so far (also what the handlers post meanwhile is left for the next
    // turn of the event loop). Normally the event loop calls this; tests may too.
    static void DrainQueued();

private:
    std::unique_ptr<QObject> waker_;
};

}  // namespace platform::messages
