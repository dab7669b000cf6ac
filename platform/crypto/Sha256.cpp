#include "platform/crypto/Sha256.h"

#include <sys/random.h>

#include <cerrno>

#include <nettle/sha2.h>

namespace platform {

Sha256Digest Sha256Of(const void* data, std::size_t length) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    if (data != nullptr && length > 0) sha256_update(&ctx, length, static_cast<const std::uint8_t*>(data));
    Sha256Digest digest{};
    sha256_digest(&ctx, digest.size(), digest.data());
    return digest;
}

bool FillRandomBytes(void* out, std::size_t length) {
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::size_t filled = 0;
    while (filled < length) {
        const ssize_t got = getrandom(bytes + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace platform
