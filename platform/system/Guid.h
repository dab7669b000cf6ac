#pragma once
// Fresh identifiers: random (version 4, RFC 4122 variant) UUIDs and their text form.
// Threads: plain functions; any thread.
#include <cstdint>
#include <string>

namespace platform {

struct Guid {
    std::uint8_t bytes[16];
};

// Fills `out` with a new random UUID from the kernel's random source; returns 0 or an errno
// value, leaving `out` untouched on failure.
int NewRandomGuid(Guid& out);

// The 36-character text form: lower-case hexadecimal in groups of 8-4-4-4-12 with dashes, no braces.
std::string GuidToText(const Guid& guid);

}  // namespace platform
