#pragma once
// Conversions between UTF-8 and UTF-16. Malformed input never fails: each invalid UTF-8
// sequence and each unpaired surrogate becomes U+FFFD.
#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The "ANSI code page" of this platform is UTF-8, so the code-page conversions are the UTF-8 ones.
inline std::u16string AnsiToUtf16(std::string_view text) { return Utf8ToUtf16(text); }
inline std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToUtf8(text); }

// Whether every byte is ASCII: such text reads the same in UTF-8 and UTF-16, so callers can skip
// the round trip between them.
inline bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace platform
