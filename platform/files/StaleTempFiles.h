#pragma once
// Temporary files of writes that replace a file whole: the new bytes go to "<file>.tmp-<pid>-<n>"
// beside it and are renamed over it. A writer killed before the rename leaves its temporary
// file; the process id in the name tells whether its writer still runs.
#include <string>

namespace platform {

// "<target>.tmp-<this process's id>-<n>", n counting up in this process (safe from any thread).
std::string NewTempFileName(const std::string& target);

// Removes the temporary files in `folder` (not below it) whose writer no longer runs: those named
// "<name>.tmp-<pid>-<n>" with <name> equal to `onlyFor` (any name when it is empty). Files of
// this process and of processes that still run are left. Returns the number removed.
int RemoveStaleTempFiles(const std::string& folder, const std::string& onlyFor = std::string());

}  // namespace platform
