#include "store/files/ItemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/files/StaleTempFiles.h"

namespace {

// Writes `bytes` to the new file `temp` (made private until complete; an item file is an ordinary
// user file), flushing it first when `flush`. 0 or errno; on failure the temporary file is gone.
int WriteTempFile(const std::string& temp, const char* bytes, std::size_t length, bool flush) {
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    std::size_t written = 0;
    while (written < length) {
        const ssize_t n = write(fd, bytes + written, length - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (error == 0 && fchmod(fd, 0644) != 0) {
        error = errno;
    }
    if (error == 0 && flush && fdatasync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temp.c_str());
    }
    return error;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The open folders of a batch, closed when it ends.
class OpenFolders {
public:
    OpenFolders() = default;
    OpenFolders(const OpenFolders&) = delete;
    OpenFolders& operator=(const OpenFolders&) = delete;
    ~OpenFolders() {
        for (const int fd : fds) close(fd);
    }
    // 0 or errno.
    int Open(const std::string& folder) {
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno;
        fds.push_back(fd);
        return 0;
    }
    // Flushes every file system that holds one of the folders, once each: one call writes out
    // all of the batch's files there together, where a flush per file waits for the disk each time.
    int FlushFileSystems() const {
        std::set<dev_t> flushed;
        for (const int fd : fds) {
            struct stat info {};
            if (fstat(fd, &info) != 0) return errno;
            if (flushed.insert(info.st_dev).second && syncfs(fd) != 0) return errno;
        }
        return 0;
    }
    // Flushes each folder, so that the names renamed into it are on disk too.
    int FlushFolders() const {
        for (const int fd : fds) {
            if (fsync(fd) != 0) return errno;
        }
        return 0;
    }

private:
    std::vector<int> fds;
};

}  // namespace

int WriteFileAtomically(const CStringA& path, const char* bytes, std::size_t length) {
    // The name carries this process's id, so a store opened after a crash knows it for a leftover.
    const std::string temp = platform::NewTempFileName(path.Str());
    int error = WriteTempFile(temp, bytes, length, true);
    if (error == 0 && std::rename(temp.c_str(), path.GetString()) != 0) {
        error = errno;
        unlink(temp.c_str());
    }
    return error;
}

int WriteFilesAtomically(const std::vector<FileToWrite>& files) {
    if (files.empty()) return 0;
    OpenFolders folders;
    std::set<std::string> seen;
    for (const FileToWrite& file : files) {
        const std::string folder = FolderOf(file.path.Str());
        if (seen.insert(folder).second) {
            if (const int error = folders.Open(folder); error != 0) return error;
        }
    }
    std::vector<std::string> temps;
    temps.reserve(files.size());
    const auto removeTempsFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < temps.size(); ++i) unlink(temps[i].c_str());
    };
    int error = 0;
    for (const FileToWrite& file : files) {
        temps.push_back(platform::NewTempFileName(file.path.Str()));
        error = WriteTempFile(temps.back(), file.bytes, file.length, false);
        if (error != 0) {
            temps.pop_back();  // already removed
            break;
        }
    }
    if (error == 0) error = folders.FlushFileSystems();
    if (error != 0) {
        removeTempsFrom(0);
        return error;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (std::rename(temps[i].c_str(), files[i].path.GetString()) != 0) {
            error = errno;
            removeTempsFrom(i);
            break;
        }
    }
    const int flushed = folders.FlushFolders();
    return error != 0 ? error : flushed;
}
