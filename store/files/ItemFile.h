#pragma once
// Writing an item's iCalendar text to its file: the bytes go to a temporary file in the same
// folder ("<file>.tmp-<pid>-<n>"), are flushed, and the file is renamed over the old one, so a
// crash leaves either the old item or the new one, never half of one; the store removes the
// temporary files of writers that died when it next opens.
#include <cstddef>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// 0, or the platform's error number (errno) when the file could not be written; an existing
// file is then left as it was.
int WriteFileAtomically(const CStringA& path, const char* bytes, std::size_t length);
