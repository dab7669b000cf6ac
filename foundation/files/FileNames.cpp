#include "foundation/files/FileNames.h"

#include <array>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/string/Utf.h"

namespace {

constexpr char kUnsafeInFileNames[] = "<>*?:;\"'/\\|@";

// Which low bytes are unsafe, looked up at once: a sync makes a name safe for every item.
constexpr std::array<bool, 256> kUnsafeLowBytes = [] {
    std::array<bool, 256> unsafe{};
    for (const char* c = kUnsafeInFileNames; *c != '\0'; ++c) {
        unsafe[static_cast<unsigned char>(*c)] = true;
    }
    return unsafe;
}();

bool IsUnsafeLowByte(char16_t unit) { return kUnsafeLowBytes[unit & 0xFF]; }

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
