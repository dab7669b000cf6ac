#include "foundation/debug/DebugTrace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/core/WinTypes.h"
#include "platform/string/CString.h"

void DebugTrace(const char* format, ...) {
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
