#pragma once
// Paths below the data folder built from names that come from servers and stored rows
// (guids, hrefs). A name is made safe for a file name first; a result that would still leave
// its parent folder (an empty name, "." or "..", a separator) is refused.
#include "foundation/ResultCodes.h"
#include "platform/string/CString.h"

// `out` = parent + '/' + the sanitised name. R_E_INVALID_ARGUMENT (out untouched) when the
// name sanitises to nothing usable or the parent is empty.
RResult BuildChildPath(const CStringA& parent, const CStringA& name, CStringA& out);

// The local name of an item file for the name the item has on the server: the name made safe for
// a file name. A safe name longer than a file name may be (255 bytes) is shortened: its start, then
// '~' and a digest of the whole name, then its extension, short enough that the temporary file
// a write goes through fits as well. The same name always gives the same local name, different
// long names give different ones, and a name that is short enough is returned as it is, so the
// function may be applied to its own result.
CStringA LocalItemFileName(const CStringA& serverFileName);

// True when `path`, read lexically ('.' and '..' resolved, '/' and '\' as separators), lies
// strictly below `root`. Used before deleting or writing anything a stored row points at.
bool IsStrictlyBelow(const CStringA& path, const CStringA& root);
