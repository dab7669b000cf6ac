#pragma once
// What an open key handle holds, shared by the current-user and machine halves of the hive.
// Threads: a key handle belongs to one thread at a time; the hive it reads serialises itself.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/WinTypes.h"

namespace platform {

struct RegKeyObject {
    bool machine = false;
    bool predefined = false;  // one of the two roots, never freed
    std::vector<std::u16string> path;  // levels below the root
};

namespace hive {

// Hands a value to a RegQueryValue caller, with its buffer-size rules.
inline DWORD CopyValueOut(DWORD valueType, const std::vector<std::uint8_t>& value, DWORD* type, BYTE* data,
                          DWORD* bytes) {
    if (data != nullptr && bytes == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (type != nullptr) {
        *type = valueType;
    }
    const DWORD size = static_cast<DWORD>(value.size());
    if (data != nullptr && *bytes < size) {
        *bytes = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size > 0) {
        std::memcpy(data, value.data(), size);
    }
    if (bytes != nullptr) {
        *bytes = size;
    }
    return ERROR_SUCCESS;
}

// The read-only machine half (MachineHive.cpp): the zone list.
bool MachineKeyExists(const std::vector<std::u16string>& path);
DWORD MachineSubkeyCount(const std::vector<std::u16string>& path, DWORD* count);
DWORD MachineEnumKey(const std::vector<std::u16string>& path, DWORD index, char16_t* name, DWORD* nameChars);
DWORD MachineQueryValue(const std::vector<std::u16string>& path, const char16_t* valueName, DWORD* type, BYTE* data,
                        DWORD* bytes);

// Copies a subkey name into a RegEnumKey caller's buffer.
inline DWORD CopyNameOut(const std::u16string& source, char16_t* name, DWORD* nameChars) {
    if (name == nullptr || nameChars == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (source.size() + 1 > *nameChars) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, source.c_str(), (source.size() + 1) * sizeof(char16_t));
    *nameChars = static_cast<DWORD>(source.size());
    return ERROR_SUCCESS;
}

}  // namespace hive
}  // namespace platform
