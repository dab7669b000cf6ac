#include "platform/timezone/TimeZoneInformation.h"

#include <cstring>

namespace platform {
namespace {

void Put32(std::uint8_t* at, LONG value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

LONG Get32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return static_cast<LONG>(v);
}

void PutTime(std::uint8_t* at, const SYSTEMTIME& t) {
    const WORD fields[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (int i = 0; i < 8; ++i) {
        at[2 * i] = static_cast<std::uint8_t>(fields[i]);
        at[2 * i + 1] = static_cast<std::uint8_t>(fields[i] >> 8);
    }
}

SYSTEMTIME GetTime(const std::uint8_t* at) {
    WORD f[8];
    for (int i = 0; i < 8; ++i) f[i] = static_cast<WORD>(at[2 * i] | (at[2 * i + 1] << 8));
    return SYSTEMTIME{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

}  // namespace

void TziToBytes(const TIME_ZONE_INFORMATION& info, std::uint8_t (&out)[kTziBytes]) {
    Put32(out, info.Bias);
    Put32(out + 4, info.StandardBias);
    Put32(out + 8, info.DaylightBias);
    PutTime(out + 12, info.StandardDate);
    PutTime(out + 28, info.DaylightDate);
}

void TziFromBytes(const std::uint8_t* data, std::size_t size, TIME_ZONE_INFORMATION& info) {
    // A short image fills what it holds; the rest reads as zero.
    std::uint8_t image[kTziBytes] = {};
    if (data != nullptr) std::memcpy(image, data, size < kTziBytes ? size : kTziBytes);
    info.Bias = Get32(image);
    info.StandardBias = Get32(image + 4);
    info.DaylightBias = Get32(image + 8);
    info.StandardDate = GetTime(image + 12);
    info.DaylightDate = GetTime(image + 28);
}

}  // namespace platform
