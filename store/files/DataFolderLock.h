#pragma once
// The claim of one copy of the program on its data folder. The settings hive and the item files
// are rewritten whole, so two copies working on one data folder would undo each other's changes;
// the copy that starts second finds the folder claimed and stops.
//
// The claim is an exclusive flock on the file "Orvane.lock" in the data folder, held for the
// life of the object: the system lets go of it when the process ends in any way, crashes
// included, so a claim never outlives its program.
//
// Belongs to one thread (the program's start-up); the claim itself covers the whole process.
#include <string>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

class DataFolderLock {
public:
    DataFolderLock() = default;
    // Gives up the claim.
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Claims the data folder (made first when missing). 0; R_E_DATA_FOLDER_IN_USE when another
    // process holds the claim; another code when the lock file cannot be made or locked.
    // Claiming again while holding a claim gives up the old one first.
    [[nodiscard]] RResult Acquire(const CStringW& dataFolder);
    void Release();
    bool IsHeld() const { return fd >= 0; }

    // The text for the user when the claim fails with R_E_DATA_FOLDER_IN_USE.
    static const char* InUseMessage();

private:
    int fd = -1;
};

// The data folder of the current user: the local application-data folder with BrenmoorTech and
// Orvane below it.
CStringW DefaultDataFolder();

// For the program's entry: claims the default data folder for the whole run and returns true,
// or writes why it cannot (another copy runs, or the folder cannot be used) to the standard
// error stream, hands the same text to `why` when given, and returns false, after which the
// program tells the user and ends.
[[nodiscard]] bool ClaimDataFolderForThisRun(std::string* why = nullptr);
