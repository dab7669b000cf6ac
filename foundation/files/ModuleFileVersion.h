#pragma once
// The program's own file version (major.minor.patch.build in the MS and LS words).
// Threads: plain functions; any thread.
#include "platform/core/WinTypes.h"
#include "platform/system/FileVersion.h"

// Copies the program's version record into `out` when `out` is not null. Returns 0, or the
// platform's error number when the record cannot be read.
DWORD GetModuleFileVersion(VS_FIXEDFILEINFO* out);
