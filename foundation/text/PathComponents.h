#pragma once
// Splitting and joining of file paths and server paths. Both '/' and '\' count as separators
// when reading; joining writes '/', this platform's folder separator.
#include <string_view>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// `out` = the text after the last separator, not counting a separator in the last position, with
// one trailing separator removed ("a/b/c/" gives "c"). With no such separator, or only one at
// position 0, `out` is the whole path (less one trailing separator). Returns 0.
RResult GetLastPathComponent(const CStringW& path, CStringW& out);
// Narrow twin (UTF-8); `out` may be null.
RResult GetLastPathComponentA(const CStringA& path, CStringA* out);
// The same cut of a path of ASCII characters only, as a view into it.
std::string_view LastAsciiPathComponent(std::string_view path);

// Cuts `path` to the text before its last separator, not counting a separator in the last
// position, less one trailing separator ("a/b/c/" gives "a/b"); a path with no separator becomes
// empty. Returns 0.
RResult GetParentPath(CStringW& path);
RResult GetParentPathA(CStringA& path);

// Appends '/' unless `path` already ends with '/' or '\' (an empty path gets one too), then `part`.
// Returns 0.
RResult AppendPathComponent(CStringW& path, const CStringW& part);
RResult AppendPathComponentA(CStringA& path, const CStringA& part);
