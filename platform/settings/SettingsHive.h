#pragma once
// The registry of this platform, as far as the program uses it.
//
// Current user: a per-user hive of keys (backslash paths such as u"Software\\BrenmoorTech\\Orvane")
// holding typed values (REG_DWORD, REG_SZ, REG_BINARY or any other type number, kept as raw bytes).
// It lives in one text file, $XDG_CONFIG_HOME/BrenmoorTech/settings.ini (format described in
// HiveFileFormat.h). Every call reloads the file, so there is no in-memory state to go stale; every
// change is a reload-modify-write under one process-wide mutex (and a lock file against other
// processes) and is written atomically (temp file, fsync, rename). Like every user profile, the
// hive always has the key "Software".
//
// Machine: read-only; it holds only the zone list at kZoneListKeyPath (ZoneKeySource.h), one
// subkey per zone with no further subkeys. Every other machine path is ERROR_FILE_NOT_FOUND and
// every change is ERROR_ACCESS_DENIED.
//
// Key and value names match without regard to ASCII letter case and keep the case they were
// created with. Results are Win32 error numbers (ERROR_SUCCESS = 0).
// Threads: every function may be called from any thread; one key handle belongs to one thread at a
// time.
#include <cstdint>

#include "platform/core/WinTypes.h"

namespace platform {

struct RegKeyObject;
// An open key; close every handle that an open or create call gave with RegCloseKey.
using HKEY = RegKeyObject*;

// The two roots; always open, closing them does nothing.
extern HKEY const HKEY_CURRENT_USER;
extern HKEY const HKEY_LOCAL_MACHINE;

// Longest key name (one path level) and value name, in characters, as on the original platform.
inline constexpr DWORD kMaxKeyNameChars = 255;
inline constexpr DWORD kMaxValueNameChars = 16383;
// Largest value accepted, in bytes.
inline constexpr DWORD kMaxValueBytes = 1024 * 1024;

// Opens parent\subkey. A null or empty subkey opens parent itself again.
// ERROR_FILE_NOT_FOUND when the key does not exist.
DWORD RegOpenKey(HKEY parent, const char16_t* subkey, HKEY* result);

// Opens parent\subkey, creating every missing level. A null or empty subkey opens parent again.
DWORD RegCreateKey(HKEY parent, const char16_t* subkey, HKEY* result);

DWORD RegCloseKey(HKEY key);

// Reads a value (a null or empty name is the key's default value).
// data null: only *type and *bytes are filled. data given: *bytes is the buffer size on entry;
// when the value is larger the result is ERROR_MORE_DATA and *bytes the size needed; otherwise
// the bytes are copied and *bytes is their count. ERROR_FILE_NOT_FOUND for a missing value.
DWORD RegQueryValue(HKEY key, const char16_t* valueName, DWORD* type, BYTE* data, DWORD* bytes);

// Writes (creates or replaces) a value of the given type with exactly these bytes.
DWORD RegSetValue(HKEY key, const char16_t* valueName, DWORD type, const BYTE* data, DWORD bytes);

DWORD RegDeleteValue(HKEY key, const char16_t* valueName);

// Deletes parent\subkey with its values; ERROR_ACCESS_DENIED while it still has subkeys,
// ERROR_FILE_NOT_FOUND when it does not exist.
DWORD RegDeleteKey(HKEY parent, const char16_t* subkey);

// Number of direct subkeys of the key (the part of RegQueryInfoKey the program uses).
DWORD RegQuerySubkeyCount(HKEY key, DWORD* count);

// Name of the subkey at index (subkeys are in ASCII-case-insensitive name order).
// *nameChars is the buffer size in characters on entry (room for the NUL included) and the name's
// length without the NUL on success; ERROR_MORE_DATA when the buffer is too small,
// ERROR_NO_MORE_ITEMS when index is past the last subkey.
DWORD RegEnumKey(HKEY key, DWORD index, char16_t* name, DWORD* nameChars);

// Name of the value at index (values are in the order they were first written), with the buffer
// rules of RegEnumKey; room for kMaxValueNameChars + 1 characters always suffices. Current-user
// keys only: a machine key gives ERROR_INVALID_PARAMETER.
DWORD RegEnumValue(HKEY key, DWORD index, char16_t* name, DWORD* nameChars);

}  // namespace platform

using platform::HKEY;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
