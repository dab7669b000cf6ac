#pragma once
// The program's registry helpers. Unless said otherwise each returns the Win32 error number of
// its last registry call (0 = success) and closes every key it opened before returning.
// "Current user" and "machine" are the roots of platform/settings/SettingsHive.h.
// Threads: any thread; each call goes through the settings hive, which serialises itself.
#include <cstddef>  // CByteArray.h uses size_t without including it

#include "platform/core/WinTypes.h"
#include "platform/settings/SettingsHive.h"
#include "platform/string/CByteArray.h"
#include "platform/string/CString.h"

// Opens current user\parent and creates `name` under it.
DWORD CreateRegistryKey(const char16_t* parent, const char16_t* name);

// Deletes root\path with all its subkeys; 1 on success (a missing key counts as success and
// prints "Key not found.\n"), 0 on failure ("Error opening key.\n" when it cannot be opened).
// `path` is a NUL-terminated text in a buffer of at least kRegistryPathBufferChars characters;
// the walk appends subkey names to it and restores it before returning. A subtree whose path
// would not fit the buffer is not deleted (result 0).
int DeleteRegistryTree(HKEY root, char16_t* path);

// Deletes current user "Software\BrenmoorTech\Orvane\Keys\<name>" with its subkeys; always 0.
DWORD DeleteAccountKeys(const char16_t* name);

// Value "DebugLog" of current user\subkey (the first 4 bytes, type not checked); 0 when the key
// or the value is missing.
DWORD ReadDebugLogFlag(const char16_t* subkey);

// Writes a REG_BINARY value under current user\subkey, creating the key when it cannot be opened.
DWORD WriteRegistryBinary(const char16_t* subkey, const char16_t* valueName, const void* data, DWORD bytes);

// Reads a value of current user\subkey (type not checked) into `out`. A value longer than
// maxBytes fails with ERROR_MORE_DATA. `out` is changed only on success.
DWORD ReadRegistryBinary(const char16_t* subkey, const char16_t* valueName, CByteArray& out, DWORD maxBytes);

// Reads a string value of root\subkey; on success `out` (optional) is the text up to its first NUL.
DWORD ReadRegistryString(HKEY root, const char16_t* subkey, const char16_t* valueName, CStringW* out);

// Writes "TimeZone" (REG_SZ, the key name with its NUL) under current user
// "Software\BrenmoorTech\Orvane", creating the key when needed.
DWORD WriteTimeZoneSetting(const CStringW& zoneKey);

// "TimeZone" of current user "Software\BrenmoorTech\Orvane"; empty when it cannot be read
// (the system's own zone is then meant).
CStringW ReadTimeZoneSetting();

// Number of subkeys of machine\subkey; 0 on any failure.
int CountRegistrySubkeys(const char16_t* subkey);

// Name of the subkey of machine\subkey at index; `out` is set only on success.
DWORD EnumRegistrySubkey(CStringW& out, const char16_t* subkey, DWORD index);
