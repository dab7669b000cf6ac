#include "platform/http/HeaderBlock.h"

#include <cctype>

namespace platform::http {
namespace {

std::string_view NameOf(std::string_view line) {
    const size_t colon = line.find(':');
    std::string_view name = line.substr(0, colon == std::string_view::npos ? line.size() : colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    return name;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> SplitHeaderBlock(std::string_view block) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= block.size()) {
        size_t end = block.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = block.size();
        const std::string_view line = block.substr(start, end - start);
        if (!line.empty() && line.find('\0') == std::string_view::npos) {
            bool replaced = false;
            for (auto& existing : lines) {
                if (SameName(NameOf(existing), NameOf(line))) {
                    existing.assign(line);
                    replaced = true;
                    break;
                }
            }
            if (!replaced) lines.emplace_back(line);
        }
        // CR LF counts as one separator.
        if (end < block.size() && block[end] == '\r' && end + 1 < block.size() && block[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

bool IsSafeHeaderValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace platform::http
