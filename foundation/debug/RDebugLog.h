#pragma once
// The debug log file, switched on by the "DebugLog" setting. One program-wide instance,
// g_debugLog. Each record is appended by opening the file, writing the whole record under an
// exclusive lock and closing it again, so records from different threads never interleave.
// Until Open has set the path every write is dropped.
// Threads: safe to share; the path is guarded by its mutex and each record is appended whole under
// a file lock.
#include <cstdint>
#include <string>

#include "platform/threads/Mutex.h"

// Longest log path kept, in UTF-16 characters including the NUL.
inline constexpr int kDebugLogMaxPath = 260;

class RDebugLog {
public:
    constexpr RDebugLog() = default;
    RDebugLog(const RDebugLog&) = delete;
    RDebugLog& operator=(const RDebugLog&) = delete;

    // With a UTF-8 path: log to that file. Without one: log to a new file in the documents folder
    // named "Brenmoor DebugLog %04d-%02d-%02d-%02d-%02d-%02d.txt" after the local time (the folder
    // is created when missing; when it cannot be, the path stays as it was). A path that does not
    // fit kDebugLogMaxPath is not cut (that would log into some other file): the path is emptied.
    virtual void Open(const char* utf8PathOrNull);
    // One line: the formatted message followed by "\r\n". Long messages are written whole.
    virtual void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Raw bytes, written whole.
    virtual void Write(const char* data, int bytes);
    // Raw UTF-16 code units (2 bytes each).
    virtual void WriteWide(const char16_t* data, int chars);

    // Appends the bytes as one record. When another writer holds the file, waits up to
    // kLockWaitMilliseconds for it and drops the record after that.
    void AppendToFile(const void* data, int bytes);

    // The current path as UTF-8; empty while logging is off.
    std::string PathUtf8() const;
    // Empties the path, so later writes are dropped (the exit routine does this).
    void Reset();

    static constexpr int kLockWaitMilliseconds = 2000;

private:
    mutable platform::Mutex pathLock_;
    // The log file's full path, NUL-terminated; empty while logging is off.
    char16_t path[kDebugLogMaxPath] ORVANE_GUARDED_BY(pathLock_) = {};
};

extern RDebugLog g_debugLog;
