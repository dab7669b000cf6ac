// Changes to repeating series: an exception for one occurrence, the split of a series in two
// ("this and future"), the end of a series and excluded dates, for timed, floating, zoned and
// date-only series.
#include "tests/sync/ItemModelFixture.h"

#include "ical/model/RIcsEvent.h"

namespace orvane::test {
namespace {

RRef<RIcsDateTime> Value(const char* dbText, const char* tzid = "") {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromDbText(dbText, tzid);
    return value;
}

RRef<ROrvaneCalendarItem> Adopt(ROrvaneCalendarItem* item) { return RRef<ROrvaneCalendarItem>::Adopt(item); }

TEST_F(ItemModelFixture, ExceptionsAreNamedByTheirOccurrenceAndStandWhereItWas) {
    auto zoned = Item(Row("g1", "2024-03-01 10:00", "2024-03-01 11:00", "Europe/Berlin", "FREQ=DAILY;COUNT=10"));
    auto exception = Adopt(zoned->CreateOccurrenceException(*Value("2024-03-04 10:00", "Europe/Berlin")));
    ASSERT_TRUE(exception);
    const CalendarItemRecord& r = exception->Record();
    EXPECT_STREQ(r.recurrenceID, "TZID=Europe/Berlin:20240304T100000");
    EXPECT_STREQ(r.rrule, "");
    EXPECT_EQ(r.sequence, 1);
    EXPECT_STREQ(r.guid, "g1");
    EXPECT_STREQ(r.serverFileName, "g1.ics");
    EXPECT_STREQ(r.etag, "\"e1\"");
    EXPECT_STREQ(r.dtStart, "2024-03-04 10:00") << "not on the series' first day";
    EXPECT_STREQ(r.dtEnd, "2024-03-04 11:00");
    EXPECT_FALSE(exception->IsNew());
    EXPECT_FALSE(exception->IsModified());
    EXPECT_TRUE(exception->IsException());

    auto allDay = Item(Row("g2", "2024-03-01", "2024-03-02", "", "FREQ=WEEKLY"));
    auto dayException = Adopt(allDay->CreateOccurrenceException(*Value("2024-03-15")));
    EXPECT_STREQ(dayException->Record().recurrenceID, "VALUE=DATE:20240315");
    EXPECT_STREQ(dayException->Record().dtEnd, "2024-03-16");

    auto floating = Item(Row("g3", "2024-03-01 08:30", "2024-03-01 09:00", "", "FREQ=DAILY"));
    EXPECT_STREQ(Adopt(floating->CreateOccurrenceException(*Value("2024-03-02 08:30")))->Record().recurrenceID,
                 "20240302T083000");

    auto single = Item(Row("g4", "2024-03-01 08:30", "2024-03-01 09:00"));
    EXPECT_EQ(single->CreateOccurrenceException(*Value("2024-03-01 08:30")), nullptr);
    EXPECT_EQ(single->SplitSeries(*Value("2024-03-01 08:30")), nullptr);
}

TEST_F(ItemModelFixture, ANewRuleReplacesTheOneAlreadyReadForTheUpload) {
    auto series = Item(Row("g1", "2024-03-01 10:00", "2024-03-01 11:00", "", "FREQ=WEEKLY;COUNT=5"));
    ASSERT_NE(series->GetRecurrence(), nullptr);  // read once, as the event dialog does
    series->SetRRule("FREQ=DAILY;INTERVAL=2");
    RRef<RIcsEvent> event = RRef<RIcsEvent>::Adopt(series->BuildIcsEvent());
    ASSERT_TRUE(event);
    const std::string text = event->GetText();
    EXPECT_NE(text.find("RRULE:FREQ=DAILY;INTERVAL=2"), std::string::npos) << text;
    EXPECT_EQ(text.find("COUNT=5"), std::string::npos) << text;
    ASSERT_NE(series->GetRecurrence(), nullptr);
    EXPECT_EQ(series->GetRecurrence()->interval, 2);
}

TEST_F(ItemModelFixture, AnExceptionThatRepeatsOnItsOwnIsUploadedAsAnExceptionOfItsSeries) {
    CalendarItemRecord row = Row("g1", "2024-03-05 14:00", "2024-03-05 15:00", "", "FREQ=DAILY;COUNT=3");
    row.recurrenceID = "20240305T100000";
    auto exception = Item(row);
    RRef<RIcsEvent> event = RRef<RIcsEvent>::Adopt(exception->BuildIcsEvent());
    ASSERT_TRUE(event);
    const std::string text = event->GetText();
    EXPECT_NE(text.find("RRULE:FREQ=DAILY;COUNT=3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("RECURRENCE-ID:20240305T100000\r\n"), std::string::npos) << text;
}

TEST_F(ItemModelFixture, SplittingAFloatingSeriesShowsTheSplitDayOnceAndKeepsTheCount) {
    const CalendarItemRecord row = Row("g1", "2024-03-01 10:00", "2024-03-01 11:00", "", "FREQ=DAILY;COUNT=10");
    Store(row);
    auto series = Item(row);
    auto future = Adopt(series->SplitSeries(*Value("2024-03-04 10:00")));
    ASSERT_TRUE(future);
    EXPECT_STREQ(series->GetRRule(), "FREQ=DAILY;UNTIL=20240303T235959");
    EXPECT_TRUE(series->IsModified());
    EXPECT_STREQ(future->GetRRule(), "FREQ=DAILY;UNTIL=20240310T235959");
    EXPECT_STREQ(future->Record().dtStart, "2024-03-04 10:00");
    EXPECT_STREQ(future->Record().dtEnd, "2024-03-04 11:00");
    EXPECT_STRNE(future->GetGuid(), "g1");
    EXPECT_STREQ(future->GetServerFileName(), future->GetGuid() + ".ics");
    EXPECT_STREQ(future->GetETag(), "") << "a new resource is created, never matched against the old one";
    EXPECT_FALSE(future->IsNew());

    const auto before = Occurrences(series->GetRRule(), *series->GetDTStart());
    const auto after = Occurrences(future->GetRRule(), *future->GetDTStart());
    EXPECT_EQ(before, (std::vector<std::string>{"2024-03-01 10:00", "2024-03-02 10:00", "2024-03-03 10:00"}));
    ASSERT_EQ(after.size(), 7u);
    EXPECT_EQ(after.front(), "2024-03-04 10:00");
    EXPECT_EQ(after.back(), "2024-03-10 10:00");
}

TEST_F(ItemModelFixture, ASeriesStartingAtMidnightDoesNotShowTheSplitDayTwice) {
    auto series = Item(Row("g1", "2024-03-01 00:00", "2024-03-01 01:00", "", "FREQ=DAILY"));
    auto future = Adopt(series->SplitSeries(*Value("2024-03-04 00:00")));
    const auto before = Occurrences(series->GetRRule(), *series->GetDTStart());
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.back(), "2024-03-03 00:00");
    EXPECT_STREQ(future->GetRRule(), "FREQ=DAILY") << "an open series stays open";
}

TEST_F(ItemModelFixture, DateOnlySeriesEndOnThePreviousDate) {
    auto series = Item(Row("g1", "2024-03-01", "2024-03-02", "", "FREQ=DAILY;COUNT=10"));
    auto future = Adopt(series->SplitSeries(*Value("2024-03-04")));
    EXPECT_STREQ(series->GetRRule(), "FREQ=DAILY;UNTIL=20240303");
    EXPECT_STREQ(future->GetRRule(), "FREQ=DAILY;UNTIL=20240310");
    EXPECT_STREQ(future->Record().dtStart, "2024-03-04");
    EXPECT_STREQ(future->Record().dtEnd, "2024-03-05");
    EXPECT_EQ(Occurrences(series->GetRRule(), *series->GetDTStart()).back(), "2024-03-03");
    EXPECT_EQ(Occurrences(future->GetRRule(), *future->GetDTStart()).size(), 7u);
}

TEST_F(ItemModelFixture, ZonedSeriesEndAtAUtcInstant) {
    // Berlin is UTC+1 in early March, New York UTC-5 (before its change on 10 March).
    auto berlin = Item(Row("g1", "2024-03-01 00:00", "2024-03-01 01:00", "Europe/Berlin", "FREQ=DAILY;COUNT=10"));
    auto berlinFuture = Adopt(berlin->SplitSeries(*Value("2024-03-04 00:00", "Europe/Berlin")));
    EXPECT_STREQ(berlin->GetRRule(), "FREQ=DAILY;UNTIL=20240303T225959Z");
    EXPECT_STREQ(berlinFuture->GetRRule(), "FREQ=DAILY;UNTIL=20240310T225959Z");
    EXPECT_STREQ(berlinFuture->Record().dtStartTZ, "Europe/Berlin");

    auto newYork = Item(Row("g2", "2024-03-01 09:00", "2024-03-01 10:00", "America/New_York", "FREQ=WEEKLY"));
    newYork->EndSeriesBefore(*Value("2024-03-08 09:00", "America/New_York"));
    EXPECT_STREQ(newYork->GetRRule(), "FREQ=WEEKLY;UNTIL=20240308T045959Z");

    auto utc = Item(Row("g3", "2024-03-01 09:00", "2024-03-01 10:00", "Z", "FREQ=DAILY"));
    utc->EndSeriesBefore(*Value("2024-03-08 09:00", "Z"));
    EXPECT_STREQ(utc->GetRRule(), "FREQ=DAILY;UNTIL=20240307T235959Z");
}

TEST_F(ItemModelFixture, ExceptionsOnAndAfterTheSplitDayMoveToTheNewSeries) {
    const CalendarItemRecord master = Row("g1", "2024-03-01 10:00", "2024-03-01 11:00", "", "FREQ=DAILY;COUNT=10");
    Store(master);
    for (const char* day : {"20240302T100000", "20240304T100000", "20240306T100000"}) {
        CalendarItemRecord exception = Row("g1", "2024-03-02 12:00", "2024-03-02 13:00");
        exception.recurrenceID = day;
        Store(exception);
    }
    auto series = Item(master);
    auto future = Adopt(series->SplitSeries(*Value("2024-03-04 10:00")));
    ASSERT_TRUE(future);
    ASSERT_EQ(R_OK, series->StoreIfModified());
    ASSERT_EQ(R_OK, future->StoreIfModified());

    const auto old = Rows("g1");
    ASSERT_EQ(old.size(), 2u);
    EXPECT_STREQ(old[0].rrule, "FREQ=DAILY;UNTIL=20240303T235959");
    EXPECT_STREQ(old[1].recurrenceID, "20240302T100000");

    const auto moved = Rows(future->GetGuid());
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_STREQ(moved[0].recurrenceID, "");
    EXPECT_STREQ(moved[1].recurrenceID, "20240304T100000");
    EXPECT_STREQ(moved[2].recurrenceID, "20240306T100000");
    EXPECT_STREQ(moved[1].serverFileName, future->GetServerFileName());
}

TEST_F(ItemModelFixture, EndingASeriesDropsItsLaterExceptionsAndExcludedDatesAreAppended) {
    const CalendarItemRecord master = Row("g1", "2024-03-01", "2024-03-02", "", "FREQ=DAILY");
    Store(master);
    CalendarItemRecord exception = Row("g1", "2024-03-09", "2024-03-10");
    exception.recurrenceID = "VALUE=DATE:20240309";
    Store(exception);
    auto series = Item(master);
    series->EndSeriesBefore(*Value("2024-03-05"));
    EXPECT_STREQ(series->GetRRule(), "FREQ=DAILY;UNTIL=20240304");
    series->AddExDate(Value("2024-03-02").get());
    series->AddExDate(Value("2024-03-02").get());
    EXPECT_STREQ(series->Record().exDates, "EXDATE;VALUE=DATE:20240302\r\nEXDATE;VALUE=DATE:20240302\r\n");
    ASSERT_EQ(R_OK, series->StoreIfModified());
    ASSERT_EQ(Rows("g1").size(), 1u);

    auto zoned = Item(Row("g2", "2024-03-01 10:00", "2024-03-01 11:00", "Europe/Berlin", "FREQ=DAILY"));
    zoned->AddExDate(Value("2024-03-03 10:00", "Europe/Berlin").get());
    EXPECT_STREQ(zoned->Record().exDates, "EXDATE;TZID=Europe/Berlin:20240303T100000\r\n");
}

}  // namespace
}  // namespace orvane::test
