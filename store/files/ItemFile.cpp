#include "store/files/ItemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/StaleTempFiles.h"

int WriteFileAtomically(const CStringA& path, const char* bytes, std::size_t length) {
    // The name carries this process's id, so a store opened after a crash knows it for a leftover.
    const std::string temp = platform::NewTempFileName(path.Str());
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
    // Made private until complete; an item file is an ordinary user file.
    if (error == 0 && fchmod(fd, 0644) != 0) {
        error = errno;
    }
    if (error == 0 && fdatasync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temp.c_str(), path.GetString()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temp.c_str());
    }
    return error;
}
