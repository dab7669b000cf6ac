#include "foundation/datetime/RDateTime.h"

#include <cstdio>
#include <cstring>

namespace {

template <typename T>
int ThreeWay(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

namespace {

// The stored form written exactly ("YYYY-MM-DD[ HH:MM[:SS]]", every field all digits), read
// without the scanner; false for any other text.
bool ParseExactForm(const char* text, std::size_t length, int fields[6]) {
    static constexpr char kForm[] = "0000-00-00 00:00:00";
    for (std::size_t i = 0; i < length; ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == '0' ? !digit : text[i] != kForm[i]) return false;
    }
    auto number = [text](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[at + i] - '0');
        return value;
    };
    fields[0] = number(0, 4);
    fields[1] = number(5, 2);
    fields[2] = number(8, 2);
    if (length >= 16) {
        fields[3] = number(11, 2);
        fields[4] = number(14, 2);
    }
    if (length == 19) fields[5] = number(17, 2);
    return true;
}

}  // namespace

void RDateTime::Parse(const char* text) {
    *this = RDateTime{};
    if (text == nullptr) {
        return;
    }
    // strnlen keeps the length check from running past a long or unterminated-looking text.
    const std::size_t length = strnlen(text, 20);
    int fields[6] = {0, 0, 0, 0, 0, 0};
    int read = 0;
    if ((length == 10 || length == 16 || length == 19) && ParseExactForm(text, length, fields)) {
        read = 1;
    } else if (length == 10) {
        read = std::sscanf(text, "%04d-%02d-%02d", &fields[0], &fields[1], &fields[2]);
    } else if (length == 16) {
        read = std::sscanf(text, "%04d-%02d-%02d %02d:%02d", &fields[0], &fields[1], &fields[2],
                           &fields[3], &fields[4]);
    } else if (length == 19) {
        read = std::sscanf(text, "%04d-%02d-%02d %02d:%02d:%02d", &fields[0], &fields[1],
                           &fields[2], &fields[3], &fields[4], &fields[5]);
    }
    if (read <= 0) {
        return;
    }
    year = fields[0];
    month = static_cast<std::uint16_t>(fields[1]);
    day = static_cast<std::uint16_t>(fields[2]);
    hour = static_cast<std::uint16_t>(fields[3]);
    minute = static_cast<std::uint16_t>(fields[4]);
    second = static_cast<std::int16_t>(fields[5]);
}

void RDateTime::FromSystemTime(const SYSTEMTIME* source) {
    *this = RDateTime{};
    if (source == nullptr) {
        return;
    }
    year = source->wYear;
    month = source->wMonth;
    day = source->wDay;
    hour = source->wHour;
    minute = source->wMinute;
    second = static_cast<std::int16_t>(source->wSecond);
}

int CompareDateTime(const RDateTime& a, const RDateTime& b) {
    if (int c = ThreeWay(a.year, b.year); c != 0) return c;
    if (int c = ThreeWay(a.month, b.month); c != 0) return c;
    if (int c = ThreeWay(a.day, b.day); c != 0) return c;
    if (int c = ThreeWay(a.hour, b.hour); c != 0) return c;
    if (int c = ThreeWay(a.minute, b.minute); c != 0) return c;
    return ThreeWay(a.second, b.second);
}

int CompareSystemTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    if (int c = ThreeWay(a.wYear, b.wYear); c != 0) return c;
    if (int c = ThreeWay(a.wMonth, b.wMonth); c != 0) return c;
    if (int c = ThreeWay(a.wDay, b.wDay); c != 0) return c;
    if (int c = ThreeWay(a.wHour, b.wHour); c != 0) return c;
    if (int c = ThreeWay(a.wMinute, b.wMinute); c != 0) return c;
    if (int c = ThreeWay(a.wSecond, b.wSecond); c != 0) return c;
    return ThreeWay(a.wMilliseconds, b.wMilliseconds);
}

const RDateTime* GetCurrentLocalDateTime() {
    // One record per thread: a shared static would let another thread overwrite the
    // record while a caller is still copying it.
    thread_local RDateTime current;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    current.FromSystemTime(&now);
    return &current;
}
