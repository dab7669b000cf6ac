#pragma once
// Scanners over the body of a redirect answer that names no Location: each works on a
// lower-cased copy, copies what it finds into `out` (at most kScanOutMax characters) and returns
// the offset where the found text starts, or -1.
#include <string_view>

#include "platform/string/CString.h"

inline constexpr int kScanOutMax = 519;

// The first "http://", else "https://", else "webcal://" followed by a host ending in ".com",
// ".net" or ".org" (with an optional ":port" and one "/"); lower case, any further path dropped.
int FindAbsoluteUrl(std::string_view body, CStringA& out);
// The value of the first href="..." attribute, as received.
int FindHrefInBody(std::string_view body, CStringA& out);
// The text between "document moved to " and ".</p>", lower case.
int FindMovedToUrl(std::string_view body, CStringA& out);
