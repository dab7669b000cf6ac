#pragma once
// The store's result for a failed file or folder operation, from the platform's error number.
#include "foundation/ResultCodes.h"

// 0 for 0; R_E_DISK_FULL (no room, quota), R_E_ACCESS_DENIED (permissions, read-only medium),
// R_E_NAME_TOO_LONG, STG_E_PATHNOTFOUND (a missing folder), else R_E_WRITE_FAULT.
RResult ResultFromErrno(int error);
