#pragma once
// New identifiers for accounts, calendars and items.
#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// `out` = a fresh random GUID text: 36 characters, lower-case hexadecimal with dashes, no braces.
// Returns 0, or the platform's error number when no random bytes could be had; `out` is then
// left as it was, never filled with a predictable identifier.
RResult NewGuidString(CStringW& out);
RResult NewGuidStringA(CStringA& out);
