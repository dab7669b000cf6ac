#include <cstring>

#include "dav/discovery/Discovery.h"

namespace {

bool IsSpecial(unsigned char c) { return c != '\0' && std::strchr("()<>@,;:\\\"[]", c) != nullptr; }

bool IsAtomChar(unsigned char c) { return c >= 33 && c <= 126 && !IsSpecial(c); }

bool IsQuotedChar(unsigned char c) { return c >= 32 && c != 127 && c < 128; }

}  // namespace

bool IsValidMailAddress(const char* text) {
    if (text == nullptr || *text == '\0') return false;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const size_t length = std::strlen(text);
    size_t i = 0;
    bool foundAt = false;
    while (i < length) {
        const unsigned char c = s[i];
        if (c >= 128) return false;
        if (c == '"' && (i == 0 || s[i - 1] == '.')) {
            ++i;
            bool closed = false;
            while (i < length) {
                unsigned char q = s[i];
                if (q == '\\') {
                    if (++i >= length) return false;
                    q = s[i];
                    if (q != ' ' && !IsQuotedChar(q)) return false;
                } else if (q == '"') {
                    closed = true;
                    break;
                } else if (!IsQuotedChar(q)) {
                    return false;
                }
                ++i;
            }
            if (!closed) return false;
            ++i;  // past the closing quote
            if (i >= length || (s[i] != '@' && s[i] != '.')) return false;
            continue;
        }
        if (c == '@') {
            foundAt = true;
            break;
        }
        if (!IsAtomChar(c)) return false;
        ++i;
    }
    if (!foundAt || i == 0 || s[i - 1] == '.') return false;
    const size_t domainStart = i + 1;
    if (domainStart >= length || s[domainStart] == '.') return false;
    bool dot = false;
    for (size_t j = domainStart; j < length; ++j) {
        const unsigned char c = s[j];
        if (!IsAtomChar(c)) return false;
        if (c == '.') {
            if (s[j - 1] == '.') return false;
            dot = true;
        }
    }
    return dot;
}
