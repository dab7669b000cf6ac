#pragma once
// An MD5 hash object: data is added in pieces and the value read when needed.
// Threads: one thread at a time per hash object.
#include <array>
#include <cstddef>
#include <cstdint>

#include <nettle/md5.h>

namespace platform {

using Md5Digest = std::array<std::uint8_t, MD5_DIGEST_SIZE>;

class Md5Hash {
public:
    Md5Hash();

    void HashData(const void* data, std::size_t length);
    // The hash of everything added so far; more data may still be added afterwards.
    Md5Digest Value() const;

    static Md5Digest Of(const void* data, std::size_t length);

private:
    md5_ctx ctx_;
};

}  // namespace platform
