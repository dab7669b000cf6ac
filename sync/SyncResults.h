#pragma once
// Result codes of the synchronisation layer beyond the program-wide ones.
#include "foundation/ResultCodes.h"

// The calendar is busy with another operation that did not give way in time (the Windows
// ERROR_BUSY number, which the error texts know).
constexpr RResult R_E_CALENDAR_BUSY = 170;
// The operation stopped because the program is closing or its account was deleted; nothing is
// reported for it.
constexpr RResult R_E_SYNC_CANCELLED = 1223;
// A file too large to import (the Windows ERROR_FILE_TOO_LARGE number).
constexpr RResult R_E_FILE_TOO_LARGE = 223;
