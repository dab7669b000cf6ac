#pragma once
// Splitting of a request header block ("Name: value" lines separated by CR, LF or CR LF).
// Threads: plain functions; any thread.
#include <string>
#include <string_view>
#include <vector>

namespace platform::http {

// The non-empty lines of the block, in order. A later line whose name (before the colon,
// compared without regard to case) equals an earlier one replaces it in place.
std::vector<std::string> SplitHeaderBlock(std::string_view block);

// True when the text can stand in a header value: no CR, LF or NUL.
bool IsSafeHeaderValue(std::string_view value);

}  // namespace platform::http
