#pragma once
// Writing an item's iCalendar text to its file: the bytes go to a temporary file in the same
// folder ("<file>.tmp-<pid>-<n>"), are flushed, and the file is renamed over the old one, so a
// crash leaves either the old item or the new one, never half of one; the store removes the
// temporary files of writers that died when it next opens.
#include <cstddef>
#include <vector>

#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// 0 once the file and its new name are on disk (the folder is flushed after the rename), or the
// platform's error number (errno) when the file could not be written; an existing file is then
// left as it was, unless only the folder's flush failed after the rename.
int WriteFileAtomically(const CStringA& path, const char* bytes, std::size_t length);

// One file of a batch: where it goes and its bytes (not copied; they must outlive the call).
struct FileToWrite {
    CStringA path;
    const char* bytes = nullptr;
    std::size_t length = 0;
};

// Writes several files, each atomically as above, with one flush to disk for all of them instead
// of one per file: every file is written in full (one that is not there yet under its own name,
// the others to temporary files), the file systems holding them are flushed (on a local disk file
// system; elsewhere each file is flushed as it is written), each temporary file is renamed into
// place, and then each folder is flushed so that the new names last too. 0 once all are in place
// and on disk; otherwise the first error number. A failure before the renames changes none of the
// files (the new ones are removed again); a failed rename leaves the new files and those renamed
// before it complete with their new bytes and the rest as they were. No temporary file is left.
// A crash can leave a new file half written, but only before the caller stores a row naming it.
int WriteFilesAtomically(const std::vector<FileToWrite>& files);
