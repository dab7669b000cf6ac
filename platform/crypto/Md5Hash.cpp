#include "platform/crypto/Md5Hash.h"

namespace platform {

Md5Hash::Md5Hash() { md5_init(&ctx_); }

void Md5Hash::HashData(const void* data, std::size_t length) {
    if (length > 0 && data != nullptr) {
        md5_update(&ctx_, length, static_cast<const std::uint8_t*>(data));
    }
}

Md5Digest Md5Hash::Value() const {
    // md5_digest resets its context, so read from a copy and keep this one going.
    md5_ctx copy = ctx_;
    Md5Digest digest{};
    md5_digest(&copy, digest.size(), digest.data());
    return digest;
}

Md5Digest Md5Hash::Of(const void* data, std::size_t length) {
    Md5Hash hash;
    hash.HashData(data, length);
    return hash.Value();
}

}  // namespace platform
