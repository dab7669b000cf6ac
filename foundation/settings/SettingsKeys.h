#pragma once
// Where the program's settings live in the current user's hive.

// "DebugLog" (DWORD) and "TimeZone" (string).
inline constexpr char16_t kOrvaneSettingsKey[] = u"Software\\BrenmoorTech\\Orvane";
// The sibling product's key; its "DebugLog" also switches on the HTTP request log.
inline constexpr char16_t kTessivaSettingsKey[] = u"Software\\BrenmoorTech\\Tessiva";
// One REG_BINARY value per account guid: the enciphered password.
inline constexpr char16_t kAccountKeysKey[] = u"Software\\BrenmoorTech\\Orvane\\Keys";

inline constexpr char16_t kDebugLogValueName[] = u"DebugLog";
inline constexpr char16_t kTimeZoneValueName[] = u"TimeZone";

// Size in characters of the path buffer that DeleteRegistryTree extends while it walks a tree.
inline constexpr int kRegistryPathBufferChars = 520;
