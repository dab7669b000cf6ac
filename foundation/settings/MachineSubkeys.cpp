// Subkeys of the machine root (the zone list).
#include "foundation/settings/RegistryHelpers.h"

namespace {
constexpr DWORD kSubkeyNameChars = 260;
}

int CountRegistrySubkeys(const char16_t* subkey) {
    HKEY key = nullptr;
    if (platform::RegOpenKey(HKEY_LOCAL_MACHINE, subkey, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD count = 0;
    const DWORD result = platform::RegQuerySubkeyCount(key, &count);
    platform::RegCloseKey(key);
    return result == ERROR_SUCCESS ? static_cast<int>(count) : 0;
}

DWORD EnumRegistrySubkey(CStringW& out, const char16_t* subkey, DWORD index) {
    HKEY key = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_LOCAL_MACHINE, subkey, &key);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    char16_t name[kSubkeyNameChars];
    DWORD nameChars = kSubkeyNameChars;
    result = platform::RegEnumKey(key, index, name, &nameChars);
    platform::RegCloseKey(key);
    if (result == ERROR_SUCCESS) {
        out = CStringW(name, static_cast<int>(nameChars));
    }
    return result;
}
