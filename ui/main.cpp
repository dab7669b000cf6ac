// The program's entry: the desktop calendar's run, once this copy holds the data folder.
#include <string>

#include "store/files/DataFolderLock.h"
#include "ui/app/OrvaneMain.h"

int main(int argc, char** argv) {
    std::string why;
    if (!ClaimDataFolderForThisRun(&why)) {
        // Another copy of the program holds the data folder, or it cannot be used.
        return ShowStartFailure(argc, argv, why);
    }
    return RunOrvane(argc, argv);
}
