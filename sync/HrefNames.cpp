#include "sync/HrefNames.h"

#include <cstring>
#include <string_view>

#include "foundation/text/PathComponents.h"
#include "platform/string/Utf.h"

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

// `text` with every %XX decoded (see DecodePercent).
CStringA DecodedView(std::string_view text) {
    // Most names hold no escape at all; a sync decodes every resource name several times.
    if (text.find('%') == std::string_view::npos) return CStringA(text);
    CStringA out;
    const std::size_t length = text.size();
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

// HrefPath as a view into `href`: a sync asks this of every resource name several times.
std::string_view HrefPathView(const char* href) {
    std::string_view path = href != nullptr ? href : "";
    const std::size_t scheme = path.find("://");
    if (scheme != std::string_view::npos && scheme > 0 && path.substr(0, scheme).find_first_of("/?#") == std::string_view::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
    }
    // `path` runs to the end of `href`, so the scan may stop at its terminator.
    path = path.substr(0, std::strcspn(path.data(), "?#"));
    return path;
}

// The last component of an ASCII path (see LastAsciiPathComponent) without any leading '/': a
// path whose only separator is in front ("/x.ics") comes back whole from that cut.
std::string_view LastAsciiComponent(std::string_view path) {
    std::string_view last = LastAsciiPathComponent(path);
    while (!last.empty() && last.front() == '/') last.remove_prefix(1);
    return last;
}

}  // namespace

CStringA DecodePercent(const char* text) { return text != nullptr ? DecodedView(text) : CStringA(); }

CStringA HrefPath(const char* href) { return CStringA(HrefPathView(href)); }

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
    const std::string_view path = HrefPathView(href);
    if (!platform::IsAscii(path)) {
        CStringA last;
        GetLastPathComponentA(CStringA(path), &last);
        while (!last.IsEmpty() && last[0] == '/') last = last.Mid(1);
        return last;
    }
    return CStringA(LastAsciiComponent(path));
}

CStringA ResourceKey(const char* href) {
    const std::string_view path = HrefPathView(href);
    if (!platform::IsAscii(path)) return DecodePercent(LastHrefComponent(href));
    return DecodedView(LastAsciiComponent(path));
}
