#include "platform/timezone/ZoneKeySource.h"

namespace platform {

// Placeholder until the tzdata-derived zone source is in place: an empty zone list.
std::vector<std::u16string> ZoneKeyNames() { return {}; }

bool ReadZoneKeyValue(const std::u16string&, const std::u16string&, DWORD&, std::vector<std::uint8_t>&) {
    return false;
}

}  // namespace platform
