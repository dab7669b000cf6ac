#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

class CalendarsTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
    }
};

TEST_F(CalendarsTest, InsertListsOnlyTheFilledColumnsAndMakesTheFolder) {
    CalendarRecord calendar = MakeCalendar("acc", "cal");
    EXPECT_EQ((dataDir / "Accounts" / "acc" / "cal").string(), calendar.localDirPath.Str());
    EXPECT_TRUE(std::filesystem::is_directory(calendar.localDirPath.Str()));
    EXPECT_EQ(1, Scalar("select count(*) from Calendars where guid = 'cal' and parentAccountGuid = 'acc' and "
                        "displayName = 'Home' and calendarOrder = -1 and enabled = 1 and description is null and "
                        "ctag is null and readOnly is null"));

    CalendarRecord twin;
    twin.Clear();
    twin.guid = "cal";
    EXPECT_EQ(R_E_ALREADY_EXISTS, store->AddCalendar("acc", &twin));
    EXPECT_STREQ("", twin.localDirPath);
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->AddCalendar("no-such-account", &twin));
}

TEST_F(CalendarsTest, UpdateWritesEveryFieldButKeepsPathAndFolder) {
    CalendarRecord calendar = MakeCalendar("acc", "cal");
    calendar.pathURI = "/ignored/";
    calendar.ctag = "";
    calendar.displayName = "It's mine";
    calendar.description = "x'); DROP TABLE Calendars;--";
    calendar.calendarOrder = 4;
    ASSERT_EQ(R_OK, store->UpdateCalendar("acc", &calendar));
    CalendarRecord read;
    ASSERT_EQ(R_OK, store->FindCalendar("acc", "cal", &read));
    EXPECT_STREQ("It's mine", read.displayName);
    EXPECT_STREQ("x'); DROP TABLE Calendars;--", read.description);
    EXPECT_STREQ("", read.pathURI);
    EXPECT_EQ(4, read.calendarOrder);
    EXPECT_EQ(1, Scalar("select count(*) from Calendars where ctag = ''"));
}

TEST_F(CalendarsTest, EventCalendarsByResourceTypeAndComponentSet) {
    struct Case {
        const char* type;
        const char* set;
        bool events;
    } cases[] = {{"calendar", "", true},          {"subscribed", "VEVENT", true}, {"subscribed", "", false},
                 {"calendar", "VTODO", false},    {"calendar", "VEVENT,VTODO", true}};
    for (const Case& c : cases) {
        CalendarRecord record;
        record.resourceType = c.type;
        record.supportedCalendarComponentSet = c.set;
        EXPECT_EQ(c.events, store->IsEventCalendar(record)) << c.type << " / " << c.set;
    }
    EXPECT_FALSE(store->IsEventCalendarAt("acc", 0));
}

TEST_F(CalendarsTest, DeleteRemovesItemsRowAndFolder) {
    CalendarRecord calendar = MakeCalendar("acc", "cal");
    MakeCalendar("acc", "other");
    CalendarItemRecord item;
    item.guid = "i";
    item.parentCalendarGuid = "cal";
    item.parentAccountGuid = "acc";
    ASSERT_EQ(R_OK, store->AddCalendarItem("i", "", "cal", "acc", item));
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("BEGIN", "i.ics", "cal", "acc"));

    EXPECT_EQ(R_OK, store->DeleteCalendarByGuid("acc", "cal"));
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems"));
    EXPECT_EQ(1, store->GetCalendarCount("acc"));
    EXPECT_FALSE(std::filesystem::exists(calendar.localDirPath.Str()));
    EXPECT_TRUE(std::filesystem::is_directory(dataDir / "Accounts" / "acc" / "other"));
    EXPECT_EQ(R_OK, store->DeleteCalendarByGuid("acc", "cal"));
}

}  // namespace
}  // namespace orvane::test
