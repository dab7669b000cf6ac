#pragma once
// A growable byte buffer for HTTP bodies, generated iCalendar text and query results.
// The holder frees it with RHeapBuffer::Free. No terminator is kept.
// Threads: one thread at a time (its holder's).
#include <cstdint>

#include "platform/core/WinTypes.h"

struct RHeapBuffer {
    std::int32_t size;
    char* data;
    // Bytes `data` has room for, its terminator's byte not counted; Append grows it geometrically
    // so that a buffer filled by many small appends is copied only a few times.
    std::int32_t capacity;

    // A new buffer of `bytes` uninitialised bytes; null when memory runs out or `bytes` is negative.
    static RHeapBuffer* Create(int bytes);
    // A buffer that takes over `data` (from malloc, with room for at least size + 1 bytes, as
    // Append relies on) without copying it; null (and `data` freed) when the header cannot be had.
    static RHeapBuffer* Adopt(char* data, int size);
    // Appends n bytes; returns 0 or a Win32 error code, leaving the buffer as it was on failure.
    // A null buffer does nothing and returns 0.
    static DWORD Append(RHeapBuffer* buffer, const char* data, int n);
    // Makes room for n bytes past size (growing as Append does) without changing size, so that
    // a writer can put them in place; returns 0 or a Win32 error code, leaving the buffer as it
    // was on failure. A null buffer does nothing and returns 0.
    static DWORD Reserve(RHeapBuffer* buffer, int n);
    // Frees the data and then the header; null is allowed.
    static void Free(RHeapBuffer* buffer);
};
