// The display zone chosen by the user: "TimeZone" under the program's key.
#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"

DWORD WriteTimeZoneSetting(const CStringW& zoneKey) {
    HKEY key = nullptr;
    DWORD result = platform::RegCreateKey(HKEY_CURRENT_USER, kOrvaneSettingsKey, &key);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    const DWORD bytes = static_cast<DWORD>(sizeof(char16_t) * (zoneKey.GetLength() + 1));
    result = platform::RegSetValue(key, kTimeZoneValueName, REG_SZ, reinterpret_cast<const BYTE*>(zoneKey.GetString()),
                                   bytes);
    platform::RegCloseKey(key);
    return result;
}

CStringW ReadTimeZoneSetting() {
    CStringW zoneKey;
    if (ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, kTimeZoneValueName, &zoneKey) != ERROR_SUCCESS) {
        return CStringW();
    }
    return zoneKey;
}
