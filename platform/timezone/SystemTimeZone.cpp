#include "platform/timezone/SystemTimeZone.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/timezone/ZoneConversion.h"
#include "platform/timezone/ZoneKeySource.h"
#include "platform/timezone/ZoneYearRule.h"

namespace platform {
namespace {

std::string AfterZoneFolder(const std::string& path) {
    const std::string folder = ZoneInfoDirectory() + "/";
    if (path.rfind(folder, 0) == 0) return path.substr(folder.size());
    const auto at = path.find("zoneinfo/");
    return at == std::string::npos ? std::string() : path.substr(at + 9);
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

}  // namespace

std::string SystemZoneName() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (!name.empty() && name.front() == '/') name = AfterZoneFolder(name);
        return name;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error);
    if (!error) {
        std::string name = AfterZoneFolder(target.string());
        if (!name.empty()) return name;
    }
    std::ifstream file("/etc/timezone");
    std::string line;
    if (file && std::getline(file, line) && !Trimmed(line).empty()) return Trimmed(line);
    return "UTC";
}

}  // namespace platform

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* out) {
    if (out == nullptr) return TIME_ZONE_ID_INVALID;
    const std::string name = platform::SystemZoneName();
    std::u16string key;
    TIME_ZONE_INFORMATION zone{};
    if (!platform::ZoneKeyForOlsonName(name, key) || !platform::ReadZoneDefinition(key, zone)) {
        return TIME_ZONE_ID_INVALID;
    }
    // The key names the zone; the rule is the system zone's own where its file can be read.
    platform::ReadZoneRuleForYear(name, platform::CurrentUtcYear(), zone);
    *out = zone;
    if (zone.StandardDate.wMonth == 0 || zone.DaylightDate.wMonth == 0) return TIME_ZONE_ID_UNKNOWN;
    SYSTEMTIME now{}, local{};
    GetSystemTime(&now);
    now.wMilliseconds = 0;
    if (!SystemTimeToTzSpecificLocalTime(&zone, &now, &local)) return TIME_ZONE_ID_UNKNOWN;
    // Local minus UTC, as minutes of the day, tells which of the two biases is in force.
    const long shift = ((now.wHour * 60L + now.wMinute) - (local.wHour * 60L + local.wMinute) + 2 * 1440) % 1440;
    const long daylight = ((zone.Bias + zone.DaylightBias) % 1440 + 1440) % 1440;
    return shift == daylight && zone.DaylightBias != 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}
