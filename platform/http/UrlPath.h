#pragma once
// URL helpers of the HTTP layer: request-path encoding and the URL cracker. Free functions
// without state: safe on any thread.
// Threads: plain values and functions; any thread.
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
    int port = 0;        // the URL's port, else the scheme's default (DefaultPortOf)
    std::string path;    // "/" when the URL has none
    std::string extra;   // query and fragment, with their leading "?" or "#"
};

// The port a scheme means when a URL names none: http and webcal 80, https and webcals 443,
// 0 for any other scheme.
int DefaultPortOf(std::string_view scheme);
// True for the schemes that are sent over TLS (https, webcals).
bool IsSecureScheme(std::string_view scheme);

// Splits an absolute URL; 0, or ERROR_INTERNET_INVALID_URL when it is not one.
DWORD CrackUrl(std::string_view url, UrlParts& out);

}  // namespace platform::http
