#include "platform/files/StaleTempFiles.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

constexpr char kMarker[] = ".tmp-";

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The writer's process id in "<name>.tmp-<pid>-<n>", or 0 when the name is not of that form.
pid_t WriterOf(const std::string& fileName, const std::string& onlyFor) {
    const std::size_t marker = fileName.rfind(kMarker);
    if (marker == std::string::npos || marker == 0 ||
        (!onlyFor.empty() && fileName.compare(0, marker, onlyFor) != 0)) {
        return 0;
    }
    const std::string tail = fileName.substr(marker + sizeof kMarker - 1);
    const std::size_t dash = tail.find('-');
    if (dash == std::string::npos || dash > 9 || !AllDigits(tail.substr(0, dash)) || !AllDigits(tail.substr(dash + 1))) {
        return 0;
    }
    return static_cast<pid_t>(std::strtol(tail.substr(0, dash).c_str(), nullptr, 10));
}

bool ProcessRuns(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

std::string NewTempFileName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + kMarker + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

int RemoveStaleTempFiles(const std::string& folder, const std::string& onlyFor) {
    int removed = 0;
    // Read by name alone: a calendar's folder holds tens of thousands of item files, and the
    // program lists it at every start; only the names with the marker are looked at further.
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        return 0;
    }
    while (const dirent* entry = readdir(listing)) {
        if (std::strstr(entry->d_name, kMarker) == nullptr) {
            continue;
        }
        const std::string name(entry->d_name);
        const pid_t writer = WriterOf(name, onlyFor);
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        std::error_code ignored;
        if (writer > 0 && writer != ::getpid() && std::filesystem::is_regular_file(path, ignored) &&
            !ProcessRuns(writer) && std::filesystem::remove(path, ignored)) {
            ++removed;
        }
    }
    closedir(listing);
    return removed;
}

}  // namespace platform
