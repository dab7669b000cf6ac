#pragma once
// Recursive deletion of a folder (or a single file) with everything below it.
// Threads: a plain function; any thread.
#include <string>

namespace platform {

// Deletes `path` and everything in it; symbolic links are removed, never followed.
// Returns 0, or an errno value: ENOENT when nothing is there, EINVAL for an empty path or one
// that names the file-system root, otherwise the first failure met.
int DeleteFolderTree(const std::string& path);

}  // namespace platform
