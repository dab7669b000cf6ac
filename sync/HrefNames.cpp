#include "sync/HrefNames.h"

#include <cstring>
#include <string_view>

#include "foundation/text/PathComponents.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

CStringA WithoutTrailingSlash(CStringA path) {
    if (path.GetLength() > 1 && path[path.GetLength() - 1] == '/') path = path.Left(path.GetLength() - 1);
    return path;
}

}  // namespace

CStringA DecodePercent(const char* text) {
    CStringA out;
    if (text == nullptr) return out;
    const std::size_t length = std::strlen(text);
    // Most names hold no escape at all; a sync decodes every resource name several times.
    if (std::strchr(text, '%') == nullptr) return CStringA(text);
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '%' && i + 2 < length) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.AppendChar(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.AppendChar(text[i]);
    }
    return out;
}

CStringA HrefPath(const char* href) {
    // Cut as a view and copied once: a sync asks this of every resource name several times.
    std::string_view path = href != nullptr ? href : "";
    const std::size_t scheme = path.find("://");
    if (scheme != std::string_view::npos && scheme > 0 && path.substr(0, scheme).find_first_of("/?#") == std::string_view::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
    }
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '?' || path[i] == '#') {
            path = path.substr(0, i);
            break;
        }
    }
    return CStringA(path);
}

CStringA ServerPathKey(const char* href) { return WithoutTrailingSlash(DecodePercent(HrefPath(href))); }

bool SameServerPath(const char* a, const char* b) { return ServerPathKey(a) == ServerPathKey(b); }

bool IsInCollection(const char* href, const char* collection) {
    const CStringA path = WithoutTrailingSlash(DecodePercent(HrefPath(href)));
    const CStringA home = WithoutTrailingSlash(DecodePercent(HrefPath(collection)));
    if (path == home) return true;
    const int slash = path.ReverseFind('/');
    if (slash < 0) return false;
    const CStringA parent = slash == 0 ? CStringA("/") : path.Left(slash);
    return parent == home;
}

CStringA LastHrefComponent(const char* href) {
    CStringA last;
    GetLastPathComponentA(HrefPath(href), &last);
    // A path with its only separator in front ("/x.ics") comes back whole.
    while (!last.IsEmpty() && last[0] == '/') last = last.Mid(1);
    return last;
}

CStringA ResourceKey(const char* href) { return DecodePercent(LastHrefComponent(href)); }
