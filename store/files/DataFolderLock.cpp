#include "store/files/DataFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "foundation/text/PathComponents.h"
#include "platform/files/XdgFolders.h"
#include "store/files/FileResult.h"

DataFolderLock::~DataFolderLock() { Release(); }

RResult DataFolderLock::Acquire(const CStringW& dataFolder) {
    Release();
    const std::filesystem::path folder(dataFolder.ToUtf8().Str());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return ResultFromErrno(error.value());
    }
    const int opened = ::open((folder / "Orvane.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (opened < 0) {
        return ResultFromErrno(errno);
    }
    int locked = 0;
    while ((locked = ::flock(opened, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        const int cause = errno;
        ::close(opened);
        return cause == EWOULDBLOCK ? R_E_DATA_FOLDER_IN_USE : ResultFromErrno(cause);
    }
    fd = opened;
    return R_OK;
}

void DataFolderLock::Release() {
    if (fd >= 0) {
        ::close(fd);  // closing the file lets go of the lock
        fd = -1;
    }
}

const char* DataFolderLock::InUseMessage() {
    return "Orvane is already running for this user. Only one copy can use the calendar data at a time.";
}

CStringW DefaultDataFolder() {
    CStringW folder = CStringW::FromUtf8(platform::DataHomeFolder());
    AppendPathComponent(folder, CStringW(u"BrenmoorTech"));
    AppendPathComponent(folder, CStringW(u"Orvane"));
    return folder;
}

bool ClaimDataFolderForThisRun(std::string* why) {
    // Held until the process ends.
    static DataFolderLock claim;
    const RResult result = claim.Acquire(DefaultDataFolder());
    if (result == R_OK) {
        return true;
    }
    const std::string message =
        result == R_E_DATA_FOLDER_IN_USE
            ? std::string(DataFolderLock::InUseMessage())
            : platform::Format("The calendar data folder cannot be used (error 0x%08X).", static_cast<unsigned>(result));
    std::fprintf(stderr, "%s\n", message.c_str());
    if (why != nullptr) *why = message;
    return false;
}
