#include "platform/settings/SettingsHive.h"

#include <sys/stat.h>
#include <time.h>

#include <new>
#include <string>
#include <utility>

#include "platform/settings/HiveFile.h"
#include "platform/settings/HiveTree.h"
#include "platform/settings/RegKeyObject.h"
#include "platform/threads/Mutex.h"

namespace platform {
namespace {

using hive::HiveFileState;
using hive::HiveKey;
using hive::LoadedHive;

RegKeyObject g_currentUserRoot{false, true, {}};
RegKeyObject g_machineRoot{true, true, {}};

// Serialises every load-modify-save of this process, so no change is lost to another thread's.
Mutex& HiveMutex() {
    static Mutex mutex;
    return mutex;
}

// What tells one version of the settings file from another: a save renames a new file over it, a
// hand edit changes its size or times. `exists` false: there was no file.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const std::string& path) {
        FileIdentity identity;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            identity = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
        }
        return identity;
    }
    bool ChangedWithin(time_t seconds) const {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return exists && (modified.tv_sec >= now.tv_sec - seconds || changed.tv_sec >= now.tv_sec - seconds);
    }
    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// Longer than the coarsest file time stamps (two seconds) and a clock tick.
constexpr time_t kSettledSeconds = 3;

// The hive as last read, kept while the file stays the same: every request of a sync asks whether
// the debug log is on, and reading and parsing the whole file each time cost more than the
// request's own work. Guarded by HiveMutex; a change made here drops it.
struct CachedHive {
    bool valid = false;
    std::string path;
    FileIdentity identity;
    LoadedHive hive;
};

CachedHive& HiveCache() {
    static CachedHive cache;
    return cache;
}

template <typename Read>
DWORD ReadHive(Read read) {
    MutexLock lock(HiveMutex());
    CachedHive& cache = HiveCache();
    std::string path = hive::HiveFilePath();
    // Looked at before the file is read: a change in between makes the next look read it again.
    const FileIdentity identity = FileIdentity::Of(path);
    // An unreadable file is read again each time, as before it could be read.
    if (!cache.valid || cache.path != path || !(cache.identity == identity) ||
        cache.hive.state == HiveFileState::Unreadable) {
        cache.hive = hive::LoadHiveFile(path);
        cache.path = std::move(path);
        cache.identity = identity;
        // A file changed in the last moments may change again within one tick of its file system's
        // clock, with its size and times unchanged: it is read again until it has been left alone.
        cache.valid = !identity.ChangedWithin(kSettledSeconds);
    }
    return read(static_cast<const HiveKey&>(cache.hive.root));
}

// change(root, changed) edits the tree and sets changed when there is something to save.
template <typename Change>
DWORD ChangeHive(Change change) {
    MutexLock lock(HiveMutex());
    HiveCache().valid = false;
    const std::string file = hive::HiveFilePath();
    hive::HiveFileLock fileLock(file);
    hive::RemoveStaleHiveTempFiles(file);  // what crashed saves left
    LoadedHive hive = hive::LoadHiveFile(file);
    if (hive.state == HiveFileState::Unreadable) {
        return ERROR_ACCESS_DENIED;  // rewriting it would throw its contents away
    }
    bool changed = false;
    DWORD result = change(hive.root, changed);
    if (result == ERROR_SUCCESS && changed) {
        result = hive::SaveHiveFile(file, hive);
    }
    return result;
}

// The handle's key in the tree; nullptr when it has been deleted since it was opened.
const HiveKey* Resolve(const HiveKey& root, const RegKeyObject* key) { return root.Walk(key->path); }
HiveKey* Resolve(HiveKey& root, const RegKeyObject* key) { return root.Walk(key->path); }

DWORD NewHandle(bool machine, std::vector<std::u16string> path, HKEY* result) {
    auto* handle = new (std::nothrow) RegKeyObject{machine, false, std::move(path)};
    if (handle == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *result = handle;
    return ERROR_SUCCESS;
}

// parent's path followed by the levels of subkey; false when a level is too long.
bool FullPath(HKEY parent, const char16_t* subkey, std::vector<std::u16string>& path) {
    path = parent->path;
    return hive::SplitKeyPath(subkey, path, kMaxKeyNameChars);
}

// The checks RegOpenKey and RegCreateKey share: parent and result given, and FullPath.
bool OpenerPath(HKEY parent, const char16_t* subkey, const HKEY* result, std::vector<std::u16string>& path) {
    return parent != nullptr && result != nullptr && FullPath(parent, subkey, path);
}

bool ValueNameFits(const char16_t* valueName) {
    if (valueName == nullptr) {
        return true;
    }
    DWORD length = 0;
    while (valueName[length] != 0) {
        if (++length > kMaxValueNameChars) {
            return false;
        }
    }
    return true;
}

std::u16string_view NameOf(const char16_t* valueName) { return valueName != nullptr ? valueName : u""; }

}  // namespace

HKEY const HKEY_CURRENT_USER = &g_currentUserRoot;
HKEY const HKEY_LOCAL_MACHINE = &g_machineRoot;

DWORD RegOpenKey(HKEY parent, const char16_t* subkey, HKEY* result) {
    std::vector<std::u16string> path;
    if (!OpenerPath(parent, subkey, result, path)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (parent->machine) {
        return hive::MachineKeyExists(path) ? NewHandle(true, std::move(path), result) : ERROR_FILE_NOT_FOUND;
    }
    const DWORD found = ReadHive([&](const HiveKey& root) {
        return root.Walk(path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    return found == ERROR_SUCCESS ? NewHandle(false, std::move(path), result) : found;
}

DWORD RegCreateKey(HKEY parent, const char16_t* subkey, HKEY* result) {
    std::vector<std::u16string> path;
    if (!OpenerPath(parent, subkey, result, path)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (parent->machine) {
        return ERROR_ACCESS_DENIED;
    }
    const DWORD created = ChangeHive([&](HiveKey& root, bool& changed) {
        HiveKey* key = Resolve(root, parent);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        for (size_t level = parent->path.size(); level < path.size(); ++level) {
            HiveKey* next = key->FindSubkey(path[level]);
            if (next == nullptr) {
                next = &key->GetOrAddSubkey(path[level]);
                changed = true;
            }
            key = next;
        }
        return ERROR_SUCCESS;
    });
    return created == ERROR_SUCCESS ? NewHandle(false, std::move(path), result) : created;
}

DWORD RegCloseKey(HKEY key) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!key->predefined) {
        delete key;
    }
    return ERROR_SUCCESS;
}

DWORD RegQueryValue(HKEY key, const char16_t* valueName, DWORD* type, BYTE* data, DWORD* bytes) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (key->machine) {
        return hive::MachineQueryValue(key->path, valueName, type, data, bytes);
    }
    return ReadHive([&](const HiveKey& root) {
        const HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const hive::HiveValue* value = found->FindValue(NameOf(valueName));
        if (value == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        return hive::CopyValueOut(value->type, value->data, type, data, bytes);
    });
}

DWORD RegSetValue(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD bytes) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((data == nullptr && bytes > 0) || bytes > kMaxValueBytes || !ValueNameFits(valueName)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (key->machine) {
        return ERROR_ACCESS_DENIED;
    }
    std::vector<std::uint8_t> content(data, data + bytes);
    return ChangeHive([&](HiveKey& root, bool& changed) {
        HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const hive::HiveValue* existing = found->FindValue(NameOf(valueName));
        if (existing == nullptr || existing->type != type || existing->data != content) {
            found->SetValue(NameOf(valueName), type, std::move(content));
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

DWORD RegDeleteValue(HKEY key, const char16_t* valueName) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (key->machine) {
        return ERROR_ACCESS_DENIED;
    }
    return ChangeHive([&](HiveKey& root, bool& changed) {
        HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        if (!found->RemoveValue(NameOf(valueName))) {
            return ERROR_FILE_NOT_FOUND;
        }
        changed = true;
        return ERROR_SUCCESS;
    });
}

DWORD RegDeleteKey(HKEY parent, const char16_t* subkey) {
    if (parent == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::u16string> path;
    if (!FullPath(parent, subkey, path) || path.size() == parent->path.size()) {
        return ERROR_INVALID_PARAMETER;  // no name, or a level too long to exist
    }
    if (parent->machine) {
        return hive::MachineKeyExists(path) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    }
    return ChangeHive([&](HiveKey& root, bool& changed) {
        const std::u16string name = path.back();
        path.pop_back();
        HiveKey* holder = root.Walk(path);
        const HiveKey* target = holder != nullptr ? holder->FindSubkey(name) : nullptr;
        if (target == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (target->SubkeyCount() > 0) {
            return ERROR_ACCESS_DENIED;
        }
        holder->RemoveSubkey(name);
        changed = true;
        return ERROR_SUCCESS;
    });
}

DWORD RegQuerySubkeyCount(HKEY key, DWORD* count) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (count == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (key->machine) {
        return hive::MachineSubkeyCount(key->path, count);
    }
    return ReadHive([&](const HiveKey& root) {
        const HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        *count = static_cast<DWORD>(found->SubkeyCount());
        return ERROR_SUCCESS;
    });
}

DWORD RegEnumKey(HKEY key, DWORD index, char16_t* name, DWORD* nameChars) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (key->machine) {
        return hive::MachineEnumKey(key->path, index, name, nameChars);
    }
    return ReadHive([&](const HiveKey& root) {
        const HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const HiveKey* sub = found->SubkeyAt(index);
        return sub != nullptr ? hive::CopyNameOut(sub->Name(), name, nameChars) : ERROR_NO_MORE_ITEMS;
    });
}

DWORD RegEnumValue(HKEY key, DWORD index, char16_t* name, DWORD* nameChars) {
    if (key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (key->machine) {
        return ERROR_INVALID_PARAMETER;  // the program lists no machine key's values
    }
    return ReadHive([&](const HiveKey& root) {
        const HiveKey* found = Resolve(root, key);
        if (found == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const std::vector<hive::HiveValue>& values = found->Values();
        return index < values.size() ? hive::CopyNameOut(values[index].name, name, nameChars) : ERROR_NO_MORE_ITEMS;
    });
}

}  // namespace platform
