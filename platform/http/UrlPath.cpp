#include "platform/http/UrlPath.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>

#include "platform/http/InternetErrors.h"

namespace platform::http {
namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool IsPathByte(unsigned char c) {
    if (std::isalnum(c)) return true;
    switch (c) {
        case '/': case '-': case '.': case '_': case '~': case '!': case '$': case '&': case '\'':
        case '(': case ')': case '*': case '+': case ',': case ';': case '=': case ':': case '@':
            return true;
        default:
            return false;
    }
}

std::string GetUrlPart(CURLU* url, CURLUPart part, unsigned flags) {
    char* text = nullptr;
    std::string out;
    if (curl_url_get(url, part, &text, flags) == CURLUE_OK && text != nullptr) out = text;
    curl_free(text);
    return out;
}

}  // namespace

int DefaultPortOf(std::string_view scheme) {
    if (scheme == "http" || scheme == "webcal") return 80;
    if (scheme == "https" || scheme == "webcals") return 443;
    return 0;
}

bool IsSecureScheme(std::string_view scheme) { return scheme == "https" || scheme == "webcals"; }

std::string EncodeUrlPath(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c == '%' && i + 2 < path.size() && IsHex(path[i + 1]) && IsHex(path[i + 2])) {
            out += '%';
        } else if (IsPathByte(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

DWORD CrackUrl(std::string_view text, UrlParts& out) {
    out = UrlParts{};
    CURLU* url = curl_url();
    if (url == nullptr) return ERROR_INTERNET_INTERNAL_ERROR;
    const std::string copy(text);
    if (copy.find('\0') != std::string::npos ||
        curl_url_set(url, CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) != CURLUE_OK) {
        curl_url_cleanup(url);
        return ERROR_INTERNET_INVALID_URL;
    }
    out.scheme = GetUrlPart(url, CURLUPART_SCHEME, 0);
    for (auto& c : out.scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.host = GetUrlPart(url, CURLUPART_HOST, 0);
    const std::string port = GetUrlPart(url, CURLUPART_PORT, 0);
    // Port 0 names no port: the scheme's default is meant.
    out.port = port.empty() ? 0 : std::atoi(port.c_str());
    if (out.port == 0) out.port = DefaultPortOf(out.scheme);
    out.path = GetUrlPart(url, CURLUPART_PATH, 0);
    if (out.path.empty()) out.path = "/";
    const std::string query = GetUrlPart(url, CURLUPART_QUERY, 0);
    const std::string fragment = GetUrlPart(url, CURLUPART_FRAGMENT, 0);
    if (!query.empty()) out.extra += "?" + query;
    if (!fragment.empty()) out.extra += "#" + fragment;
    curl_url_cleanup(url);
    return out.host.empty() ? ERROR_INTERNET_INVALID_URL : 0;
}

}  // namespace platform::http
