#include "store/files/ItemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "platform/files/StaleTempFiles.h"

namespace {

// ".tmp-<pid>-<n>" with a process id and a count of ten digits each.
constexpr std::size_t kLongestTempSuffix = 5 + 10 + 1 + 10;

// Writes `bytes` to the file `name`, which must not exist yet, in the folder open as `folderFd`
// (made private until complete; an item file is an ordinary user file), flushing it first when
// `flush`. 0 or errno (EEXIST when the name is taken); on failure the new file is gone. Names are
// taken relative to the open folder: the folder's path is then not walked again for every file of
// a batch.
int WriteNewFile(int folderFd, const char* name, const char* bytes, std::size_t length, bool flush) {
    const int fd = openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
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
        unlinkat(folderFd, name, 0);
    }
    return error;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The last component of a path (the whole path when it has no '/').
const char* NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
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
    // 0 or errno; `index` (when given) is the folder's place, for Fd and FlushedTogether.
    int Open(const std::string& path, std::size_t* index = nullptr) {
        if (const auto found = byPath.find(path); found != byPath.end()) {
            if (index != nullptr) *index = found->second;
            return 0;
        }
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno;
        struct stat info {};
        if (fstat(fd, &info) != 0) {
            const int error = errno;
            close(fd);
            return error;
        }
        if (index != nullptr) *index = folders.size();
        byPath.emplace(path, folders.size());
        const long nameMax = fpathconf(fd, _PC_NAME_MAX);
        folders.push_back(Folder{fd, info.st_dev, FlushesWholeFileSystem(fd), nameMax > 0 ? static_cast<std::size_t>(nameMax) : 0});
        return 0;
    }
    int Fd(std::size_t index) const { return folders[index].fd; }
    // Whether a name of `length` bytes still fits the folder's file system with the longest
    // temporary suffix added (false when the limit is unknown).
    bool TakesTempSuffix(std::size_t index, std::size_t length) const {
        return length + kLongestTempSuffix <= folders[index].nameMax;
    }
    // Whether the files written into the folder wait for FlushFileSystems.
    bool FlushedTogether(std::size_t index) const { return folders[index].wholeFileSystem; }
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
        std::size_t nameMax;  // 0 when unknown
    };
    std::vector<Folder> folders;
    std::map<std::string, std::size_t> byPath;
};

}  // namespace

int WriteFileAtomically(const CStringA& path, const char* bytes, std::size_t length) {
    OpenFolders folder;
    std::size_t index = 0;
    if (const int error = folder.Open(FolderOf(path.Str()), &index); error != 0) return error;
    const int fd = folder.Fd(index);
    // The name carries this process's id, so a store opened after a crash knows it for a leftover.
    const std::string temp = platform::NewTempFileName(NameOf(path.Str()));
    int error = WriteNewFile(fd, temp.c_str(), bytes, length, true);
    if (error == 0 && renameat(fd, temp.c_str(), fd, NameOf(path.Str())) != 0) {
        error = errno;
        unlinkat(fd, temp.c_str(), 0);
    }
    // The new name goes to disk before the caller stores the row that names the file: after a
    // crash the row must not outlive its file.
    if (error == 0) error = folder.FlushFolders();
    return error;
}

int WriteFilesAtomically(const std::vector<FileToWrite>& files) {
    if (files.empty()) return 0;
    OpenFolders folders;
    // Each file's folder (its place in `folders`) and its name in it.
    std::vector<std::size_t> folderOf(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const int error = folders.Open(FolderOf(files[i].path.Str()), &folderOf[i]); error != 0) return error;
    }
    const auto nameOf = [&](std::size_t i) { return NameOf(files[i].path.Str()); };
    // The temporary file each file was written to; empty for a file written under its own name.
    std::vector<std::string> temps;
    temps.reserve(files.size());
    // Removes the temporary files from `first` on and, when `newFilesToo`, the new files.
    const auto removeFrom = [&](std::size_t first, bool newFilesToo) {
        for (std::size_t i = first; i < temps.size(); ++i) {
            if (!temps[i].empty()) {
                unlinkat(folders.Fd(folderOf[i]), temps[i].c_str(), 0);
            } else if (newFilesToo) {
                unlinkat(folders.Fd(folderOf[i]), nameOf(i), 0);
            }
        }
    };
    int error = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const int fd = folders.Fd(folderOf[i]);
        const bool flushNow = !folders.FlushedTogether(folderOf[i]);
        // A file that is not there yet is written under its own name, with no rename: no row names
        // it before the batch is on disk, so a crash that leaves it half written leaves nothing
        // that reads it, and its next write replaces it whole. A name too long to take the
        // temporary suffix goes the temporary way, so that it fails now rather than at its next write.
        if (folders.TakesTempSuffix(folderOf[i], std::strlen(nameOf(i)))) {
            error = WriteNewFile(fd, nameOf(i), files[i].bytes, files[i].length, flushNow);
            if (error == 0) {
                temps.emplace_back();
                continue;
            }
            if (error != EEXIST) break;
        }
        std::string temp = platform::NewTempFileName(nameOf(i));
        error = WriteNewFile(fd, temp.c_str(), files[i].bytes, files[i].length, flushNow);
        if (error != 0) break;  // already removed
        temps.push_back(std::move(temp));
    }
    if (error == 0) error = folders.FlushFileSystems();
    if (error != 0) {
        // The files written under their own names were new: removing them leaves the folder as it was.
        removeFrom(0, true);
        return error;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (temps[i].empty()) continue;
        const int fd = folders.Fd(folderOf[i]);
        if (renameat(fd, temps[i].c_str(), fd, nameOf(i)) != 0) {
            error = errno;
            removeFrom(i, false);
            break;
        }
    }
    const int flushed = folders.FlushFolders();
    return error != 0 ? error : flushed;
}
