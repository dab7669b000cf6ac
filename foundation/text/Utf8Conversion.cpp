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
