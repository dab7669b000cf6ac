// Key creation and tree deletion in the current user's hive.
#include <cstdio>
#include <string>

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"

namespace {

// Length of a path held in a buffer of kRegistryPathBufferChars; -1 when it has no NUL there.
int BoundedLength(const char16_t* path) {
    for (int i = 0; i < kRegistryPathBufferChars; ++i) {
        if (path[i] == 0) {
            return i;
        }
    }
    return -1;
}

// Subkey names enumerated while deleting a tree.
constexpr DWORD kSubkeyNameChars = 260;

}  // namespace

DWORD CreateRegistryKey(const char16_t* parent, const char16_t* name) {
    HKEY parentKey = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_CURRENT_USER, parent, &parentKey);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    HKEY created = nullptr;
    result = platform::RegCreateKey(parentKey, name, &created);
    if (result == ERROR_SUCCESS) {
        platform::RegCloseKey(created);
    }
    platform::RegCloseKey(parentKey);
    return result;
}

int DeleteRegistryTree(HKEY root, char16_t* path) {
    if (root == nullptr || path == nullptr) {
        return 0;
    }
    const int baseLength = BoundedLength(path);
    // An empty path names the root itself: emptying a whole root is never a tree delete.
    if (baseLength <= 0) {
        return 0;
    }
    if (platform::RegDeleteKey(root, path) == ERROR_SUCCESS) {
        return 1;
    }
    HKEY key = nullptr;
    const DWORD opened = platform::RegOpenKey(root, path, &key);
    if (opened != ERROR_SUCCESS) {
        if (opened == ERROR_FILE_NOT_FOUND) {
            std::fputs("Key not found.\n", stdout);
            return 1;
        }
        std::fputs("Error opening key.\n", stdout);
        return 0;
    }

    int length = baseLength;
    if (path[length - 1] != u'\\') {
        if (length + 1 >= kRegistryPathBufferChars) {
            platform::RegCloseKey(key);
            return 0;
        }
        path[length++] = u'\\';
        path[length] = 0;
    }

    std::u16string previous;
    for (;;) {
        char16_t name[kSubkeyNameChars];
        DWORD nameChars = kSubkeyNameChars;
        if (platform::RegEnumKey(key, 0, name, &nameChars) != ERROR_SUCCESS) {
            break;
        }
        // A subtree whose path does not fit the buffer cannot be walked; and a subkey that is
        // still first after its deletion reported success would be walked for ever.
        if (length + static_cast<int>(nameChars) >= kRegistryPathBufferChars ||
            previous == std::u16string(name, nameChars)) {
            break;
        }
        previous.assign(name, nameChars);
        std::char_traits<char16_t>::copy(path + length, name, nameChars + 1);
        if (DeleteRegistryTree(root, path) == 0) {
            break;
        }
    }

    path[baseLength] = 0;
    platform::RegCloseKey(key);
    return platform::RegDeleteKey(root, path) == ERROR_SUCCESS ? 1 : 0;
}

DWORD DeleteAccountKeys(const char16_t* name) {
    // Without a name the path would be the Keys key itself, and every account's entry would go.
    if (name == nullptr || name[0] == 0) {
        return 0;
    }
    std::u16string full = std::u16string(kAccountKeysKey) + u"\\" + name;
    if (full.size() > static_cast<size_t>(kRegistryPathBufferChars - 1)) {
        full.resize(kRegistryPathBufferChars - 1);
    }
    char16_t path[kRegistryPathBufferChars];
    std::char_traits<char16_t>::copy(path, full.c_str(), full.size() + 1);
    DeleteRegistryTree(HKEY_CURRENT_USER, path);
    return 0;
}
