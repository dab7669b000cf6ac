#pragma once
// Building server paths in a caller's fixed character buffer. Each operation is told the
// buffer's capacity in bytes (terminator included) and never writes past it: a result that
// would not fit is refused with R_E_BUFFER_TOO_SMALL and the buffer is left as it was, so a
// path is never silently cut into a different, wrong address.
#include <cstddef>

#include "foundation/ResultCodes.h"

// Appends '/' when the buffer is non-empty and does not end with '/', then `segment`.
// Returns 0; R_E_BUFFER_TOO_SMALL when the result and its terminator exceed `capacity`;
// R_E_INVALID_ARGUMENT for a null buffer or segment, or a buffer with no terminator within `capacity`.
RResult AppendUrlSegment(char* buffer, size_t capacity, const char* segment);

// Appends '/' when the buffer is non-empty and does not end with '/'. Results as AppendUrlSegment.
RResult EnsureTrailingSlash(char* buffer, size_t capacity);
