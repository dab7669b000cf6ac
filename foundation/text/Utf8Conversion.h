#pragma once
// Conversions of the program's UTF-16 text to UTF-8 for the network, iCalendar text and the
// database. Unpaired surrogates become U+FFFD; nothing fails on malformed text.
#include <string>

#include "platform/string/CString.h"

// A malloc'ed, NUL-terminated UTF-8 copy of the whole text, or null when memory runs out.
// The buffer holds at least 2 x length + 2 bytes; the caller frees it with free().
char* WideToUtf8(const CStringW& text);

// `out` = the UTF-8 bytes of `in`.
void ToUtf8String(const CStringW& in, CStringA& out);

// Text read from a file of unknown encoding as UTF-8: the bytes unchanged when they are valid
// UTF-8, otherwise each byte read as Windows-1252 (the usual encoding of files that are not
// UTF-8; its five unassigned bytes stand for the C1 controls of the same number).
std::string FileBytesToUtf8(std::string bytes);
