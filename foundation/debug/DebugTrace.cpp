#include "foundation/debug/DebugTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/core/WinTypes.h"
#include "platform/string/CString.h"

namespace {

std::atomic<bool>& TraceOn() {
    static std::atomic<bool> on = [] {
        const char* asked = std::getenv("ORVANE_TRACE");
        return asked != nullptr && *asked != '\0' && std::strcmp(asked, "0") != 0;
    }();
    return on;
}

}  // namespace

void SetDebugTraceOn(bool on) { TraceOn().store(on, std::memory_order_relaxed); }

bool IsDebugTraceOn() { return TraceOn().load(std::memory_order_relaxed); }

void DebugTrace(const char* format, ...) {
    if (!IsDebugTraceOn()) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // The line grows with the message, so no message is cut or overruns a fixed buffer.
    std::string line = platform::Format("%04d-%02d-%02d %02d:%02d:%02d:%03d ", now.wYear, now.wMonth, now.wDay,
                                        now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    va_list args;
    va_start(args, format);
    line += platform::FormatV(format, args);
    va_end(args);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}
