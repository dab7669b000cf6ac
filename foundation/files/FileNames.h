#pragma once
// Safe file names for item files and account and calendar folders.
// Threads: plain functions; any thread.
#include "platform/string/CString.h"

// `out` = `in` with each UTF-16 unit whose low 8 bits equal one of < > * ? : ; " ' / \ | @
// replaced by '_'. Only the low 8 bits are compared, so U+013C becomes '_' too: names already
// stored on disk were made by this rule. A whole name of "." or ".." becomes "_" or "__", so a
// name can never point at a folder.
void SanitizeFileName(CStringW& out, const CStringW& in);
// Narrow twin (UTF-8); `out` may be null.
void SanitizeFileNameA(const CStringA& in, CStringA* out);
