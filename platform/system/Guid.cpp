#include "platform/system/Guid.h"

#include <cerrno>
#include <cstddef>
#include <sys/random.h>

namespace platform {

int NewRandomGuid(Guid& out) {
    Guid fresh{};
    std::size_t filled = 0;
    while (filled < sizeof fresh.bytes) {
        const ssize_t got = getrandom(fresh.bytes + filled, sizeof fresh.bytes - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        filled += static_cast<std::size_t>(got);
    }
    fresh.bytes[6] = static_cast<std::uint8_t>((fresh.bytes[6] & 0x0F) | 0x40);  // version 4
    fresh.bytes[8] = static_cast<std::uint8_t>((fresh.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    out = fresh;
    return 0;
}

std::string GuidToText(const Guid& guid) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += kDigits[guid.bytes[i] >> 4];
        text += kDigits[guid.bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace platform
