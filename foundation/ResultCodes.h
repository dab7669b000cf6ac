#pragma once
// The program's result codes: 0 is success, HTTP statuses and Win32/WinINet numbers pass
// through unchanged, and the program's own failures are HRESULT-style values.
#include <cstdint>

// The C library defines R_OK as a macro for access() (4) in both <unistd.h> and <fcntl.h>, and
// the standard headers pull them in. Both are taken in here, before the macro is dropped: their
// include guards keep them from defining it again later, so R_OK names success whichever order a
// file includes its headers in. (A call of access() in a file that sees this header writes 4.)
#include <fcntl.h>
#include <unistd.h>
#undef R_OK

using RResult = std::int32_t;

constexpr RResult R_OK = 0;
constexpr RResult R_E_OUT_OF_MEMORY = static_cast<RResult>(0x80080008u);
constexpr RResult R_E_INVALID_ARGUMENT = static_cast<RResult>(0x80080057u);
constexpr RResult R_E_BUFFER_TOO_SMALL = static_cast<RResult>(0x8008007Au);
constexpr RResult R_E_BAD_FORMAT = static_cast<RResult>(0x8008000Bu);
constexpr RResult R_E_INVALID_INDEX = static_cast<RResult>(0x80080585u);
constexpr RResult STG_E_PATHNOTFOUND = static_cast<RResult>(0x80030003u);
// A file that may only be read (the Win32 ERROR_ACCESS_DENIED in the storage facility).
constexpr RResult R_E_ACCESS_DENIED = static_cast<RResult>(0x80030005u);
constexpr RResult R_E_ALREADY_EXISTS = static_cast<RResult>(0x800300B7u);
constexpr RResult R_E_EXCEPTION = static_cast<RResult>(0x8003000Au);
constexpr RResult R_E_END_OF_TEXT = static_cast<RResult>(0x80030026u);
constexpr RResult R_E_WAIT_ABANDONED = static_cast<RResult>(0x800302CDu);
constexpr RResult R_E_CONNECTION_SETUP = static_cast<RResult>(0x800C000Au);
// A server's answer exceeded the size the program accepts (Win32 ERROR_FILE_TOO_LARGE in the
// HTTP client's facility). Final: sending the request again would fetch the same answer.
constexpr RResult R_E_RESPONSE_TOO_LARGE = static_cast<RResult>(0x800C00DFu);
// The disk (or the user's quota) has no room for a write (Win32 ERROR_DISK_FULL).
constexpr RResult R_E_DISK_FULL = static_cast<RResult>(0x80080070u);
// Another connection held the database past the busy timeout (Win32 ERROR_BUSY).
constexpr RResult R_E_DATABASE_BUSY = static_cast<RResult>(0x800800AAu);
// A file or folder name longer than the file system accepts (Win32 ERROR_FILENAME_EXCED_RANGE).
constexpr RResult R_E_NAME_TOO_LONG = static_cast<RResult>(0x800800CEu);
// The data folder is in use by another copy of the program (Win32 ERROR_SHARING_VIOLATION).
constexpr RResult R_E_DATA_FOLDER_IN_USE = static_cast<RResult>(0x80080020u);
// The store's database file is damaged (Win32 ERROR_FILE_CORRUPT); nothing more is written into it.
constexpr RResult R_E_DATABASE_CORRUPT = static_cast<RResult>(0x80080570u);
// A file or folder operation failed for another reason (Win32 ERROR_WRITE_FAULT).
constexpr RResult R_E_WRITE_FAULT = static_cast<RResult>(0x8008001Du);

// A request succeeded when its result is 0 or an HTTP status from 200 to 299.
constexpr bool RSucceeded(RResult result) { return result == 0 || (result >= 200 && result <= 299); }
