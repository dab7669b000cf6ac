#include "foundation/files/FileNames.h"

#include <string>
#include <string_view>
#include <type_traits>
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

// Replaces the unsafe units of a name, and a name of dots only that would climb ("." or "..").
template <typename Char>
void SanitizeUnits(std::basic_string<Char>& name) {
    for (Char& unit : name) {
        if (IsUnsafeLowByte(static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(unit)))) {
            unit = Char('_');
        }
    }
    const std::size_t size = name.size();
    if ((size == 1 || size == 2) && name.find_first_not_of(Char('.')) == std::basic_string<Char>::npos) {
        name.assign(size, Char('_'));
    }
}

}  // namespace

void SanitizeFileName(CStringW& out, const CStringW& in) {
    std::u16string name = in.Str();
    SanitizeUnits(name);
    out = CStringW(std::move(name));
}

void SanitizeFileNameA(const CStringA& in, CStringA* out) {
    if (out == nullptr) {
        return;
    }
    // ASCII reads the same in either width: its bytes are the low bytes looked at.
    const std::string_view text = in.AsView();
    if (platform::IsAscii(text)) {
        std::string name(text);
        SanitizeUnits(name);
        *out = CStringA(std::move(name));
        return;
    }
    CStringW safe;
    SanitizeFileName(safe, CStringW(platform::AnsiToUtf16(in.AsView())));
    *out = CStringA(platform::Utf16ToAnsi(safe.AsView()));
}
