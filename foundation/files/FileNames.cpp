#include "foundation/files/FileNames.h"

#include <string>
#include <string_view>
#include <utility>

#include "platform/string/Utf.h"

namespace {

constexpr char kUnsafeInFileNames[] = "<>*?:;\"'/\\|@";

bool IsUnsafeLowByte(char16_t unit) {
    const char low = static_cast<char>(unit & 0xFF);
    for (const char* c = kUnsafeInFileNames; *c != '\0'; ++c) {
        if (*c == low) {
            return true;
        }
    }
    return false;
}

}  // namespace

void SanitizeFileName(CStringW& out, const CStringW& in) {
    std::u16string name = in.Str();
    for (char16_t& unit : name) {
        if (IsUnsafeLowByte(unit)) {
            unit = u'_';
        }
    }
    if (name == u"." || name == u"..") {
        name.assign(name.size(), u'_');
    }
    out = CStringW(std::move(name));
}

void SanitizeFileNameA(const CStringA& in, CStringA* out) {
    if (out == nullptr) {
        return;
    }
    // ASCII reads the same in either width: its bytes are the low bytes looked at below.
    const std::string_view text = in.AsView();
    bool ascii = true;
    for (const char c : text) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        std::string name(text);
        for (char& c : name) {
            if (IsUnsafeLowByte(static_cast<char16_t>(static_cast<unsigned char>(c)))) {
                c = '_';
            }
        }
        if (name == "." || name == "..") {
            name.assign(name.size(), '_');
        }
        *out = CStringA(std::move(name));
        return;
    }
    CStringW safe;
    SanitizeFileName(safe, CStringW(platform::AnsiToUtf16(in.AsView())));
    *out = CStringA(platform::Utf16ToAnsi(safe.AsView()));
}
