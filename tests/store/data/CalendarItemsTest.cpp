#include "store/SeriesRows.h"
#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

constexpr char kHostile[] = "x'); DROP TABLE Accounts;--";

class CalendarItemsTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        calendar = MakeCalendar("acc", "cal");
    }
    CalendarItemRecord Item(const char* guid, const char* recurrenceID = "") {
        CalendarItemRecord item;
        item.guid = guid;
        item.parentCalendarGuid = "cal";
        item.parentAccountGuid = "acc";
        item.recurrenceID = recurrenceID;
        item.serverFileName = std::string(guid).append(".ics").c_str();
        item.localFileName = item.serverFileName;
        item.dtStart = "2020-12-01 09:00";
        return item;
    }
    std::filesystem::path FileOf(const char* name) const { return std::filesystem::path(calendar.localDirPath.Str()) / name; }

    CalendarRecord calendar;
};

TEST_F(CalendarItemsTest, AddFindUpdateDeleteWithTheItemFile) {
    CalendarItemRecord item = Item("uid-1");
    item.summary = kHostile;
    item.description = "Line\\nwith 'quotes'";
    item.sequence = 2;
    ASSERT_EQ(R_OK, store->AddCalendarItem("uid-1", "", "cal", "acc", item));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("BEGIN:VCALENDAR", "uid-1.ics", "cal", "acc"));
    EXPECT_EQ("BEGIN:VCALENDAR", ReadBytes(FileOf("uid-1.ics")));
    EXPECT_EQ(R_E_ALREADY_EXISTS, store->AddCalendarItem("uid-1", "", "cal", "acc", item));

    CalendarItemRecord read;
    ASSERT_EQ(R_OK, store->FindCalendarItem("uid-1", "", "cal", "acc", &read));
    EXPECT_STREQ(kHostile, read.summary);
    EXPECT_STREQ("Line\\nwith 'quotes'", read.description);
    EXPECT_EQ(2, read.sequence);
    EXPECT_STREQ("", read.location);

    item.summary = "Changed";
    item.location = "";
    ASSERT_EQ(R_OK, store->UpdateCalendarItem("uid-1", "", "cal", "acc", item));
    ASSERT_EQ(R_OK, store->FindCalendarItemByServerFileName("/dav/cal/uid-1.ics", "cal", "acc", &read));
    EXPECT_STREQ("Changed", read.summary);
    EXPECT_EQ(1, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_EQ(R_E_INVALID_INDEX, store->GetCalendarItem("cal", "acc", 1, &read));
    EXPECT_EQ(R_E_INVALID_INDEX, store->GetCalendarItem("cal", "acc", -1, &read));

    ASSERT_EQ(R_OK, store->DeleteCalendarItem("uid-1", "", "cal", "acc"));
    EXPECT_FALSE(std::filesystem::exists(FileOf("uid-1.ics")));
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->FindCalendarItem("uid-1", "", "cal", "acc", &read));
    EXPECT_STREQ("", read.guid);
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->AddCalendarItem("x", "", "no-cal", "acc", item));
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->DeleteCalendarItem("x", "", "no-cal", "acc"));
}

TEST_F(CalendarItemsTest, ExceptionRowsBesideTheirMaster) {
    ASSERT_EQ(R_OK, store->AddCalendarItem("s", "", "cal", "acc", Item("s")));
    CalendarItemRecord exception = Item("s", "TZID=Europe/Berlin:20201201T090000");
    exception.summary = "moved";
    ASSERT_EQ(R_OK, store->AddCalendarItem("s", "20201201T090000", "cal", "acc", exception));
    EXPECT_EQ(R_E_ALREADY_EXISTS, store->AddCalendarItem("s", "20201201T090000", "cal", "acc", exception));

    CalendarItemRecord read;
    ASSERT_EQ(R_OK, store->FindCalendarItem("s", "20201201T090000", "cal", "acc", &read));
    EXPECT_STREQ("moved", read.summary);

    // An update with an identifier changes only the row that carries exactly that identifier.
    exception.summary = "moved again";
    EXPECT_EQ(R_OK, store->UpdateCalendarItem("s", "TZID=Europe/Berlin:20201201T090000", "cal", "acc", exception));
    CalendarItemRecord master = Item("s");
    master.summary = "series";
    EXPECT_EQ(R_OK, store->UpdateCalendarItem("s", "", "cal", "acc", master));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems where summary = 'moved again' and recurrenceID <> ''"));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems where summary = 'series' and recurrenceID = ''"));

    ASSERT_EQ(R_OK, store->DeleteCalendarItem("s", "", "cal", "acc"));
    EXPECT_EQ(0, store->GetCalendarItemCount("cal", "acc"));
}

TEST_F(CalendarItemsTest, UpdateLeavesTheSameEventInAnotherCalendarAlone) {
    MakeCalendar("acc", "shared");
    CalendarItemRecord mine = Item("meeting");
    mine.summary = "mine";
    ASSERT_EQ(R_OK, store->AddCalendarItem("meeting", "", "cal", "acc", mine));
    CalendarItemRecord theirs = mine;
    theirs.parentCalendarGuid = "shared";
    theirs.summary = "theirs";
    ASSERT_EQ(R_OK, store->AddCalendarItem("meeting", "", "shared", "acc", theirs));

    theirs.summary = "theirs, changed";
    ASSERT_EQ(R_E_ALREADY_EXISTS, store->AddCalendarItem("meeting", "", "shared", "acc", theirs));
    EXPECT_EQ(R_OK, store->UpdateCalendarItem("meeting", "", "shared", "acc", theirs));
    EXPECT_EQ(1, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_EQ(1, store->GetCalendarItemCount("shared", "acc"));
    CalendarItemRecord read;
    ASSERT_EQ(R_OK, store->FindCalendarItem("meeting", "", "cal", "acc", &read));
    EXPECT_STREQ("mine", read.summary);
    ASSERT_EQ(R_OK, store->FindCalendarItem("meeting", "", "shared", "acc", &read));
    EXPECT_STREQ("theirs, changed", read.summary);
}

TEST_F(CalendarItemsTest, FileNamesFromServersStayInTheCalendarFolder) {
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("abc", "a:b/c.ics", "cal", "acc"));
    EXPECT_EQ("abc", ReadBytes(FileOf("a_b_c.ics")));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("abcd", "a:b/c.ics", "cal", "acc"));
    EXPECT_EQ("abcd", ReadBytes(FileOf("a_b_c.ics")));

    for (const char* name : {"../../../../escape.ics", "/etc/escape.ics", "..\\..\\escape.ics"}) {
        ASSERT_EQ(R_OK, store->WriteCalendarItemFile("x", name, "cal", "acc")) << name;
    }
    EXPECT_EQ(R_E_INVALID_ARGUMENT, store->WriteCalendarItemFile("x", "", "cal", "acc"));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("x", "..", "cal", "acc"));
    EXPECT_EQ("x", ReadBytes(FileOf("__")));
    // Everything written lies in the calendar's folder, and no temporary file is left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path())) {
        if (entry.is_regular_file() && entry.path().filename() != "OrvaneDB.sqlite") {
            EXPECT_EQ(calendar.localDirPath.Str(), entry.path().parent_path().string()) << entry.path();
            EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp-")) << entry.path();
            ++files;
        }
    }
    EXPECT_EQ(5, files);
}

TEST_F(CalendarItemsTest, StoredFileNameCannotDeleteOutsideTheFolder) {
    const std::filesystem::path victim = folder.Path() / "victim.txt";
    { std::ofstream(victim) << "keep"; }
    CalendarItemRecord item = Item("evil");
    item.localFileName = "../../../../victim.txt";
    ASSERT_EQ(R_OK, store->AddCalendarItem("evil", "", "cal", "acc", item));
    ASSERT_EQ(R_OK, store->DeleteCalendarItem("evil", "", "cal", "acc"));
    ASSERT_EQ(R_OK, store->AddCalendarItem("evil", "", "cal", "acc", item));
    ASSERT_EQ(R_OK, store->DeleteCalendarItemByServerFileName("/dav/cal/evil.ics", "cal", "acc"));
    EXPECT_EQ("keep", ReadBytes(victim));
    EXPECT_EQ(0, store->GetCalendarItemCount("cal", "acc"));
}

TEST_F(CalendarItemsTest, FailedWriteIsReportedAndKeepsTheOldFile) {
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("old", "item.ics", "cal", "acc"));
    std::filesystem::remove_all(calendar.localDirPath.Str());
    EXPECT_NE(R_OK, store->WriteCalendarItemFile("new", "item.ics", "cal", "acc"));
    EXPECT_EQ(R_E_INVALID_ARGUMENT, store->WriteCalendarItemFile(nullptr, "item.ics", "cal", "acc"));
}

TEST_F(CalendarItemsTest, ServerNamesLongerThanAFileNameAreStoredUnderShortLocalNames) {
    // Two resource names a file system refuses, alike but for their ends, stored as a sync stores
    // them: the file under the server's name, then the rows.
    const std::string first = std::string(300, 'n') + "-1.ics";
    const std::string second = std::string(300, 'n') + "-2.ics";
    for (const std::string* name : {&first, &second}) {
        const std::string uid = name == &first ? "long-1" : "long-2";
        const std::string text = CalendarOf("BEGIN:VEVENT\r\nUID:" + uid +
                                            "\r\nDTSTART:20201201T090000\r\nEND:VEVENT\r\n");
        ASSERT_EQ(R_OK, store->WriteCalendarItemFile(text.c_str(), name->c_str(), "cal", "acc"));
        RIcsCalendar* parsed = new RIcsCalendar();
        ASSERT_EQ(R_OK, parsed->Parse(text.c_str()));
        EXPECT_EQ(R_OK, store->ImportIcsCalendar("acc", "cal", name->c_str(), "", "\"e1\"", parsed));
        parsed->Release();
    }
    CalendarItemRecord row;
    ASSERT_EQ(R_OK, store->FindCalendarItemByServerFileName(first.c_str(), "cal", "acc", &row));
    EXPECT_EQ(first, row.serverFileName.Str());
    const std::string local = row.localFileName.Str();
    EXPECT_LE(local.size(), 255u);
    EXPECT_EQ(".ics", local.substr(local.size() - 4));
    EXPECT_NE(std::string::npos, ReadBytes(FileOf(local.c_str())).find("UID:long-1"));
    // The same name reaches the same file, from the row's name as from the server's.
    std::string text;
    ASSERT_EQ(R_OK, ReadCalendarItemFile(store, first.c_str(), "cal", "acc", text));
    EXPECT_NE(std::string::npos, text.find("UID:long-1"));
    ASSERT_EQ(R_OK, ReadCalendarItemFile(store, row.localFileName, "cal", "acc", text));
    EXPECT_NE(std::string::npos, text.find("UID:long-1"));
    CalendarItemRecord other;
    ASSERT_EQ(R_OK, store->FindCalendarItemByServerFileName(second.c_str(), "cal", "acc", &other));
    EXPECT_NE(row.localFileName, other.localFileName);

    // Deleting the row takes its file and leaves the other item whole.
    ASSERT_EQ(R_OK, store->DeleteCalendarItemByServerFileName(("/dav/cal/" + first).c_str(), "cal", "acc"));
    EXPECT_FALSE(std::filesystem::exists(FileOf(local.c_str())));
    EXPECT_NE(R_OK, store->FindCalendarItemByServerFileName(first.c_str(), "cal", "acc", &row));
    ASSERT_EQ(R_OK, ReadCalendarItemFile(store, second.c_str(), "cal", "acc", text));
    EXPECT_NE(std::string::npos, text.find("UID:long-2"));
}

}  // namespace
}  // namespace orvane::test
