#include "dav/http/BodyScanners.h"

#include <cctype>
#include <string>

namespace {

std::string Lower(std::string_view body) {
    std::string lower(body);
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

void CopyOut(std::string_view text, CStringA& out) {
    out = CStringA(text.substr(0, static_cast<size_t>(kScanOutMax)));
}

size_t FindFirstOf(const std::string& text, std::initializer_list<const char*> needles, size_t from, size_t* needleLength) {
    for (const char* needle : needles) {
        const size_t pos = text.find(needle, from);
        if (pos != std::string::npos) {
            if (needleLength != nullptr) *needleLength = std::char_traits<char>::length(needle);
            return pos;
        }
    }
    return std::string::npos;
}

}  // namespace

int FindAbsoluteUrl(std::string_view body, CStringA& out) {
    out.Empty();
    const std::string lower = Lower(body);
    const size_t start = FindFirstOf(lower, {"http://", "https://", "webcal://"}, 0, nullptr);
    if (start == std::string::npos) return -1;
    const size_t tld = FindFirstOf(lower, {".com", ".net", ".org"}, start, nullptr);
    if (tld == std::string::npos || tld <= start + 7) return -1;
    size_t end = tld + 4;
    if (end < lower.size() && lower[end] == ':') {
        size_t digitsEnd = end + 1;
        while (digitsEnd < lower.size() && std::isdigit(static_cast<unsigned char>(lower[digitsEnd]))) ++digitsEnd;
        if (digitsEnd > end + 1) end = digitsEnd;
    }
    if (end < lower.size() && lower[end] == '/') ++end;
    if (end - start <= 10) return -1;
    CopyOut(std::string_view(lower).substr(start, end - start), out);
    return static_cast<int>(start);
}

int FindHrefInBody(std::string_view body, CStringA& out) {
    out.Empty();
    const std::string lower = Lower(body);
    const size_t attr = lower.find("href=\"");
    if (attr == std::string::npos) return -1;
    const size_t start = attr + 6;
    const size_t searchFrom = start + 7;
    if (searchFrom > lower.size()) return -1;
    size_t end = lower.find("\">", searchFrom);
    if (end == std::string::npos) end = lower.find("\" >", searchFrom);
    if (end == std::string::npos) return -1;
    CopyOut(body.substr(start, end - start), out);
    return static_cast<int>(start);
}

int FindMovedToUrl(std::string_view body, CStringA& out) {
    out.Empty();
    const std::string lower = Lower(body);
    const char kMarker[] = "document moved to ";
    const size_t marker = lower.find(kMarker);
    if (marker == std::string::npos) return -1;
    const size_t start = marker + sizeof kMarker - 1;
    const size_t end = lower.find(".</p>", start);
    if (end == std::string::npos) return -1;
    CopyOut(std::string_view(lower).substr(start, end - start), out);
    return static_cast<int>(start);
}
