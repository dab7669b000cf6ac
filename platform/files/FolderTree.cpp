#include "platform/files/FolderTree.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

// A path that reduces to the root, the current folder or one of its ancestors: deleting it
// would take far more than the caller meant (a stray empty component or a "..").
bool NamesRootOrCurrentFolder(const std::filesystem::path& path) {
    std::filesystem::path normal = path.lexically_normal();
    if (normal.relative_path().empty()) {
        return true;
    }
    if (!normal.has_filename()) {
        normal = normal.parent_path();  // "a/b/" names the folder b
    }
    const std::filesystem::path last = normal.filename();
    return last.empty() || last == "." || last == "..";
}

}  // namespace

int DeleteFolderTree(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        return EINVAL;
    }
    const fs::path target(path);
    if (NamesRootOrCurrentFolder(target)) {
        return EINVAL;
    }
    std::error_code error;
    const fs::file_status status = fs::symlink_status(target, error);
    if (error || !fs::exists(status)) {
        return error && error.value() != ENOENT ? error.value() : ENOENT;
    }
    fs::remove_all(target, error);
    return error ? error.value() : 0;
}

}  // namespace platform
