// Program entry until the desktop user interface exists: reports the version and exits.
#include <cstdio>

#include "platform/system/Version.h"

int main() {
    std::printf("Orvane %s\n", ORVANE_VERSION_TEXT);
    std::printf("The calendar window is not available in this build yet.\n");
    return 0;
}
