// Reading and writing single values.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"

namespace {

constexpr DWORD kStringFirstBufferBytes = 8192;
constexpr DWORD kStringBufferStepBytes = 4096;
// A string read gives up after this many "more data" answers (the value keeps changing size).
constexpr int kStringReadAttempts = 16;

}  // namespace

DWORD ReadDebugLogFlag(const char16_t* subkey) {
    HKEY key = nullptr;
    if (platform::RegOpenKey(HKEY_CURRENT_USER, subkey, &key) != ERROR_SUCCESS) {
        return 0;
    }
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    const DWORD result = platform::RegQueryValue(key, kDebugLogValueName, nullptr, bytes, &size);
    platform::RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return 0;
    }
    return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

DWORD WriteRegistryBinary(const char16_t* subkey, const char16_t* valueName, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_CURRENT_USER, subkey, &key);
    if (result != ERROR_SUCCESS) {
        result = platform::RegCreateKey(HKEY_CURRENT_USER, subkey, &key);
        if (result != ERROR_SUCCESS) {
            return result;
        }
    }
    result = platform::RegSetValue(key, valueName, REG_BINARY, static_cast<const BYTE*>(data), bytes);
    platform::RegCloseKey(key);
    return result;
}

DWORD ReadRegistryBinary(const char16_t* subkey, const char16_t* valueName, CByteArray& out, DWORD maxBytes) {
    HKEY key = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_CURRENT_USER, subkey, &key);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    // No value is larger than the hive allows, so no buffer needs to be either.
    DWORD size = std::min(maxBytes, platform::kMaxValueBytes);
    std::vector<BYTE> buffer(std::max<DWORD>(size, 1));
    result = platform::RegQueryValue(key, valueName, nullptr, buffer.data(), &size);
    platform::RegCloseKey(key);
    if (result == ERROR_SUCCESS) {
        out.Bytes().assign(buffer.begin(), buffer.begin() + size);
    }
    return result;
}

DWORD ReadRegistryString(HKEY root, const char16_t* subkey, const char16_t* valueName, CStringW* out) {
    HKEY key = nullptr;
    DWORD result = platform::RegOpenKey(root, subkey, &key);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    std::vector<BYTE> buffer(kStringFirstBufferBytes, 0);
    DWORD size = 0;
    for (int attempt = 1;; ++attempt) {
        size = static_cast<DWORD>(buffer.size());
        result = platform::RegQueryValue(key, valueName, nullptr, buffer.data(), &size);
        if (result != ERROR_MORE_DATA || attempt == kStringReadAttempts) {
            break;
        }
        // Grow in 4096-byte steps, straight to the size the hive reported.
        size_t grown = buffer.size() + kStringBufferStepBytes;
        while (grown < size) {
            grown += kStringBufferStepBytes;
        }
        buffer.assign(grown, 0);
    }
    platform::RegCloseKey(key);
    if (result == ERROR_SUCCESS && out != nullptr) {
        // The text ends at its first NUL, or with the value's last whole character when it has none.
        std::u16string text(size / sizeof(char16_t), u'\0');
        std::memcpy(text.data(), buffer.data(), text.size() * sizeof(char16_t));
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        *out = CStringW(std::move(text));
    }
    return result;
}
