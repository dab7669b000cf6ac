#include "dav/http/StatusLine.h"

#include <climits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

int ParseStatusLine(std::string_view text) {
    constexpr size_t kFirstWordMax = 31;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t wordStart = i;
    while (i < text.size() && !IsBlank(text[i]) && i - wordStart < kFirstWordMax) ++i;
    if (i == wordStart) return 0;
    // A first word longer than its field: the rest of it is where the number is looked for,
    // as a bounded scanf would do; it is no number, so the result is 0.
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 10) {
        value = value * 10 + (text[i++] - '0');
        ++digits;
    }
    if (digits == 0 || value > INT_MAX) return 0;
    return static_cast<int>(negative ? -value : value);
}
