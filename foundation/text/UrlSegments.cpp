#include "foundation/text/UrlSegments.h"

#include <cstring>

namespace {

// Length of the text in the buffer, or `capacity` when no terminator lies within it.
size_t TextLength(const char* buffer, size_t capacity) {
    const void* terminator = std::memchr(buffer, '\0', capacity);
    return terminator != nullptr ? static_cast<size_t>(static_cast<const char*>(terminator) - buffer) : capacity;
}

}  // namespace

RResult AppendUrlSegment(char* buffer, size_t capacity, const char* segment) {
    if (buffer == nullptr || segment == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const size_t length = TextLength(buffer, capacity);
    if (length >= capacity) {
        return R_E_INVALID_ARGUMENT;
    }
    const size_t slash = (length > 0 && buffer[length - 1] != '/') ? 1 : 0;
    const size_t segmentLength = std::strlen(segment);
    if (segmentLength >= capacity - length - slash) {
        return R_E_BUFFER_TOO_SMALL;
    }
    // The segment may lie in the buffer itself, so it is moved before the slash is written.
    std::memmove(buffer + length + slash, segment, segmentLength);
    if (slash != 0) {
        buffer[length] = '/';
    }
    buffer[length + slash + segmentLength] = '\0';
    return R_OK;
}

RResult EnsureTrailingSlash(char* buffer, size_t capacity) { return AppendUrlSegment(buffer, capacity, ""); }
