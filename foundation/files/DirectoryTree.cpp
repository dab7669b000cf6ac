#include "foundation/files/DirectoryTree.h"

#include <cerrno>
#include <string_view>

#include "platform/files/FolderTree.h"
#include "platform/string/Utf.h"

int DeleteDirectoryTree(const char16_t* path) {
    if (path == nullptr) {
        return EINVAL;
    }
    return platform::DeleteFolderTree(platform::Utf16ToAnsi(std::u16string_view(path)));
}
