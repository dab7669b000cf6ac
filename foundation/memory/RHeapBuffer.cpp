#include "foundation/memory/RHeapBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

RHeapBuffer* RHeapBuffer::Create(int bytes) {
    if (bytes < 0) {
        return nullptr;
    }
    // malloc(0) may give null; one spare byte keeps a zero-length buffer valid.
    char* data = static_cast<char*>(std::malloc(static_cast<size_t>(bytes) + 1));
    if (data == nullptr) {
        return nullptr;
    }
    auto* buffer = static_cast<RHeapBuffer*>(std::malloc(sizeof(RHeapBuffer)));
    if (buffer == nullptr) {
        std::free(data);
        return nullptr;
    }
    buffer->size = bytes;
    buffer->data = data;
    buffer->capacity = bytes;
    return buffer;
}

RHeapBuffer* RHeapBuffer::Adopt(char* data, int size) {
    if (data == nullptr || size < 0) {
        std::free(data);
        return nullptr;
    }
    auto* buffer = static_cast<RHeapBuffer*>(std::malloc(sizeof(RHeapBuffer)));
    if (buffer == nullptr) {
        std::free(data);
        return nullptr;
    }
    buffer->size = size;
    buffer->data = data;
    buffer->capacity = size;
    return buffer;
}

DWORD RHeapBuffer::Reserve(RHeapBuffer* buffer, int n) {
    if (buffer == nullptr) {
        return ERROR_SUCCESS;
    }
    if (n < 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (buffer->size > std::numeric_limits<std::int32_t>::max() - n) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const size_t newSize = static_cast<size_t>(buffer->size) + static_cast<size_t>(n);
    if (newSize > static_cast<size_t>(buffer->capacity)) {
        // Half as much again (capped where the size field ends), so that many small appends
        // copy the data only a few times; just what is needed when that much cannot be had.
        constexpr size_t kLargest = static_cast<size_t>(std::numeric_limits<std::int32_t>::max());
        const size_t current = static_cast<size_t>(buffer->capacity);
        size_t room = std::max({newSize, size_t{64}, std::min(kLargest, current + current / 2)});
        room = std::min(room, kLargest);
        char* grown = static_cast<char*>(std::realloc(buffer->data, room + 1));
        if (grown == nullptr && room > newSize) {
            room = newSize;
            grown = static_cast<char*>(std::realloc(buffer->data, room + 1));
        }
        if (grown == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        buffer->data = grown;
        buffer->capacity = static_cast<std::int32_t>(room);
    }
    return ERROR_SUCCESS;
}

DWORD RHeapBuffer::Append(RHeapBuffer* buffer, const char* data, int n) {
    if (buffer == nullptr) {
        return ERROR_SUCCESS;
    }
    if (n < 0 || (n > 0 && data == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (n == 0) {
        return ERROR_SUCCESS;
    }
    if (const DWORD error = Reserve(buffer, n); error != ERROR_SUCCESS) {
        return error;
    }
    std::memcpy(buffer->data + buffer->size, data, static_cast<size_t>(n));
    buffer->size += n;
    return ERROR_SUCCESS;
}

void RHeapBuffer::Free(RHeapBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    std::free(buffer->data);
    std::free(buffer);
}
