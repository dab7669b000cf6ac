#pragma once
// Key derivation as the system's default cryptographic provider does it for an RC2 key when no
// key length is asked for: the first 5 bytes (40 bits) of the hash value are the key, 11 zero
// salt bytes follow them, and the effective key length is 40 bits. Passwords enciphered by
// earlier versions of the program depend on this exact rule.
// Threads: a plain function; any thread.
#include <array>
#include <cstdint>

#include "platform/crypto/Md5Hash.h"
#include "platform/crypto/Rc2Key.h"

namespace platform {

constexpr std::size_t kDefaultRc2KeyBytes = 5;
constexpr std::size_t kDefaultRc2SaltBytes = 11;
constexpr unsigned kDefaultRc2EffectiveBits = 40;

using DefaultRc2KeyMaterial = std::array<std::uint8_t, kDefaultRc2KeyBytes + kDefaultRc2SaltBytes>;

// The key bytes (key and salt) that the rule gives for a hash value.
DefaultRc2KeyMaterial DefaultRc2KeyBytes(const Md5Digest& hashValue);

// The RC2 key derived from a hash object's current value.
Rc2Key DeriveDefaultRc2Key(const Md5Hash& hash);

}  // namespace platform
