#include "platform/crypto/Rc2Key.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::optional<Rc2Key> Rc2Key::Create(std::span<const std::uint8_t> key, unsigned effectiveBits) {
    if (key.empty() || key.size() > kMaxKeyBytes || effectiveBits == 0 || effectiveBits > kMaxEffectiveBits) {
        return std::nullopt;
    }
    Rc2Key result;
    arctwo_set_key_ekb(&result.ctx_, key.size(), key.data(), effectiveBits);
    return result;
}

void Rc2Key::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) { arctwo_encrypt(&ctx_, kBlockSize, out, in); }

void Rc2Key::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) { arctwo_decrypt(&ctx_, kBlockSize, out, in); }

bool Rc2Key::EncryptFinal(std::span<std::uint8_t> buffer, std::size_t& length) {
    if (length > buffer.size()) {
        return false;
    }
    const std::size_t total = EncipheredLength(length);
    if (total > buffer.size()) {
        return false;
    }
    const auto pad = static_cast<std::uint8_t>(total - length);
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length), buffer.begin() + static_cast<std::ptrdiff_t>(total), pad);

    std::uint8_t chain[kBlockSize] = {};
    for (std::size_t at = 0; at < total; at += kBlockSize) {
        std::uint8_t* block = buffer.data() + at;
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            chain[i] ^= block[i];
        }
        EncryptBlock(chain, block);
        std::memcpy(chain, block, kBlockSize);
    }
    length = total;
    return true;
}

bool Rc2Key::DecryptFinal(std::span<std::uint8_t> buffer, std::size_t& length) {
    if (length == 0 || length % kBlockSize != 0 || length > buffer.size()) {
        return false;
    }
    std::uint8_t chain[kBlockSize] = {};
    std::uint8_t cipher[kBlockSize];
    for (std::size_t at = 0; at < length; at += kBlockSize) {
        std::uint8_t* block = buffer.data() + at;
        std::memcpy(cipher, block, kBlockSize);
        DecryptBlock(cipher, block);
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            block[i] ^= chain[i];
        }
        std::memcpy(chain, cipher, kBlockSize);
    }

    const std::uint8_t pad = buffer[length - 1];
    bool padOk = pad >= 1 && pad <= kBlockSize;
    for (std::size_t i = 1; padOk && i <= pad; ++i) {
        padOk = buffer[length - i] == pad;
    }
    if (!padOk) {
        std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length), std::uint8_t{0});
        return false;
    }
    length -= pad;
    return true;
}

}  // namespace platform
