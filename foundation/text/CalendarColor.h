#pragma once
// The calendar colour as servers send it: "#RRGGBBAA".
#include "platform/core/WinTypes.h"
#include "platform/string/CString.h"

// R | G << 8 | B << 16 from a text of at least 9 characters (the alpha pair is ignored); any
// shorter text, "#RRGGBB" included, gives 0 (black). Each pair is read as strtol reads base 16;
// a pair that reads negative ("-1") counts as 0 so that it cannot spill into the other channels.
COLORREF ParseCalendarColor(const CStringW& text);
