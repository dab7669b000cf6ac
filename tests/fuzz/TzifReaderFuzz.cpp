// libFuzzer target: any bytes through the zone file reader, and whatever it accepts through the
// yearly-rule builder and the conversions. A crash, an overrun, a hang or an accepted file that
// breaks the reader's own promises (ascending times, type indexes in range) is a finding.
#include <cstdint>
#include <cstdlib>

#include "platform/timezone/PosixTzString.h"
#include "platform/timezone/TzifFile.h"
#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneYearRule.h"

namespace {

void CheckPromises(const platform::TzifData& zone) {
    if (zone.localTypes.empty() || zone.transitionTypes.size() != zone.transitionTimes.size()) std::abort();
    for (std::size_t i = 0; i < zone.transitionTimes.size(); ++i) {
        if (zone.transitionTypes[i] >= zone.localTypes.size()) std::abort();
        if (i > 0 && zone.transitionTimes[i] <= zone.transitionTimes[i - 1]) std::abort();
    }
}

// A year's rule built from the zone, used both ways on a few instants of that year.
void ConvertThrough(const platform::TzifData& zone, int year) {
    TIME_ZONE_INFORMATION rule{};
    platform::ZoneRuleForYear(zone, year, rule);
    for (WORD month : {1, 4, 7, 10, 12}) {
        const SYSTEMTIME utc{static_cast<WORD>(year), month, 0, 15, 12, 30, 0, 0};
        SYSTEMTIME local{};
        SYSTEMTIME back{};
        if (SystemTimeToTzSpecificLocalTime(&rule, &utc, &local)) {
            (void)TzSpecificLocalTimeToSystemTime(&rule, &local, &back);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::TzifData zone;
    if (!platform::ParseTzif(data, size, zone)) {
        // A refused file leaves nothing behind.
        if (!zone.transitionTimes.empty() || !zone.localTypes.empty() || !zone.footer.empty()) std::abort();
        return 0;
    }
    CheckPromises(zone);
    for (std::int64_t at : {INT64_MIN, std::int64_t{-1}, std::int64_t{0}, std::int64_t{1700000000}, INT64_MAX}) {
        (void)zone.TypeAt(at);
    }
    platform::PosixTz footer;
    (void)platform::ParsePosixTz(zone.footer, footer);
    for (int year : {1601, 1970, 2026, 2100, 30827}) {
        ConvertThrough(zone, year);
    }
    return 0;
}
