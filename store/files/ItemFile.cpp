#include "store/files/ItemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
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

// Local disk file systems on which one syncfs writes out every file written before it, data and
// names. Elsewhere (network, FUSE and stacked file systems such as eCryptfs) a file system's
// flush need not reach the files' storage, so each file is flushed itself as it is written.
bool FlushesWholeFileSystem(int folderFd) {
    struct statfs info {};
    if (fstatfs(folderFd, &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0xEF53UL:      // ext2, ext3, ext4
        case 0x58465342UL:  // XFS
        case 0x9123683EUL:  // Btrfs
        case 0xF2F52010UL:  // F2FS
        case 0x01021994UL:  // tmpfs (nothing to write out)
            return true;
        default:
            return false;
    }
}

// The open folders of a batch, closed when it ends.
class OpenFolders {
public:
    OpenFolders() = default;
    OpenFolders(const OpenFolders&) = delete;
    OpenFolders& operator=(const OpenFolders&) = delete;
    ~OpenFolders() {
        for (const Folder& folder : folders) close(folder.fd);
    }
    // 0 or errno.
    int Open(const std::string& path) {
        if (byPath.count(path) != 0) return 0;
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno;
        struct stat info {};
        if (fstat(fd, &info) != 0) {
            const int error = errno;
            close(fd);
            return error;
        }
        byPath.emplace(path, folders.size());
        folders.push_back(Folder{fd, info.st_dev, FlushesWholeFileSystem(fd)});
        return 0;
    }
    // Whether the files written into the folder (opened before) wait for FlushFileSystems.
    bool FlushedTogether(const std::string& path) const {
        const auto found = byPath.find(path);
        return found != byPath.end() && folders[found->second].wholeFileSystem;
    }
    // Flushes every file system that holds such folders, once each: one call writes out all of
    // the batch's files there together, where a flush per file waits for the disk each time.
    int FlushFileSystems() const {
        std::set<dev_t> flushed;
        for (const Folder& folder : folders) {
            if (folder.wholeFileSystem && flushed.insert(folder.device).second && syncfs(folder.fd) != 0) {
                return errno;
            }
        }
        return 0;
    }
    // Flushes each folder, so that the names renamed into it are on disk too.
    int FlushFolders() const {
        for (const Folder& folder : folders) {
            if (fsync(folder.fd) != 0) return errno;
        }
        return 0;
    }

private:
    struct Folder {
        int fd;
        dev_t device;
        bool wholeFileSystem;
    };
    std::vector<Folder> folders;
    std::map<std::string, std::size_t> byPath;
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
    // The new name goes to disk before the caller stores the row that names the file: after a
    // crash the row must not outlive its file.
    if (error == 0) {
        OpenFolders folder;
        error = folder.Open(FolderOf(path.Str()));
        if (error == 0) error = folder.FlushFolders();
    }
    return error;
}

int WriteFilesAtomically(const std::vector<FileToWrite>& files) {
    if (files.empty()) return 0;
    OpenFolders folders;
    for (const FileToWrite& file : files) {
        if (const int error = folders.Open(FolderOf(file.path.Str())); error != 0) return error;
    }
    std::vector<std::string> temps;
    temps.reserve(files.size());
    const auto removeTempsFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < temps.size(); ++i) unlink(temps[i].c_str());
    };
    int error = 0;
    for (const FileToWrite& file : files) {
        const bool flushNow = !folders.FlushedTogether(FolderOf(file.path.Str()));
        temps.push_back(platform::NewTempFileName(file.path.Str()));
        error = WriteTempFile(temps.back(), file.bytes, file.length, flushNow);
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
