#include "foundation/text/PathComponents.h"

#include "platform/string/Utf.h"

namespace {

template <typename CharT>
bool IsSeparator(CharT c) {
    return c == CharT('/') || c == CharT('\\');
}

// Index of the last separator before the final character, or -1.
template <typename Text>
int LastInnerSeparator(const Text& path) {
    for (int i = path.GetLength() - 2; i >= 0; --i) {
        if (IsSeparator(path.GetAt(i))) {
            return i;
        }
    }
    return -1;
}

template <typename Text>
void DropTrailingSeparator(Text& text) {
    const int length = text.GetLength();
    if (length > 0 && IsSeparator(text.GetAt(length - 1))) {
        text.Truncate(length - 1);
    }
}

template <typename Text>
void LastComponent(const Text& path, Text& out) {
    const int separator = LastInnerSeparator(path);
    Text component = separator <= 0 ? path : path.Mid(separator + 1);
    DropTrailingSeparator(component);
    out = component;
}

template <typename Text>
void ParentOf(Text& path) {
    const int separator = LastInnerSeparator(path);
    path = separator < 0 ? Text() : path.Left(separator);
    DropTrailingSeparator(path);
}

template <typename Text>
void AppendComponent(Text& path, const Text& part) {
    using CharT = typename Text::Char;
    const int length = path.GetLength();
    if (length == 0 || !IsSeparator(path.GetAt(length - 1))) {
        path.AppendChar(CharT('/'));
    }
    path += part;
}

}  // namespace

RResult GetLastPathComponent(const CStringW& path, CStringW& out) {
    LastComponent(path, out);
    return R_OK;
}

std::string_view LastAsciiPathComponent(std::string_view path) {
    std::size_t separator = 0;  // none, or the first character: the whole path
    for (std::size_t i = path.size() >= 2 ? path.size() - 1 : 0; i-- > 0;) {
        if (IsSeparator(path[i])) {
            separator = i;
            break;
        }
    }
    std::string_view last = separator == 0 ? path : path.substr(separator + 1);
    if (!last.empty() && IsSeparator(last.back())) last.remove_suffix(1);
    return last;
}

RResult GetLastPathComponentA(const CStringA& path, CStringA* out) {
    // ASCII reads the same in either width, and a sync asks this for every resource name.
    if (platform::IsAscii(path.AsView())) {
        if (out != nullptr) {
            *out = CStringA(LastAsciiPathComponent(path.AsView()));
        }
        return R_OK;
    }
    CStringW wide(platform::AnsiToUtf16(path.AsView()));
    CStringW component;
    GetLastPathComponent(wide, component);
    if (out != nullptr) {
        *out = CStringA(platform::Utf16ToAnsi(component.AsView()));
    }
    return R_OK;
}

RResult GetParentPath(CStringW& path) {
    ParentOf(path);
    return R_OK;
}

RResult GetParentPathA(CStringA& path) {
    CStringW wide(platform::AnsiToUtf16(path.AsView()));
    GetParentPath(wide);
    path = CStringA(platform::Utf16ToAnsi(wide.AsView()));
    return R_OK;
}

RResult AppendPathComponent(CStringW& path, const CStringW& part) {
    AppendComponent(path, part);
    return R_OK;
}

RResult AppendPathComponentA(CStringA& path, const CStringA& part) {
    AppendComponent(path, part);
    return R_OK;
}
