// The machine root of the hive: only the zone list, served from ZoneKeySource.
#include "platform/settings/HiveTree.h"
#include "platform/settings/RegKeyObject.h"
#include "platform/timezone/ZoneKeySource.h"

namespace platform::hive {
namespace {

const std::vector<std::u16string>& ZoneListLevels() {
    static const std::vector<std::u16string> levels = [] {
        std::vector<std::u16string> split;
        SplitKeyPath(kZoneListKeyPath, split, 255);
        return split;
    }();
    return levels;
}

// True when path is the zone list key or one of the keys on the way to it.
bool OnZoneListRoad(const std::vector<std::u16string>& path) {
    const auto& road = ZoneListLevels();
    if (path.size() > road.size()) {
        return false;
    }
    for (size_t i = 0; i < path.size(); ++i) {
        if (FoldName(path[i]) != FoldName(road[i])) {
            return false;
        }
    }
    return true;
}

// The zone's own name when path is one zone subkey, else empty.
std::u16string ZoneOf(const std::vector<std::u16string>& path) {
    if (path.size() != ZoneListLevels().size() + 1) {
        return {};
    }
    const std::vector<std::u16string> listPath(path.begin(), path.end() - 1);
    if (!OnZoneListRoad(listPath)) {
        return {};
    }
    const std::u16string wanted = FoldName(path.back());
    for (const auto& zone : ZoneKeyNames()) {
        if (FoldName(zone) == wanted) {
            return zone;
        }
    }
    return {};
}

}  // namespace

bool MachineKeyExists(const std::vector<std::u16string>& path) { return OnZoneListRoad(path) || !ZoneOf(path).empty(); }

DWORD MachineSubkeyCount(const std::vector<std::u16string>& path, DWORD* count) {
    if (count == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (OnZoneListRoad(path)) {
        *count = path.size() == ZoneListLevels().size() ? static_cast<DWORD>(ZoneKeyNames().size()) : 1;
        return ERROR_SUCCESS;
    }
    if (!ZoneOf(path).empty()) {
        *count = 0;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

DWORD MachineEnumKey(const std::vector<std::u16string>& path, DWORD index, char16_t* name, DWORD* nameChars) {
    if (OnZoneListRoad(path)) {
        const auto& road = ZoneListLevels();
        if (path.size() < road.size()) {
            return index == 0 ? CopyNameOut(road[path.size()], name, nameChars) : ERROR_NO_MORE_ITEMS;
        }
        const auto zones = ZoneKeyNames();
        return index < zones.size() ? CopyNameOut(zones[index], name, nameChars) : ERROR_NO_MORE_ITEMS;
    }
    return ZoneOf(path).empty() ? ERROR_FILE_NOT_FOUND : ERROR_NO_MORE_ITEMS;
}

DWORD MachineQueryValue(const std::vector<std::u16string>& path, const char16_t* valueName, DWORD* type, BYTE* data,
                        DWORD* bytes) {
    const std::u16string zone = ZoneOf(path);
    if (zone.empty()) {
        return OnZoneListRoad(path) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    }
    DWORD valueType = REG_NONE;
    std::vector<std::uint8_t> value;
    if (!ReadZoneKeyValue(zone, valueName != nullptr ? valueName : u"", valueType, value)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return CopyValueOut(valueType, value, type, data, bytes);
}

}  // namespace platform::hive
