#pragma once
// The platform's zone definition record and the 44-byte "TZI" image of the zone list.
// Threads: plain values and functions; any thread.
#include <cstddef>
#include <cstdint>

#include "platform/core/WinTypes.h"

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFFu;

// Biases are minutes: UTC = local + Bias (+ StandardBias or DaylightBias). A transition date
// with wYear 0 means "the wDay-th wDayOfWeek of wMonth" (wDay 5 = the last); with a year it is
// that calendar day. wMonth 0 in StandardDate means the zone keeps standard time all year.
struct TIME_ZONE_INFORMATION {
    LONG Bias;
    char16_t StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    char16_t DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
};

namespace platform {

inline constexpr std::size_t kTziBytes = 44;

// Little-endian: Bias, StandardBias, DaylightBias, StandardDate, DaylightDate.
void TziToBytes(const TIME_ZONE_INFORMATION& info, std::uint8_t (&out)[kTziBytes]);
// Fills the five rule fields of `info` from an image; the names are left alone.
void TziFromBytes(const std::uint8_t* data, std::size_t size, TIME_ZONE_INFORMATION& info);

}  // namespace platform
