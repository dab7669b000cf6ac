#include "foundation/text/CalendarColor.h"

#include <cstdlib>

namespace {

constexpr int kMinimumColorLength = 9;

// The pair at `first` read as strtol base 16 would read it; a negative result counts as 0.
DWORD HexPair(const CStringW& text, int first) {
    char pair[3] = {0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        const char16_t unit = text.GetAt(first + i);
        pair[i] = unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    const long value = std::strtol(pair, nullptr, 16);
    return value > 0 ? static_cast<DWORD>(value) : 0;
}

}  // namespace

COLORREF ParseCalendarColor(const CStringW& text) {
    if (text.GetLength() < kMinimumColorLength) {
        return 0;
    }
    const DWORD red = HexPair(text, 1);
    const DWORD green = HexPair(text, 3);
    const DWORD blue = HexPair(text, 5);
    return red | (green << 8) | (blue << 16);
}
