#include "platform/archive/CArchive.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/string/Utf.h"

namespace platform {

namespace {
constexpr std::uint8_t kLongerLength8 = 0xFF;
constexpr std::uint16_t kWideMark = 0xFFFE;
constexpr std::uint16_t kLongerLength16 = 0xFFFF;
constexpr std::uint32_t kLongerLength32 = 0xFFFFFFFF;
}  // namespace

void CArchive::Write(const void* data, std::size_t count) {
    if (failed_ || !IsStoring() || !file_.Write(data, count)) {
        failed_ = true;
    }
}

bool CArchive::Read(void* data, std::size_t count) {
    if (failed_ || !IsLoading() || count > file_.Remaining()) {
        failed_ = true;
        return false;
    }
    file_.Read(data, count);
    return true;
}

void CArchive::WriteLittleEndian(std::uint64_t value, std::size_t bytes) {
    std::uint8_t image[8];
    for (std::size_t i = 0; i < bytes; ++i) {
        image[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    Write(image, bytes);
}

bool CArchive::ReadLittleEndian(std::uint64_t& value, std::size_t bytes) {
    std::uint8_t image[8] = {};
    value = 0;
    if (!Read(image, bytes)) {
        return false;
    }
    for (std::size_t i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(image[i]) << (8 * i);
    }
    return true;
}

CArchive& CArchive::operator<<(std::uint8_t value) { WriteLittleEndian(value, 1); return *this; }
CArchive& CArchive::operator<<(std::uint16_t value) { WriteLittleEndian(value, 2); return *this; }
CArchive& CArchive::operator<<(std::uint32_t value) { WriteLittleEndian(value, 4); return *this; }
CArchive& CArchive::operator<<(std::int32_t value) { WriteLittleEndian(static_cast<std::uint32_t>(value), 4); return *this; }

CArchive& CArchive::operator>>(std::uint8_t& value) {
    std::uint64_t v = 0;
    ReadLittleEndian(v, 1);
    value = static_cast<std::uint8_t>(v);
    return *this;
}

CArchive& CArchive::operator>>(std::uint16_t& value) {
    std::uint64_t v = 0;
    ReadLittleEndian(v, 2);
    value = static_cast<std::uint16_t>(v);
    return *this;
}

CArchive& CArchive::operator>>(std::uint32_t& value) {
    std::uint64_t v = 0;
    ReadLittleEndian(v, 4);
    value = static_cast<std::uint32_t>(v);
    return *this;
}

CArchive& CArchive::operator>>(std::int32_t& value) {
    std::uint64_t v = 0;
    ReadLittleEndian(v, 4);
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return *this;
}

CArchive& CArchive::operator<<(const CStringW& text) {
    const std::u16string& chars = text.Str();
    if (chars.size() >= kLongerLength32) {
        failed_ = true;
        return *this;
    }
    const auto length = static_cast<std::uint32_t>(chars.size());
    *this << kLongerLength8 << kWideMark;
    if (length < kLongerLength8) {
        *this << static_cast<std::uint8_t>(length);
    } else if (length < kWideMark) {
        *this << kLongerLength8 << static_cast<std::uint16_t>(length);
    } else {
        *this << kLongerLength8 << kLongerLength16 << length;
    }
    std::vector<std::uint8_t> image(chars.size() * 2);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        image[2 * i] = static_cast<std::uint8_t>(chars[i] & 0xFF);
        image[2 * i + 1] = static_cast<std::uint8_t>(chars[i] >> 8);
    }
    Write(image.data(), image.size());
    return *this;
}

bool CArchive::ReadStringLength(std::uint32_t& length, bool& wide) {
    wide = false;
    std::uint8_t length8 = 0;
    std::uint16_t length16 = 0;
    std::uint32_t length32 = 0;

    *this >> length8;
    if (failed_) return false;
    if (length8 < kLongerLength8) {
        length = length8;
        return true;
    }
    *this >> length16;
    if (failed_) return false;
    if (length16 == kWideMark) {
        // The UTF-16 mark; the real length follows, starting again with one byte.
        wide = true;
        *this >> length8;
        if (failed_) return false;
        if (length8 < kLongerLength8) {
            length = length8;
            return true;
        }
        *this >> length16;
        if (failed_) return false;
    }
    if (length16 < kLongerLength16) {
        length = length16;
        return true;
    }
    *this >> length32;
    if (failed_ || length32 == kLongerLength32) {
        // A 64-bit length cannot describe a string this program wrote.
        failed_ = true;
        return false;
    }
    length = length32;
    return true;
}

CArchive& CArchive::operator>>(CStringW& text) {
    std::uint32_t length = 0;
    bool wide = false;
    if (!ReadStringLength(length, wide)) {
        return *this;
    }
    const std::size_t bytes = static_cast<std::size_t>(length) * (wide ? 2 : 1);
    // Checked before any allocation, so a lying length costs nothing.
    if (bytes > file_.Remaining()) {
        failed_ = true;
        return *this;
    }
    std::vector<std::uint8_t> image(bytes);
    if (!Read(image.data(), bytes)) {
        return *this;
    }
    if (wide) {
        std::u16string chars(length, u'\0');
        for (std::size_t i = 0; i < chars.size(); ++i) {
            chars[i] = static_cast<char16_t>(image[2 * i] | (image[2 * i + 1] << 8));
        }
        text = CStringW(std::move(chars));
    } else {
        // The narrow image holds text in the code page, which is UTF-8 here.
        text = CStringW(AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(image.data()), image.size())));
    }
    return *this;
}

}  // namespace platform
