#include "store/files/DataFolderPaths.h"

#include <filesystem>
#include <string>

#include "foundation/files/FileNames.h"
#include "foundation/text/PathComponents.h"

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

}  // namespace

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
    if (!IsStrictlyBelow(joined, parent)) {
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
