#include "store/files/DataFolderPaths.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/files/FileNames.h"
#include "foundation/text/PathComponents.h"
#include "platform/crypto/Sha256.h"

namespace {

std::filesystem::path Normal(const CStringA& text) {
    std::string path = text.Str();
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    // "a/b/" and "a/b" name the same folder.
    if (!normal.empty() && !normal.has_filename()) {
        normal = normal.parent_path();
    }
    return normal;
}

// The longest name a file may have, and the length a longer item file name is cut to: room is
// left for the suffix of its temporary file, ".tmp-<pid>-<n>", at most 36 bytes.
constexpr int kLongestFileName = 255;
constexpr int kShortenedItemFileName = 200;
// An extension longer than this is no extension but part of the name.
constexpr int kLongestExtension = 16;

// An absolute path already in normal form: '/' separators only, no empty, "." or ".." part, no
// trailing separator. A plain name appended to such a path lies strictly below it, which then
// needs no lexical comparison (a batch of item files asks this thousands of times).
bool IsNormalAbsolute(const CStringA& path) {
    const std::string_view text = path.AsView();
    if (text.size() < 2 || text.front() != '/' || text.back() == '/' || text.find('\\') != std::string_view::npos ||
        text.find('\0') != std::string_view::npos) {
        return false;
    }
    for (std::size_t start = 1; start <= text.size();) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        const std::string_view part = text.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

CStringA LocalItemFileName(const CStringA& serverFileName) {
    CStringA safe;
    SanitizeFileNameA(serverFileName, &safe);
    if (safe.GetLength() <= kLongestFileName) {
        return safe;
    }
    const platform::Sha256Digest digest = platform::Sha256Of(safe.GetString(), static_cast<std::size_t>(safe.GetLength()));
    CStringA mark("~");
    for (int i = 0; i < 8; ++i) {
        CStringA pair;
        pair.Format("%02x", static_cast<unsigned>(digest[static_cast<std::size_t>(i)]));
        mark += pair;
    }
    const int dot = safe.ReverseFind('.');
    const CStringA extension =
        dot > 0 && safe.GetLength() - dot <= kLongestExtension ? safe.Mid(dot) : CStringA();
    int keep = kShortenedItemFileName - mark.GetLength() - extension.GetLength();
    // Cut between characters, never inside one of UTF-8's multi-byte sequences.
    while (keep > 0 && (static_cast<unsigned char>(safe[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    return safe.Left(keep) + mark + extension;
}

RResult BuildChildPath(const CStringA& parent, const CStringA& name, CStringA& out) {
    if (parent.IsEmpty()) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA safe;
    SanitizeFileNameA(name, &safe);
    if (safe.IsEmpty() || safe == "." || safe == ".." || safe.FindOneOf("/\\") >= 0 || safe.Find('\0') >= 0) {
        return R_E_INVALID_ARGUMENT;
    }
    CStringA joined = parent;
    AppendPathComponentA(joined, safe);
    if (!IsNormalAbsolute(parent) && !IsStrictlyBelow(joined, parent)) {
        return R_E_INVALID_ARGUMENT;
    }
    out = joined;
    return R_OK;
}

bool IsStrictlyBelow(const CStringA& path, const CStringA& root) {
    if (path.IsEmpty() || root.IsEmpty()) {
        return false;
    }
    const std::filesystem::path child = Normal(path);
    const std::filesystem::path base = Normal(root);
    if (child == base) {
        return false;
    }
    auto c = child.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++c) {
        if (c == child.end() || *c != *b) {
            return false;
        }
    }
    // Whatever follows the root must not climb back out of it.
    for (; c != child.end(); ++c) {
        if (*c == "..") {
            return false;
        }
    }
    return true;
}
