// The machine's Windows zones, read once through the registry helpers and kept in display order.
#include <new>

#include "foundation/settings/RegistryHelpers.h"
#include "ical/timezone/ZoneResolver.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/threads/Mutex.h"
#include "platform/timezone/ZoneKeySource.h"

namespace {

// Guards the list: the first look-up loads it while others wait, so it is filled exactly once.
platform::Mutex g_zoneGuard;
RList g_zoneList ORVANE_GUARDED_BY(g_zoneGuard);

void FreeLocked(RListCompare compare) ORVANE_REQUIRES(g_zoneGuard) {
    for (RListNode* node = g_zoneList.head; node != nullptr; node = node->next) {
        delete static_cast<WindowsZoneEntry*>(node->payload);
    }
    g_zoneList.RemoveAll();
    g_zoneList.compare = compare;
}

void CopyName(char16_t (&out)[32], const CStringW& name) {
    const int n = name.GetLength() < 31 ? name.GetLength() : 31;
    for (int i = 0; i < 32; ++i) out[i] = i < n ? name.GetString()[i] : u'\0';
}

void ReadTzi(const CStringW& subkey, TIME_ZONE_INFORMATION& info) {
    HKEY key = nullptr;
    if (platform::RegOpenKey(HKEY_LOCAL_MACHINE, subkey.GetString(), &key) != ERROR_SUCCESS) return;
    BYTE image[platform::kTziBytes] = {};
    DWORD type = 0;
    DWORD bytes = sizeof image;
    // A value larger than the record is not a zone rule: the fields stay zero.
    if (platform::RegQueryValue(key, u"TZI", &type, image, &bytes) == ERROR_SUCCESS) {
        platform::TziFromBytes(image, bytes, info);
    }
    platform::RegCloseKey(key);
}

void LoadLocked() ORVANE_REQUIRES(g_zoneGuard) {
    FreeLocked(CompareZonesByDisplayName);
    const CStringW listKey(platform::kZoneListKeyPath);
    const int count = CountRegistrySubkeys(listKey.GetString());
    for (int i = 0; i < count; ++i) {
        auto* entry = new (std::nothrow) WindowsZoneEntry();
        if (entry == nullptr) return;
        if (EnumRegistrySubkey(entry->zoneKey, listKey.GetString(), static_cast<DWORD>(i)) != ERROR_SUCCESS) {
            delete entry;
            continue;
        }
        const CStringW subkey = listKey + u"\\" + entry->zoneKey;
        MapZoneKeyToOlsonId(entry->zoneKey, entry->olsonId);
        ReadRegistryString(HKEY_LOCAL_MACHINE, subkey.GetString(), u"Display", &entry->displayName);
        ReadTzi(subkey, entry->zoneInfo);
        CStringW name;
        if (ReadRegistryString(HKEY_LOCAL_MACHINE, subkey.GetString(), u"Dlt", &name) == ERROR_SUCCESS) {
            CopyName(entry->zoneInfo.DaylightName, name);
        }
        name.Empty();
        if (ReadRegistryString(HKEY_LOCAL_MACHINE, subkey.GetString(), u"Std", &name) == ERROR_SUCCESS) {
            CopyName(entry->zoneInfo.StandardName, name);
        }
        if (g_zoneList.InsertSorted(entry) != R_OK) delete entry;
    }
}

void EnsureLoaded() ORVANE_REQUIRES(g_zoneGuard) {
    if (g_zoneList.count == 0) LoadLocked();
}

void CopyOut(const WindowsZoneEntry& entry, CStringW* zoneKey, CStringW* olsonId, CStringW* displayName,
             TIME_ZONE_INFORMATION* info) {
    if (zoneKey != nullptr) *zoneKey = entry.zoneKey;
    if (olsonId != nullptr) *olsonId = entry.olsonId;
    if (displayName != nullptr) *displayName = entry.displayName;
    if (info != nullptr) *info = entry.zoneInfo;
}

template <typename Match>
const WindowsZoneEntry* FindFirst(Match match) ORVANE_REQUIRES(g_zoneGuard) {
    for (RListNode* node = g_zoneList.head; node != nullptr; node = node->next) {
        const auto* entry = static_cast<const WindowsZoneEntry*>(node->payload);
        if (match(*entry)) return entry;
    }
    return nullptr;
}

struct ZoneListAtExit {
    ~ZoneListAtExit() {
        platform::MutexLock lock(g_zoneGuard);
        FreeLocked(nullptr);
    }
} g_zoneListAtExit;

}  // namespace

int CompareZonesByDisplayName(const void* existing, const void* added) {
    const auto* a = static_cast<const WindowsZoneEntry*>(existing);
    const auto* b = static_cast<const WindowsZoneEntry*>(added);
    return a->displayName.CompareNoCase(b->displayName.GetString());
}

void FreeZoneList(RListCompare compare) {
    {
        platform::MutexLock lock(g_zoneGuard);
        FreeLocked(compare);
    }
    ForgetResolvedZones();
}

RResult InsertZoneSorted(WindowsZoneEntry* entry) {
    RResult result;
    {
        platform::MutexLock lock(g_zoneGuard);
        result = g_zoneList.InsertSorted(entry);
    }
    ForgetResolvedZones();
    return result;
}

void LoadTimeZones() {
    {
        platform::MutexLock lock(g_zoneGuard);
        LoadLocked();
    }
    ForgetResolvedZones();
}

RResult GetTimeZoneAt(int index, CStringW* zoneKey, CStringW* olsonId, CStringW* displayName,
                      TIME_ZONE_INFORMATION* info) {
    platform::MutexLock lock(g_zoneGuard);
    EnsureLoaded();
    const RListNode* node = index < g_zoneList.count ? g_zoneList.NodeAt(index) : nullptr;
    if (node == nullptr) return R_E_INVALID_INDEX;
    CopyOut(*static_cast<const WindowsZoneEntry*>(node->payload), zoneKey, olsonId, displayName, info);
    return R_OK;
}

RResult FindTimeZoneByKey(const CStringW& zoneKey, CStringW* olsonId, CStringW* displayName,
                          TIME_ZONE_INFORMATION* info) {
    platform::MutexLock lock(g_zoneGuard);
    EnsureLoaded();
    const WindowsZoneEntry* entry =
        FindFirst([&](const WindowsZoneEntry& e) { return e.zoneKey.CompareNoCase(zoneKey.GetString()) == 0; });
    if (entry == nullptr) return STG_E_PATHNOTFOUND;
    CopyOut(*entry, nullptr, olsonId, displayName, info);
    return R_OK;
}

RResult FindTimeZoneByDisplay(const CStringW& displayName, CStringW* zoneKey) {
    platform::MutexLock lock(g_zoneGuard);
    EnsureLoaded();
    const WindowsZoneEntry* entry = FindFirst(
        [&](const WindowsZoneEntry& e) { return e.displayName.CompareNoCase(displayName.GetString()) == 0; });
    if (entry == nullptr) return STG_E_PATHNOTFOUND;
    CopyOut(*entry, zoneKey, nullptr, nullptr, nullptr);
    return R_OK;
}

RResult FindWindowsZoneByOlsonId(const CStringW& olsonId, CStringW* zoneKey, CStringW* displayName,
                                 TIME_ZONE_INFORMATION* info) {
    const CStringW wanted = olsonId == u"Z" ? CStringW(u"UTC") : olsonId;
    platform::MutexLock lock(g_zoneGuard);
    EnsureLoaded();
    const WindowsZoneEntry* entry =
        FindFirst([&](const WindowsZoneEntry& e) { return e.olsonId.CompareNoCase(wanted.GetString()) == 0; });
    if (entry == nullptr) return STG_E_PATHNOTFOUND;
    CopyOut(*entry, zoneKey, nullptr, displayName, info);
    return R_OK;
}
