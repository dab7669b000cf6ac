#include "ical/model/RIcsCalendar.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

constexpr char kCalendar[] =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Test//EN\r\n"
    "X-WR-TIMEZONE:Europe/Berlin\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:W. Europe Standard Time\r\n"
    "BEGIN:DAYLIGHT\r\n"
    "TZNAME:CEST\r\n"
    "TZOFFSETFROM:+0100\r\n"
    "TZOFFSETTO:+0200\r\n"
    "DTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
    "END:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\n"
    "TZNAME:CET\r\n"
    "TZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0100\r\n"
    "DTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:series-1\r\n"
    "SUMMARY:Team's meeting\r\n"
    "DTSTART;TZID=W. Europe Standard Time:20201201T090000\r\n"
    "DTEND;TZID=W. Europe Standard Time:20201201T100000\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=3\r\n"
    "EXDATE;TZID=W. Europe Standard Time:20201208T090000\r\n"
    "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n"
    "ATTENDEE;CN=Ann;PARTSTAT=ACCEPTED:mailto:ann@example.com\r\n"
    "ATTENDEE;CN=Bob;PARTSTAT=TENTATIVE:mailto:bob@example.com\r\n"
    "SEQUENCE:4\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:series-1\r\n"
    "RECURRENCE-ID;TZID=W. Europe Standard Time:20201215T090000\r\n"
    "SUMMARY:Moved\r\n"
    "DTSTART;TZID=W. Europe Standard Time:20201216T090000\r\n"
    "DTEND;TZID=W. Europe Standard Time:20201216T100000\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "SUMMARY:No identity\r\n"
    "DTSTART;VALUE=DATE:20240105\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:no-start\r\n"
    "SUMMARY:Broken\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:utc\r\n"
    "DTSTART:20240110T080000Z\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VTODO\r\n"
    "UID:todo-1\r\n"
    "DTSTART:20240101T080000\r\n"
    "SUMMARY:Chore\r\n"
    "END:VTODO\r\n"
    "END:VCALENDAR\r\n";

class ImportTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
    }
    RResult Import(const char* text, const char* account = "acc") {
        RIcsCalendar* calendar = new RIcsCalendar();
        EXPECT_EQ(R_OK, calendar->Parse(text));
        testing::internal::CaptureStderr();
        const RResult result = store->ImportIcsCalendar(account, "cal", "/dav/cal/Series 1.ics", "st-1", "\"e'1\"",
                                                        calendar);
        trace = testing::internal::GetCapturedStderr();
        calendar->Release();
        return result;
    }
    CalendarItemRecord Find(const char* guid, const char* recurrenceID = "") {
        CalendarItemRecord item;
        EXPECT_EQ(R_OK, store->FindCalendarItem(guid, recurrenceID, "cal", "acc", &item)) << guid;
        return item;
    }
    std::string trace;
};

TEST_F(ImportTest, ZonesEventsExceptionsAndAttendeesBecomeRows) {
    ASSERT_EQ(R_OK, Import(kCalendar));
    TimeZoneRecord zone;
    ASSERT_EQ(R_OK, store->GetTimeZone(0, &zone));
    EXPECT_STREQ("W. Europe Standard Time", zone.timeZoneID);
    EXPECT_STREQ("Europe/Berlin", zone.olsonID);
    EXPECT_STREQ("CEST", zone.daylightName);
    EXPECT_DOUBLE_EQ(1.0, zone.daylightOffsetFrom);
    EXPECT_DOUBLE_EQ(2.0, zone.daylightOffsetTo);
    EXPECT_STREQ("FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", zone.standardRrule);
    EXPECT_STREQ("1970-10-25 03:00", zone.standardDTStart);

    const CalendarItemRecord master = Find("series-1");
    EXPECT_STREQ("VEVENT", master.type);
    EXPECT_STREQ("Series 1.ics", master.serverFileName);
    EXPECT_STREQ("\"e'1\"", master.etag);
    EXPECT_STREQ("st-1", master.scheduleTag);
    EXPECT_STREQ("Team's meeting", master.summary);
    EXPECT_STREQ("2020-12-01 09:00", master.dtStart);
    EXPECT_STREQ("W. Europe Standard Time", master.dtStartTZ);
    EXPECT_STREQ("Europe/Berlin", master.dtStartOlsonTZ);
    EXPECT_STREQ("Europe/Berlin", master.whiteRabbitTimeZone);
    EXPECT_STREQ("FREQ=WEEKLY;COUNT=3", master.rrule);
    EXPECT_STREQ("2020-12-01 09:00", master.dtPatternStart);
    EXPECT_STREQ("2020-12-15 09:00", master.dtPatternEnd);  // the third occurrence, EXDATE counted
    EXPECT_NE(-1, master.exDates.Find("20201208T090000"));
    EXPECT_NE(-1, master.attendees.Find("ann@example.com"));
    EXPECT_NE(-1, master.attendees.Find("bob@example.com"));
    EXPECT_NE(-1, master.organizer.Find("mailto:boss@example.com"));
    EXPECT_EQ(4, master.sequence);
    EXPECT_NE(-1, master.icsBlob.Find("UID:series-1"));

    const CalendarItemRecord moved = Find("series-1", "20201215T090000");
    EXPECT_STREQ("TZID=W. Europe Standard Time:20201215T090000", moved.recurrenceID);
    EXPECT_STREQ("Moved", moved.summary);

    // An all-day event without UID or DTEND: a fresh guid, and the next day as its end.
    CalendarItemRecord allDay;
    for (int i = 0; i < store->GetCalendarItemCount("cal", "acc"); ++i) {
        CalendarItemRecord row;
        EXPECT_EQ(R_OK, store->GetCalendarItem("cal", "acc", i, &row));
        if (row.summary == "No identity") {
            allDay = row;
        }
    }
    EXPECT_EQ(36, allDay.guid.GetLength());
    EXPECT_NE(-1, allDay.icsBlob.Find(CStringA("UID:") + allDay.guid));
    EXPECT_STREQ("2024-01-06", allDay.dtEnd);
    EXPECT_STREQ("2024-01-06", allDay.dtPatternEnd);

    const CalendarItemRecord utc = Find("utc");
    EXPECT_STREQ("Z", utc.dtStartTZ);
    EXPECT_STREQ("Z", utc.dtStartOlsonTZ);
    EXPECT_STREQ("", utc.dtEnd);
    EXPECT_STREQ("", utc.dtPatternEnd);

    const CalendarItemRecord todo = Find("todo-1");
    EXPECT_STREQ("VTODO", todo.type);
    EXPECT_STREQ("", todo.dtPatternStart);

    CalendarItemRecord none;
    EXPECT_EQ(STG_E_PATHNOTFOUND, store->FindCalendarItem("no-start", "", "cal", "acc", &none));
    EXPECT_NE(std::string::npos, trace.find("No DTSTART specified UID:no-start Subject:Broken")) << trace;
    EXPECT_EQ(5, store->GetCalendarItemCount("cal", "acc"));
}

TEST_F(ImportTest, SecondImportUpdatesTheSameRows) {
    ASSERT_EQ(R_OK, Import(kCalendar));
    const int items = store->GetCalendarItemCount("cal", "acc");
    std::string changed = kCalendar;
    changed.replace(changed.find("Team's meeting"), 14, "Renamed");
    ASSERT_EQ(R_OK, Import(changed.c_str()));
    // The event without UID gets a new identity each time; everything else is updated in place.
    EXPECT_EQ(items + 1, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_EQ(1, store->GetTimeZoneCount());
    EXPECT_STREQ("Renamed", Find("series-1").summary);
}

TEST_F(ImportTest, MasterAfterItsExceptionIsStoredToo) {
    // RFC 5545 sets no order on a series' components: the moved occurrence may come first.
    const char* text =
        "BEGIN:VCALENDAR\r\n"
        "BEGIN:VEVENT\r\nUID:s\r\nRECURRENCE-ID:20201208T090000\r\nSUMMARY:Moved\r\n"
        "DTSTART:20201209T090000\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:s\r\nSUMMARY:Series\r\nDTSTART:20201201T090000\r\n"
        "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, Import(text));
    ASSERT_EQ(R_OK, Import(text));
    EXPECT_EQ(2, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems where summary = 'Series' and rrule = 'FREQ=WEEKLY'"));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems where summary = 'Moved' and recurrenceID <> ''"));
}

TEST_F(ImportTest, UnknownCalendarStopsAfterTheZones) {
    EXPECT_EQ(STG_E_PATHNOTFOUND, Import(kCalendar, "other-account"));
    EXPECT_EQ(1, store->GetTimeZoneCount());
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems"));
}

TEST_F(ImportTest, OffsetsWithMinutesAndSecondsAreFractionalHours) {
    const char* text =
        "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Odd\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:-0330\r\n"
        "TZOFFSETTO:+054530\r\nDTSTART:19700101T000000\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, Import(text));
    TimeZoneRecord zone;
    ASSERT_EQ(R_OK, store->GetTimeZone(0, &zone));
    EXPECT_DOUBLE_EQ(-3.5, zone.standardOffsetFrom);
    EXPECT_NEAR(5.758, zone.standardOffsetTo, 0.0005);
    EXPECT_STREQ("", zone.olsonID);
    EXPECT_STREQ("", zone.daylightName);
}

TEST_F(ImportTest, EveryCalendarOfAFileHoldingSeveralIsImported) {
    const char* text =
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:one\r\nDTSTART:20240301T090000Z\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n\r\n"
        "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Custom\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0100\r\nDTSTART:19700101T000000\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\nUID:two\r\nDTSTART;TZID=Custom:20240302T090000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
        "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:three\r\nDTSTART:20240303T090000\r\nEND:VTODO\r\n"
        "END:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, Import(text));
    EXPECT_EQ(3, store->GetCalendarItemCount("cal", "acc"));
    EXPECT_STREQ("Custom", Find("two").dtStartTZ);
    EXPECT_STREQ("VTODO", Find("three").type);
    EXPECT_EQ(1, store->GetTimeZoneCount());
}

}  // namespace
}  // namespace orvane::test
