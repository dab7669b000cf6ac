#include "foundation/files/DirectoryTree.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

int Delete(const fs::path& path) { return DeleteDirectoryTree(path.u16string().c_str()); }

TEST(DeleteDirectoryTree, DeletesEverythingBelowButNotThroughLinks) {
    orvane::test::TempFolder temp;
    const fs::path account = temp.Path() / u"Konto \u00E9";
    fs::create_directories(account / "calendar" / "deeper");
    std::ofstream(account / "calendar" / "item.ics") << "BEGIN:VCALENDAR";
    fs::create_directories(temp.Path() / "outside");
    std::ofstream(temp.Path() / "outside" / "precious.txt") << "kept";
    fs::create_directory_symlink(temp.Path() / "outside", account / "link");

    EXPECT_EQ(Delete(account), 0);
    EXPECT_FALSE(fs::exists(account));
    EXPECT_TRUE(fs::exists(temp.Path() / "outside" / "precious.txt"));
    EXPECT_EQ(Delete(account), ENOENT);
    EXPECT_EQ(Delete(temp.Path() / "outside" / "precious.txt"), 0);
}

TEST(DeleteDirectoryTree, RefusesPathsThatWouldTakeTooMuch) {
    for (const char16_t* path : {u"", u"/", u"//", u"/tmp/..", u".", u"a/..", u"a/../.."}) {
        EXPECT_EQ(DeleteDirectoryTree(path), EINVAL) << fs::path(path);
    }
    EXPECT_EQ(DeleteDirectoryTree(nullptr), EINVAL);
}

}  // namespace
