// The program's entry: the desktop calendar's run, once this copy holds the data folder.
#include "store/files/DataFolderLock.h"
#include "ui/app/OrvaneMain.h"

int main(int argc, char** argv) {
    if (!ClaimDataFolderForThisRun()) {
        return 1;  // another copy of the program holds the data folder; it has said so
    }
    return RunOrvane(argc, argv);
}
