#pragma once
// The texts of the error report, chosen by result code.
#include "foundation/ResultCodes.h"

// The text whose id equals the code; for any other code one of the fallback texts, chosen by the
// code's low word: 38 (end of file) gives 30026, 86 (invalid password) 30056, 11 (bad format)
// 30011, 1392 (damaged file) 31392, everything else 599. Never null or empty.
const char16_t* ErrorTextForCode(RResult code);

// The text with exactly this id, or null.
const char16_t* FindErrorText(int id);
