#include "platform/string/CString.h"

#include <cstdio>
#include <vector>

#include "platform/string/Utf.h"

namespace platform {

std::string FormatV(const char* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        return {};
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        return std::string(small, static_cast<size_t>(needed));
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

void CStringA::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Str() = FormatV(format, args);
    va_end(args);
}

void CStringA::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Str() += FormatV(format, args);
    va_end(args);
}

void CStringW::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Str() = Utf8ToUtf16(FormatV(format, args));
    va_end(args);
}

void CStringW::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Str() += Utf8ToUtf16(FormatV(format, args));
    va_end(args);
}

CStringW CStringW::FromUtf8(std::string_view utf8) { return CStringW(Utf8ToUtf16(utf8)); }

CStringA CStringW::ToUtf8() const { return CStringA(Utf16ToUtf8(AsView())); }

}  // namespace platform
