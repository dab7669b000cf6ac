#pragma once
// Reading the number of a WebDAV status text ("HTTP/1.1 200 OK").
#include <string_view>

// The number after the first word, or 0 when there is none. Only the first 31 characters of
// the first word are looked at, and the text is never read past its end.
int ParseStatusLine(std::string_view text);
