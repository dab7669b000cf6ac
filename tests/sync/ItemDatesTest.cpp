// The item's date-time caches: moving the start, zones, items without an end, the occurrence
// the month view shows, and the rectangle it was drawn in.
#include "tests/sync/ItemModelFixture.h"

namespace orvane::test {
namespace {

RRef<RIcsDateTime> Value(const char* dbText, const char* tzid = "") {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromDbText(dbText, tzid);
    return value;
}

TEST_F(ItemModelFixture, MovingTheStartLaterMovesTheEndButEarlierDoesNot) {
    auto item = Item(Row("g1", "2024-03-01 10:00", "2024-03-01 11:00"));
    RIcsDateTime* start = item->GetDTStart();
    EXPECT_EQ(start, item->GetDTStart()) << "built once";

    item->SetDTStart(Value("2024-03-01 10:00").get());
    EXPECT_FALSE(item->IsModified()) << "the same start changes nothing";

    item->SetDTStart(Value("2024-03-01 13:00").get());
    EXPECT_TRUE(item->IsModified());
    EXPECT_STREQ(item->Record().dtStart, "2024-03-01 13:00");
    EXPECT_STREQ(item->Record().dtEnd, "2024-03-01 14:00");
    EXPECT_EQ(item->GetDTStart(), start) << "the cache is updated in place";

    item->SetDTStart(Value("2024-03-01 09:00").get());
    EXPECT_STREQ(item->Record().dtEnd, "2024-03-01 14:00");
    EXPECT_NEAR(item->GetDurationDays(), 5.0 / 24, 1e-9);
}

TEST_F(ItemModelFixture, ZonesOfTheStartFillTheOlsonFieldAndClearTheOldZoneText) {
    CalendarItemRecord row = Row("g1", "2024-03-01 10:00", "2024-03-01 11:00");
    row.whiteRabbitTimeZone = "W. Europe Standard Time";
    auto item = Item(row);
    item->SetDTStart(Value("2024-03-01 10:00", "W. Europe Standard Time").get());
    EXPECT_STREQ(item->Record().dtStartTZ, "W. Europe Standard Time");
    EXPECT_STREQ(item->Record().dtStartOlsonTZ, "Europe/Berlin");
    EXPECT_STREQ(item->Record().whiteRabbitTimeZone, "");

    item->SetDTStart(Value("2024-03-02 10:00").get());
    EXPECT_STREQ(item->Record().dtStartTZ, "");
    EXPECT_STREQ(item->Record().dtStartOlsonTZ, "");
    EXPECT_TRUE(item->GetDTStart()->floating);
}

TEST_F(ItemModelFixture, AnItemWithoutAnEndLastsItsDayOrIsAnInstant) {
    auto allDay = Item(Row("g1", "2024-03-01", ""));
    EXPECT_TRUE(allDay->IsAllDay());
    EXPECT_STREQ(allDay->GetDTEnd()->GetDbText(), "2024-03-02");
    EXPECT_DOUBLE_EQ(allDay->GetDurationDays(), 1.0);

    auto timed = Item(Row("g2", "2024-03-01 10:00", ""));
    EXPECT_FALSE(timed->IsAllDay());
    EXPECT_STREQ(timed->GetDTEnd()->GetDbText(), "2024-03-01 10:00");
    EXPECT_DOUBLE_EQ(timed->GetDurationDays(), 0.0);
    EXPECT_STREQ(timed->GetOccurrenceEnd()->GetDbText(), "2024-03-01 10:00");
}

TEST_F(ItemModelFixture, OccurrencesKeepTheSeriesLength) {
    auto item = Item(Row("g1", "2024-03-01 10:00", "2024-03-01 11:30", "", "FREQ=DAILY"));
    RDateTime fourth;
    fourth.Parse("2024-03-04 10:00");
    item->SetOccurrenceStart(&fourth);
    EXPECT_STREQ(item->GetOccurrenceStart()->GetDbText(), "2024-03-04 10:00");
    EXPECT_STREQ(item->GetOccurrenceEnd()->GetDbText(), "2024-03-04 11:30");
    EXPECT_STREQ(item->GetDTStart()->GetDbText(), "2024-03-01 10:00") << "the series start stays";
}

TEST_F(ItemModelFixture, RulesOfExceptionsAreNotChangedAndShortAttendeeTextsHoldNoOne) {
    CalendarItemRecord row = Row("g1", "2024-03-01 10:00", "2024-03-01 11:00");
    row.recurrenceID = "20240301T100000";
    row.attendees = "\r\n";
    auto item = Item(row);
    item->SetRRule("FREQ=DAILY");
    EXPECT_FALSE(item->IsModified());
    EXPECT_FALSE(item->IsRecurring());
    EXPECT_EQ(item->GetAttendeeCount(), 0);

    CalendarItemRecord withPeople = Row("g2", "2024-03-01 10:00", "2024-03-01 11:00");
    withPeople.attendees =
        "ATTENDEE;CN=Zoe;PARTSTAT=ACCEPTED:mailto:zoe@example.com\r\n"
        "ATTENDEE;CN=Adam:mailto:adam@example.com\r\n";
    auto meeting = Item(withPeople);
    ASSERT_EQ(meeting->GetAttendeeCount(), 2);
    EXPECT_STREQ(meeting->GetAttendeeAt(0)->GetCn(), "Adam");
    EXPECT_STREQ(meeting->GetAttendeeAt(1)->GetCn(), "Zoe");
    EXPECT_STREQ(meeting->GetAttendeeAt(1)->GetPartStat(), "ACCEPTED");
    EXPECT_EQ(meeting->GetAttendeeAt(2), nullptr);
}

TEST_F(ItemModelFixture, AllDayBarsDrawnInPiecesGrowToTheRight) {
    auto allDay = Item(Row("g1", "2024-03-01", "2024-03-04"));
    allDay->SetHitRect({10, 20, 50, 30});
    allDay->SetHitRect({60, 20, 90, 31});
    EXPECT_EQ(allDay->GetHitRect().left, 10);
    EXPECT_EQ(allDay->GetHitRect().right, 90);
    EXPECT_EQ(allDay->GetHitRect().bottom, 30);
    allDay->SetHitRect({0, 40, 30, 50});  // the next week's row
    EXPECT_EQ(allDay->GetHitRect().left, 0);
    EXPECT_EQ(allDay->GetHitRect().top, 40);

    auto timed = Item(Row("g2", "2024-03-01 10:00", "2024-03-01 11:00"));
    timed->SetHitRect({10, 20, 50, 30});
    timed->SetHitRect({60, 20, 90, 30});
    EXPECT_EQ(timed->GetHitRect().left, 60);
}

TEST_F(ItemModelFixture, NewItemsStartAtTheNextFullHourWithStampsOfNow) {
    {
        FixedClock clock(2024, 5, 14, 14, 37, 12);
        auto item = MakeRef<ROrvaneCalendarItem>();
        ASSERT_EQ(R_OK, item->CreateNew(store.get(), nullptr, nullptr));
        EXPECT_TRUE(item->IsNew());
        EXPECT_TRUE(item->IsModified());
        const CalendarItemRecord& r = item->Record();
        EXPECT_EQ(r.guid.GetLength(), 36);
        EXPECT_STREQ(r.localFileName, r.guid + ".ics");
        EXPECT_STREQ(r.serverFileName, r.localFileName);
        EXPECT_STREQ(r.summary, "New Event");
        EXPECT_STREQ(r.dtStart, "2024-05-14 15:00");
        EXPECT_STREQ(r.dtEnd, "2024-05-14 16:00");
        EXPECT_STREQ(r.dtStartTZ, "");
        EXPECT_STREQ(r.dtCreated, "2024-05-14 14:37:12");
        EXPECT_STREQ(r.dtStamp, "2024-05-14 14:37:12");
        EXPECT_STREQ(r.dtLastModified, "2024-05-14 14:37:12");
    }
    {
        FixedClock clock(2024, 12, 31, 23, 10, 0);
        auto item = MakeRef<ROrvaneCalendarItem>();
        ASSERT_EQ(R_OK, item->CreateNew(store.get(), nullptr, nullptr));
        EXPECT_STREQ(item->Record().dtStart, "2025-01-01 00:00");
        EXPECT_STREQ(item->Record().dtEnd, "2025-01-01 01:00");
        EXPECT_STREQ(item->Record().dtCreated, "2024-12-31 23:10") << "no seconds when they are 0";
    }
}

TEST_F(ItemModelFixture, StoringWritesOnlyChangedItemsAndUpdatesExistingRows) {
    const CalendarItemRecord row = Row("g1", "2024-03-01 10:00", "2024-03-01 11:00");
    Store(row);
    auto item = Item(row);
    EXPECT_EQ(R_OK, item->StoreIfModified());
    EXPECT_STREQ(Rows("g1").at(0).dtLastModified, "2024-01-01 00:00:00") << "unchanged: nothing written";

    item->SetSummary(CStringW(u"Retro"));
    ASSERT_EQ(R_OK, item->StoreIfModified());
    EXPECT_FALSE(item->IsModified());
    const auto rows = Rows("g1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_STREQ(rows[0].summary, "Retro");
}

}  // namespace
}  // namespace orvane::test
