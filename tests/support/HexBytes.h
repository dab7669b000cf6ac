#pragma once
// Known-answer vectors written as hexadecimal text, and byte sequences turned back into it.
#include <cstdint>
#include <string>
#include <vector>

namespace orvane::test {

using Bytes = std::vector<std::uint8_t>;

// Pairs of hex digits to bytes; a trailing odd digit is ignored.
inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Lower-case hex digits of any sequence of bytes.
template <typename ByteRange>
std::string ToHex(const ByteRange& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

}  // namespace orvane::test
