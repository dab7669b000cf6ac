#include "platform/settings/HiveFileFormat.h"

#include <optional>

namespace platform::hive {
namespace {

constexpr char kHeader[] = "# Orvane settings, format 1 (keys as [path], values as name=kind:data)\n";
constexpr char kHexDigits[] = "0123456789abcdef";

bool NeedsEscape(char16_t c) {
    return c < 0x20 || c > 0x7E || c == u'%' || c == u'=' || c == u'[' || c == u']' || c == u'\\' || c == u'#';
}

void AppendEscaped(std::string& out, std::u16string_view text) {
    for (const char16_t c : text) {
        if (NeedsEscape(c)) {
            out += '%';
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHexDigits[(c >> shift) & 0xF];
            }
        } else {
            out += static_cast<char>(c);
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::u16string> Unescape(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%') {
            if (NeedsEscape(static_cast<char16_t>(static_cast<unsigned char>(c)))) {
                return std::nullopt;
            }
            out += static_cast<char16_t>(c);
            continue;
        }
        if (i + 4 >= text.size()) {
            return std::nullopt;
        }
        unsigned code = 0;
        for (size_t k = 1; k <= 4; ++k) {
            const int digit = HexValue(text[i + k]);
            if (digit < 0) {
                return std::nullopt;
            }
            code = (code << 4) | static_cast<unsigned>(digit);
        }
        out += static_cast<char16_t>(code);
        i += 4;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

void AppendHexBytes(std::string& out, const std::vector<std::uint8_t>& bytes) {
    for (const auto b : bytes) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0xF];
    }
}

void AppendValueLine(std::string& out, const HiveValue& value) {
    AppendEscaped(out, value.name);
    out += '=';
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const DWORD number = static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
                             static_cast<DWORD>(value.data[2]) << 16 | static_cast<DWORD>(value.data[3]) << 24;
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            out += kHexDigits[(number >> shift) & 0xF];
        }
    } else if (value.type == REG_SZ && value.data.size() % 2 == 0) {
        out += "sz:";
        std::u16string units;
        for (size_t i = 0; i < value.data.size(); i += 2) {
            units += static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8);
        }
        AppendEscaped(out, units);
    } else if (value.type == REG_BINARY) {
        out += "hex:";
        AppendHexBytes(out, value.data);
    } else {
        out += "hex(" + std::to_string(value.type) + "):";
        AppendHexBytes(out, value.data);
    }
    out += '\n';
}

void AppendKey(std::string& out, const HiveKey& key, std::string& path) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& value : key.Values()) {
        AppendValueLine(out, value);
    }
    for (size_t i = 0; i < key.SubkeyCount(); ++i) {
        const HiveKey& sub = *key.SubkeyAt(i);
        const size_t mark = path.size();
        if (!path.empty()) {
            path += '\\';
        }
        AppendEscaped(path, sub.Name());
        AppendKey(out, sub, path);
        path.resize(mark);
    }
}

std::optional<DWORD> ParseDecimalType(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<DWORD>(number);
}

// Reads "kind:data" into a type and bytes.
bool ParseValueData(std::string_view text, DWORD& type, std::vector<std::uint8_t>& data) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view kind = text.substr(0, colon);
    const std::string_view payload = text.substr(colon + 1);
    if (kind == "dword") {
        auto bytes = ParseHexBytes(payload);
        if (!bytes || bytes->size() != 4) {
            return false;
        }
        // Written most significant digit first; stored little-endian.
        data = {(*bytes)[3], (*bytes)[2], (*bytes)[1], (*bytes)[0]};
        type = REG_DWORD;
        return true;
    }
    if (kind == "sz") {
        auto units = Unescape(payload);
        if (!units) {
            return false;
        }
        data.clear();
        for (const char16_t c : *units) {
            data.push_back(static_cast<std::uint8_t>(c & 0xFF));
            data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        type = REG_SZ;
        return true;
    }
    std::optional<DWORD> parsedType;
    if (kind == "hex") {
        parsedType = REG_BINARY;
    } else if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
        parsedType = ParseDecimalType(kind.substr(4, kind.size() - 5));
    }
    if (!parsedType) {
        return false;
    }
    auto bytes = ParseHexBytes(payload);
    if (!bytes) {
        return false;
    }
    type = *parsedType;
    data = std::move(*bytes);
    return true;
}

// The key named by a section line's path, created in `root`; nullptr when the path is malformed.
HiveKey* SectionKey(std::string_view path, HiveKey& root) {
    std::vector<std::u16string> levels;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        } else if (end == path.size() - 1) {
            return nullptr;  // a trailing backslash
        }
        auto level = Unescape(path.substr(start, end - start));
        if (!level || level->empty()) {
            return nullptr;
        }
        levels.push_back(std::move(*level));
        start = end + 1;
    }
    HiveKey* key = &root;
    for (const auto& level : levels) {
        key = &key->GetOrAddSubkey(level);
    }
    return key;
}

}  // namespace

std::string WriteHiveText(const HiveKey& root) {
    std::string out = kHeader;
    std::string path;
    AppendKey(out, root, path);
    return out;
}

HiveParseResult ReadHiveText(std::string_view text, HiveKey& root) {
    HiveParseResult result;
    HiveKey* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            HiveKey* key = nullptr;
            if (line.size() >= 2 && line.back() == ']') {
                key = SectionKey(line.substr(1, line.size() - 2), root);
            }
            if (key == nullptr) {
                ++result.corruptLines;
            }
            // Values below a broken section belong to no known key and are skipped too.
            current = key;
            continue;
        }
        const size_t equals = line.find('=');
        DWORD type = REG_NONE;
        std::vector<std::uint8_t> data;
        std::optional<std::u16string> name;
        if (current != nullptr && equals != std::string_view::npos) {
            name = Unescape(line.substr(0, equals));
        }
        if (!name || !ParseValueData(line.substr(equals + 1), type, data)) {
            ++result.corruptLines;
            continue;
        }
        current->SetValue(*name, type, std::move(data));
    }
    return result;
}

}  // namespace platform::hive
