#pragma once
// The per-user folders of this platform (XDG base directories), standing in for the shell's
// special folders. Each returns an absolute path without a trailing slash.
// Threads: any thread, as long as no thread changes the environment meanwhile.
#include <string>

namespace platform {

std::string HomeFolder();
// $XDG_DATA_HOME, default ~/.local/share: the local application-data folder.
std::string DataHomeFolder();
// $XDG_CONFIG_HOME, default ~/.config: where the settings hive lives.
std::string ConfigHomeFolder();
// $XDG_DOCUMENTS_DIR, default ~/Documents: the user's documents folder (debug log).
std::string DocumentsFolder();

}  // namespace platform
