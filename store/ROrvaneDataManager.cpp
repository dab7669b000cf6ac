#include "store/ROrvaneDataManager.h"

ROrvaneDataManager::ROrvaneDataManager() = default;

// The connection member closes itself; a failure to close is swallowed there, since
// a destructor that throws would end the program.
ROrvaneDataManager::~ROrvaneDataManager() = default;
