#pragma once
// An RC2 key with its effective key length, enciphering whole messages in CBC mode from a zero
// initial vector with PKCS#5 padding on the final block: the cipher text is the plain text
// rounded up to the next multiple of 8 bytes, with a whole extra block when it already is one.
// Threads: one thread at a time per key object.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include <nettle/arctwo.h>

namespace platform {

class Rc2Key {
public:
    static constexpr std::size_t kBlockSize = ARCTWO_BLOCK_SIZE;
    static constexpr std::size_t kMaxKeyBytes = ARCTWO_MAX_KEY_SIZE;
    static constexpr unsigned kMaxEffectiveBits = 1024;

    // Key bytes 1..128 and effective bits 1..1024; anything else gives no key.
    static std::optional<Rc2Key> Create(std::span<const std::uint8_t> key, unsigned effectiveBits);

    // The length that a message of `plainLength` bytes enciphers to.
    static constexpr std::size_t EncipheredLength(std::size_t plainLength) {
        return (plainLength / kBlockSize + 1) * kBlockSize;
    }

    // One block without chaining.
    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out);
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out);

    // Enciphers the first `length` bytes of `buffer` in place and sets `length` to the cipher
    // text's length. False, with nothing changed, when the buffer cannot hold the result.
    bool EncryptFinal(std::span<std::uint8_t> buffer, std::size_t& length);

    // Deciphers `length` bytes in place and sets `length` to the plain text's length. False when
    // `length` is not a positive multiple of the block size or the padding is wrong; `length`
    // is then unchanged and the buffer wiped, so no guessed plain text is handed out.
    bool DecryptFinal(std::span<std::uint8_t> buffer, std::size_t& length);

private:
    Rc2Key() = default;

    arctwo_ctx ctx_{};
};

}  // namespace platform
