// Linked beside the program's own main into orvane_start_probe, the program that the start-up
// benchmark starts afresh for each measurement. The program runs as it always does; this file
// only watches it: once the month host has painted its first picture, the moment (CLOCK_MONOTONIC,
// nanoseconds) goes to standard output as "first-month <ns>" with the process's peak and present
// resident memory ("peak-kb", "rss-kb"), and the program is asked to quit, so its own shut-down
// runs. The memory is read here rather than by the parent's wait4: the kernel carries the
// spawning process's own peak over into its child's at exec.
// ORVANE_START_PROBE_NOW=<seconds since 1970> sets the program's clock to that instant, so that
// "today" lies in the data it shows.
#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/start/MonotonicClock.h"
#include "platform/core/ClockOverride.h"
#include "ui/view/RContentPlaceHolderWnd.h"

namespace {

// Copies the "VmHWM" and "VmRSS" lines of /proc/self/status to standard output.
void PrintResidentMemory() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return;
    char line[256];
    long long kb = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %lld", &kb) == 1) std::printf("peak-kb %lld\n", kb);
        if (std::sscanf(line, "VmRSS: %lld", &kb) == 1) std::printf("rss-kb %lld\n", kb);
    }
    std::fclose(status);
}

class FirstPaintWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && dynamic_cast<RContentPlaceHolderWnd*>(watched) != nullptr) {
            seen_ = true;
            // Queued, so that it runs once this paint has been handled.
            QMetaObject::invokeMethod(
                this,
                [] {
                    std::printf("first-month %lld\n", MonotonicNanoseconds());
                    PrintResidentMemory();
                    std::fflush(stdout);
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool seen_ = false;
};

// Runs when the program constructs its application object.
void WatchForFirstMonth() {
    std::printf("application %lld\n", MonotonicNanoseconds());
    if (const char* now = std::getenv("ORVANE_START_PROBE_NOW"); now != nullptr && *now) {
        platform::SetClockOverride(std::chrono::system_clock::from_time_t(std::atoll(now)));
    }
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new FirstPaintWatch(app));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchForFirstMonth)
