#include "platform/settings/HiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/StaleTempFiles.h"
#include "platform/files/XdgFolders.h"
#include "platform/settings/HiveFileFormat.h"

namespace platform::hive {
namespace {

namespace fs = std::filesystem;

// Names tried for the copy of a corrupt file; past the last one the oldest copy is replaced.
constexpr int kMaxCorruptCopies = 100;

std::string ParentFolder(const std::string& filePath) { return fs::path(filePath).parent_path().string(); }

bool ReadWholeFile(int fd, std::string& text) {
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        text.append(chunk, static_cast<size_t>(got));
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool KeepCorruptCopy(const std::string& filePath) {
    std::error_code error;
    std::string target;
    for (int n = 1; n <= kMaxCorruptCopies; ++n) {
        target = filePath + ".corrupt" + (n == 1 ? std::string() : "-" + std::to_string(n));
        if (!fs::exists(target, error)) break;
    }
    fs::copy_file(filePath, target, fs::copy_options::overwrite_existing, error);
    return !error;
}

}  // namespace

std::string HiveFilePath() { return ConfigHomeFolder() + "/BrenmoorTech/settings.ini"; }

LoadedHive LoadHiveFile(const std::string& filePath) {
    LoadedHive hive;
    // Every user profile has this key; callers create their keys below it level by level.
    hive.root.GetOrAddSubkey(u"Software");
    const int fd = ::open(filePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        hive.state = errno == ENOENT ? HiveFileState::Missing : HiveFileState::Unreadable;
        return hive;
    }
    std::string text;
    const bool read = ReadWholeFile(fd, text);
    ::close(fd);
    if (!read) {
        hive.state = HiveFileState::Unreadable;
        return hive;
    }
    const HiveParseResult parsed = ReadHiveText(text, hive.root);
    hive.state = parsed.corruptLines > 0 ? HiveFileState::Corrupt : HiveFileState::Clean;
    return hive;
}

DWORD SaveHiveFile(const std::string& filePath, const LoadedHive& hive) {
    if (hive.state == HiveFileState::Unreadable) {
        return ERROR_CANTWRITE;
    }
    const std::string folder = ParentFolder(filePath);
    std::error_code error;
    fs::create_directories(folder, error);

    // The name carries this process's id, so a later process knows it for a leftover.
    const std::string temp = NewTempFileName(filePath);
    // The hive holds enciphered passwords: readable by the user only.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return ERROR_CANTWRITE;
    }
    const bool written = WriteAll(fd, WriteHiveText(hive.root)) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temp.c_str());
        return ERROR_CANTWRITE;
    }
    if (hive.state == HiveFileState::Corrupt && !KeepCorruptCopy(filePath)) {
        // Without a copy of the original nothing in it may be thrown away.
        ::unlink(temp.c_str());
        return ERROR_CANTWRITE;
    }
    if (::rename(temp.c_str(), filePath.c_str()) != 0) {
        ::unlink(temp.c_str());
        return ERROR_CANTWRITE;
    }
    SyncFolder(folder);
    return ERROR_SUCCESS;
}

void RemoveStaleHiveTempFiles(const std::string& filePath) {
    const fs::path file(filePath);
    static_cast<void>(RemoveStaleTempFiles(file.parent_path().string(), file.filename().string()));  // a count only
}

HiveFileLock::HiveFileLock(const std::string& filePath) {
    std::error_code error;
    fs::create_directories(ParentFolder(filePath), error);
    fd_ = ::open((filePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

HiveFileLock::~HiveFileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing releases the lock
    }
}

}  // namespace platform::hive
