#pragma once
// SHA-256 of a byte string, and bytes from the system's random source.
// Thread rule: free functions without shared state; any thread.
#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256Of(const void* data, std::size_t length);

// Fills `out` with `length` bytes from the kernel's random source; false when it failed.
[[nodiscard]] bool FillRandomBytes(void* out, std::size_t length);

}  // namespace platform
