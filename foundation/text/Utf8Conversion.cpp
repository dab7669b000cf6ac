#include "foundation/text/Utf8Conversion.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/string/Utf.h"

char* WideToUtf8(const CStringW& text) {
    std::string utf8;
    try {
        utf8 = platform::Utf16ToUtf8(text.AsView());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Callers may write a little into the copy, so it is never smaller than the old fixed size.
    const size_t minimum = 2 * static_cast<size_t>(text.GetLength()) + 2;
    const size_t size = std::max(minimum, utf8.size() + 1);
    auto* copy = static_cast<char*>(std::calloc(size, 1));
    if (copy == nullptr) {
        return nullptr;
    }
    std::memcpy(copy, utf8.c_str(), utf8.size() + 1);
    return copy;
}

void ToUtf8String(const CStringW& in, CStringA& out) { out = CStringA(platform::Utf16ToUtf8(in.AsView())); }

namespace {

// Whether `bytes` is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int trail = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= trail) return false;
        if (p[1] < low || p[1] > high) return false;
        for (int i = 2; i <= trail; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        }
        p += trail + 1;
    }
    return true;
}

// The characters of the Windows-1252 bytes 0x80 to 0x9F.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string FileBytesToUtf8(std::string bytes) {
    if (IsUtf8(bytes)) return bytes;
    std::u16string wide;
    wide.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        wide.push_back(code >= 0x80 && code <= 0x9F ? kWindows1252High[code - 0x80] : static_cast<char16_t>(code));
    }
    return platform::Utf16ToUtf8(wide);
}
