#pragma once
// Splitting an absolute URL into the fixed-size fields that the connection and discovery use.
#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

inline constexpr int kCrackSchemeMax = 31;
inline constexpr int kCrackHostMax = 63;
inline constexpr int kCrackPathMax = 255;

// Each output is optional. A part longer than its field is left empty rather than cut (a cut
// host or path would name some other server or resource). The port is the URL's, else the
// scheme's default. Returns 0, as the parser's own result is not looked at.
RResult CrackUrl(const char* url, CStringA* path, CStringA* host, CStringA* scheme, int* port);
