// Program entry until the desktop user interface exists: reports the version and exits.
#include <cstdio>

#include "platform/system/Version.h"
#include "store/files/DataFolderLock.h"

int main() {
    if (!ClaimDataFolderForThisRun()) {
        return 1;  // another copy of the program holds the data folder; it has said so
    }
    std::printf("Orvane %s\n", ORVANE_VERSION_TEXT);
    std::printf("The calendar window is not available in this build yet.\n");
    return 0;
}
