#include "platform/files/XdgFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {
namespace {

// Only absolute values count; the XDG rules say a relative value is to be ignored.
std::string FromEnvironment(const char* name, const char* fallbackBelowHome) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') {
        std::string path = value;
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    }
    return HomeFolder() + "/" + fallbackBelowHome;
}

}  // namespace

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    const passwd* entry = getpwuid(getuid());
    return (entry != nullptr && entry->pw_dir != nullptr) ? entry->pw_dir : "/tmp";
}

std::string DataHomeFolder() { return FromEnvironment("XDG_DATA_HOME", ".local/share"); }
std::string ConfigHomeFolder() { return FromEnvironment("XDG_CONFIG_HOME", ".config"); }
std::string DocumentsFolder() { return FromEnvironment("XDG_DOCUMENTS_DIR", "Documents"); }

}  // namespace platform
