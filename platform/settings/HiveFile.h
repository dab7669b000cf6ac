#pragma once
// Loading and atomic saving of the settings file. Callers serialise changes themselves
// (SettingsHive.cpp holds its mutex and the file lock around a load-modify-save).
// Threads: needs its caller's lock (SettingsHive.cpp's mutex); a HiveFileLock belongs to the thread
// that took it.
#include <string>

#include "platform/core/WinTypes.h"
#include "platform/settings/HiveTree.h"

namespace platform::hive {

enum class HiveFileState {
    Missing,     // no file yet: an empty hive
    Clean,       // every line read
    Corrupt,     // some lines were skipped; the original is kept aside before it is rewritten
    Unreadable,  // the file exists but cannot be read: reads see an empty hive, changes are refused
};

struct LoadedHive {
    HiveKey root;
    HiveFileState state = HiveFileState::Missing;
};

// $XDG_CONFIG_HOME/BrenmoorTech/settings.ini
std::string HiveFilePath();

// The hive always holds the key "Software", as every user profile does.
LoadedHive LoadHiveFile(const std::string& filePath);

// Writes the hive to a temporary file in the same folder, flushes it to disk and renames it over
// the file. When the loaded file was corrupt, a copy of it is first kept as "<file>.corrupt"
// (or "<file>.corrupt-2", ... when that name is taken). ERROR_SUCCESS or ERROR_CANTWRITE.
DWORD SaveHiveFile(const std::string& filePath, const LoadedHive& hive);

// Removes the temporary files "<file>.tmp-<pid>-<n>" that writers which no longer run left
// beside the file (a save cut short by a crash). The folder holds a handful of files, so every
// change of the hive can afford the look.
void RemoveStaleHiveTempFiles(const std::string& filePath);

// An exclusive lock on "<file>.lock" for one load-modify-save, against other processes.
class HiveFileLock {
public:
    explicit HiveFileLock(const std::string& filePath);
    ~HiveFileLock();
    HiveFileLock(const HiveFileLock&) = delete;
    HiveFileLock& operator=(const HiveFileLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace platform::hive
