#pragma once
// The built-in Olson alias lines (written by tools/make_zone_tables.py): entry i has the id
// kFirstZoneAliasId + i; each line is TAB-separated names of one zone, the Olson identifier first.
// Safe to share: constant data.

inline constexpr int kFirstZoneAliasId = 13001;

extern const char16_t* const kZoneAliasLineTexts[];
extern const int kZoneAliasLineCount;

// The text of the alias line with that id, or null when there is none.
const char16_t* LoadZoneAliasString(int id);
