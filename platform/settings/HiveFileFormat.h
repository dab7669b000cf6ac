#pragma once
// The text form of the settings hive. The file is plain ASCII, one item per line ("\n"):
//
//   # comment (the first line names the format)
//   [Software\BrenmoorTech\Orvane]        a key, by its full path ("[]" is the hive's root)
//   DebugLog=dword:00000001              REG_DWORD of exactly 4 bytes, hexadecimal, little-endian value
//   TimeZone=sz:Pacific Standard Time%0000 REG_SZ of an even byte count: its UTF-16 code units
//   3f2a...=hex:00ff0d0a                  REG_BINARY, two hexadecimal digits per byte
//   Other=hex(7):4100000000              any other type or shape, with the type number in decimal
//
// Every key is written, values or not, after its parent. Names and sz text are escaped: any UTF-16
// code unit outside printable ASCII, and each of % = [ ] \ #, is written as "%" and four
// hexadecimal digits, so every name and every byte of every value reads back exactly.
// A value line belongs to the key of the section above it. A line that does not follow these rules
// (or a value line before any section) is corrupt: it is skipped and the whole file is reported as
// corrupt, so that the caller can keep the original aside before rewriting it.
// Threads: plain functions; any thread.
#include <string>
#include <string_view>

#include "platform/settings/HiveTree.h"

namespace platform::hive {

std::string WriteHiveText(const HiveKey& root);

struct HiveParseResult {
    int corruptLines = 0;
};

// Adds the keys and values of `text` to `root`.
HiveParseResult ReadHiveText(std::string_view text, HiveKey& root);

}  // namespace platform::hive
