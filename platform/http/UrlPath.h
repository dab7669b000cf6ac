#pragma once
// URL helpers of the HTTP layer: request-path encoding and the URL cracker.
#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

namespace platform::http {

// The path with every byte that may not stand in a URL path percent-encoded (blanks, controls,
// quotes, '#', '?', '<', '>', bytes of 128 and above...). A '%' that starts a valid "%XX"
// escape is kept as it is; any other '%' is encoded.
std::string EncodeUrlPath(std::string_view path);

// The parts of an absolute URL.
struct UrlParts {
    std::string scheme;  // lower case
    std::string host;
    int port = 0;        // the URL's port, else the scheme's default (80, 443; 0 when unknown)
    std::string path;    // "/" when the URL has none
    std::string extra;   // query and fragment, with their leading "?" or "#"
};

// Splits an absolute URL; 0, or ERROR_INTERNET_INVALID_URL when it is not one.
DWORD CrackUrl(std::string_view url, UrlParts& out);

}  // namespace platform::http
