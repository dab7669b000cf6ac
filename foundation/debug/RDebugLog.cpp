#include "foundation/debug/RDebugLog.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "foundation/debug/DebugTrace.h"
#include "platform/core/WinTypes.h"
#include "platform/files/XdgFolders.h"
#include "platform/string/CString.h"
#include "platform/string/Utf.h"

// Constant-initialised, and never destroyed: threads still writing at exit find it intact.
constinit RDebugLog g_debugLog;

namespace {

void ResetProgramLog() { g_debugLog.Reset(); }

// Holds the record's file open under an exclusive lock; other writers wait for it.
bool LockWithin(int fd, int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool WriteAll(int fd, const char* data, size_t bytes) {
    while (bytes > 0) {
        const ssize_t put = ::write(fd, data, bytes);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += put;
        bytes -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

void RDebugLog::Open(const char* utf8PathOrNull) {
    static const bool exitRoutineRegistered = std::atexit(ResetProgramLog) == 0;
    (void)exitRoutineRegistered;

    std::u16string newPath;
    if (utf8PathOrNull != nullptr) {
        newPath = platform::Utf8ToUtf16(utf8PathOrNull);
    } else {
        const std::string folder = platform::DocumentsFolder();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (!std::filesystem::is_directory(folder, error)) {
            return;  // the folder is not known: the path stays as it was
        }
        SYSTEMTIME now{};
        GetLocalTime(&now);
        newPath = platform::Utf8ToUtf16(folder + "/" +
                                        platform::Format("Brenmoor DebugLog %04d-%02d-%02d-%02d-%02d-%02d.txt", now.wYear,
                                                         now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond));
    }

    platform::MutexLock lock(pathLock_);
    if (newPath.size() >= static_cast<size_t>(kDebugLogMaxPath)) {
        path[0] = 0;
        DebugTrace("Debug log path too long (%zu characters); logging is off", newPath.size());
        return;
    }
    std::char_traits<char16_t>::copy(path, newPath.c_str(), newPath.size() + 1);
}

void RDebugLog::Printf(const char* format, ...) {
    // The line grows with the message: nothing is cut, nothing overruns.
    va_list args;
    va_start(args, format);
    std::string line = platform::FormatV(format, args);
    va_end(args);
    line += "\r\n";
    AppendToFile(line.data(), static_cast<int>(line.size()));
}

void RDebugLog::Write(const char* data, int bytes) { AppendToFile(data, bytes); }

void RDebugLog::WriteWide(const char16_t* data, int chars) {
    if (chars <= 0 || chars > INT32_MAX / 2) {
        return;
    }
    AppendToFile(data, chars * 2);
}

void RDebugLog::AppendToFile(const void* data, int bytes) {
    if (data == nullptr || bytes <= 0) {
        return;
    }
    const std::string file = PathUtf8();
    if (file.empty()) {
        return;
    }
    // The log may hold sign-in tokens: readable by the user only.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    if (LockWithin(fd, kLockWaitMilliseconds)) {
        WriteAll(fd, static_cast<const char*>(data), static_cast<size_t>(bytes));
    }
    ::close(fd);  // also releases the lock
}

std::string RDebugLog::PathUtf8() const {
    platform::MutexLock lock(pathLock_);
    return platform::Utf16ToUtf8(path);
}

void RDebugLog::Reset() {
    platform::MutexLock lock(pathLock_);
    path[0] = 0;
}
