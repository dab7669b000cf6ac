// Item files written as one batch: each lands whole with its new bytes, and a batch in which one
// file cannot be written leaves no temporary file behind and no file half written.
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class ItemFileBatchTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
        folder = dataDir / "Accounts" / "acc" / "cal";
    }
    RResult Write(const std::vector<ROrvaneDataManager::ItemFileText>& files) {
        return store->WriteCalendarItemFiles(files, "cal", "acc");
    }
    // Every name in the calendar's folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    std::filesystem::path folder;
};

TEST_F(ItemFileBatchTest, ReplacesAndAddsFilesAsOrdinaryUserFiles) {
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old a, longer than the new text", "a.ics", "cal", "acc"));
    ASSERT_EQ(R_OK, Write({{"new a", "a.ics"}, {"new b", "b.ics"}, {"", "empty.ics"}}));
    EXPECT_EQ("new a", ReadBytes(folder / "a.ics"));
    EXPECT_EQ("new b", ReadBytes(folder / "b.ics"));
    EXPECT_EQ("", ReadBytes(folder / "empty.ics"));
    EXPECT_EQ(Names(), (std::set<std::string>{"a.ics", "b.ics", "empty.ics"}));
    struct stat info {};
    ASSERT_EQ(0, stat((folder / "b.ics").c_str(), &info));
    EXPECT_EQ(0644u, info.st_mode & 0777u);
    // Names from a server are made safe the way single writes make them.
    ASSERT_EQ(R_OK, Write({{"slashed", "x/y.ics"}}));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("slashed once", "x/y.ics", "cal", "acc"));
    EXPECT_EQ(Names().size(), 4u);
}

TEST_F(ItemFileBatchTest, AFileThatCannotBeMadeChangesNoneOfTheBatch) {
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old a", "a.ics", "cal", "acc"));
    // A name a file system takes, but not with the suffix of the temporary file it is written through.
    const std::string tooLong(250, 'n');
    EXPECT_EQ(R_E_NAME_TOO_LONG,
              Write({{"new a", "a.ics"}, {"b", "b.ics"}, {"long", tooLong.c_str()}, {"c", "c.ics"}}));
    EXPECT_EQ("old a", ReadBytes(folder / "a.ics"));
    EXPECT_EQ(Names(), (std::set<std::string>{"a.ics"}));

    // A name that makes no file, or no text, is refused before anything is written.
    EXPECT_EQ(R_E_INVALID_ARGUMENT, Write({{"new a", "a.ics"}, {"nameless", ""}}));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, Write({{"new a", "a.ics"}, {nullptr, "b.ics"}}));
    EXPECT_EQ("old a", ReadBytes(folder / "a.ics"));
    EXPECT_EQ(Names(), (std::set<std::string>{"a.ics"}));
    // So is a calendar the store does not hold.
    EXPECT_NE(R_OK, store->WriteCalendarItemFiles({{"x", "x.ics"}}, "missing", "acc"));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "acc" / "missing"));
}

TEST_F(ItemFileBatchTest, ACalendarRowNamingAFolderOutsideTheDataFolderGetsNoFiles) {
    const std::filesystem::path outside = dataDir.parent_path() / "elsewhere";
    std::filesystem::create_directories(outside);
    const std::string sql = "update Calendars set localDirPath = '" + outside.string() + "' where guid = 'cal';";
    ASSERT_EQ(R_OK, ExecuteSql(sql.c_str(), SQL_MODE_EXEC, store, nullptr));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, Write({{"x", "x.ics"}}));
    EXPECT_TRUE(std::filesystem::is_empty(outside));
}

TEST_F(ItemFileBatchTest, AFailedRenameLeavesWholeFilesAndNoTemporaryOnes) {
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old a", "a.ics", "cal", "acc"));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old c", "c.ics", "cal", "acc"));
    // A folder in the place of one file: its temporary file is written but cannot take the name.
    std::filesystem::create_directory(folder / "b.ics");
    EXPECT_NE(R_OK, Write({{"new a", "a.ics"}, {"new b", "b.ics"}, {"new c", "c.ics"}}));
    const std::string a = ReadBytes(folder / "a.ics");
    const std::string c = ReadBytes(folder / "c.ics");
    EXPECT_TRUE(a == "old a" || a == "new a") << a;
    EXPECT_TRUE(c == "old c" || c == "new c") << c;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "b.ics"));
    EXPECT_EQ(Names(), (std::set<std::string>{"a.ics", "b.ics", "c.ics"}));

    // Once the folder is gone the same batch lands whole.
    std::filesystem::remove(folder / "b.ics");
    ASSERT_EQ(R_OK, Write({{"new a", "a.ics"}, {"new b", "b.ics"}, {"new c", "c.ics"}}));
    EXPECT_EQ("new b", ReadBytes(folder / "b.ics"));
    EXPECT_EQ("new c", ReadBytes(folder / "c.ics"));
}

}  // namespace
}  // namespace orvane::test
