// Several resources imported as one: the rows are those that importing them one by one would
// make (a UID met again later in the batch updates its row, a stored one is updated, exceptions
// sit beside their master), and a batch stopped by any resource keeps none of its rows.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/memory/RRef.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/parser/RIcsZoneMemo.h"
#include "tests/store/data/CalendarText.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

const std::string kSeries = CalendarOf(
    "BEGIN:VEVENT\r\nUID:series\r\nSUMMARY:Weekly\r\nDTSTART:20201201T090000\r\nDTEND:20201201T100000\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=5\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:series\r\nRECURRENCE-ID:20201208T090000\r\nSUMMARY:Moved once\r\n"
    "DTSTART:20201208T110000\r\nDTEND:20201208T120000\r\nEND:VEVENT\r\n");

class ImportBatchTest : public OpenStoreFixture {
protected:
    void SetUp() override {
        OpenStoreFixture::SetUp();
        MakeAccount("acc");
        MakeCalendar("acc", "cal");
        MakeCalendar("acc", "single");
    }
    struct Source {
        std::string name;
        std::string etag;
        std::string text;
    };
    RResult ImportBatch(const char* calendar, const std::vector<Source>& sources) {
        std::vector<RRef<RIcsCalendar>> parsed;
        std::vector<ROrvaneDataManager::IcsResource> resources;
        for (const Source& source : sources) {
            parsed.push_back(MakeRef<RIcsCalendar>());
            EXPECT_EQ(R_OK, parsed.back()->Parse(source.text.c_str()));
            resources.push_back({source.name.c_str(), "", source.etag.c_str(), parsed.back().get()});
        }
        return store->ImportIcsCalendars("acc", calendar, resources);
    }
    RResult ImportEach(const char* calendar, const std::vector<Source>& sources) {
        for (const Source& source : sources) {
            auto parsed = MakeRef<RIcsCalendar>();
            EXPECT_EQ(R_OK, parsed->Parse(source.text.c_str()));
            if (const RResult result = store->ImportIcsCalendar("acc", calendar, source.name.c_str(), "",
                                                                source.etag.c_str(), parsed.get());
                result != R_OK) {
                return result;
            }
        }
        return R_OK;
    }
    using Row = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string>;
    std::vector<Row> Rows(const char* calendar) {
        std::vector<CalendarItemRecord> records;
        EXPECT_EQ(R_OK, store->GetCalendarItems(calendar, "acc", &records));
        std::vector<Row> rows;
        for (const CalendarItemRecord& r : records) {
            rows.emplace_back(r.guid.Str(), r.recurrenceID.Str(), r.summary.Str(), r.serverFileName.Str(), r.etag.Str(),
                              r.dtPatternEnd.Str());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

TEST_F(ImportBatchTest, RowsAreThoseOfImportsOneByOne) {
    const std::vector<Source> before = {{"/cal/b.ics", "\"1\"", EventsText("b", 1, "Old")}};
    ASSERT_EQ(R_OK, ImportEach("cal", before));
    ASSERT_EQ(R_OK, ImportEach("single", before));
    const std::vector<Source> batch = {
        {"/cal/a.ics", "\"1\"", EventsText("a", 2)},
        {"/cal/b.ics", "\"2\"", EventsText("b", 1, "New")},
        {"/cal/series.ics", "\"1\"", kSeries},
        {"/cal/a1.ics", "\"3\"", EventsText("a", 2, "Again")},  // a-0 and a-1 met again
    };
    ASSERT_EQ(R_OK, ImportBatch("cal", batch));
    ASSERT_EQ(R_OK, ImportEach("single", batch));
    const std::vector<Row> rows = Rows("cal");
    EXPECT_EQ(rows, Rows("single"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(std::get<2>(rows[0]), "Again");
    EXPECT_EQ(std::get<3>(rows[0]), "a1.ics");
    EXPECT_EQ(std::get<2>(rows[2]), "New");
    EXPECT_EQ(std::get<1>(rows[4]).find("20201208T090000") != std::string::npos, true);
    // Columns a new row leaves empty are stored as NULL, as inserts have always left them (an
    // update writes them as empty texts).
    EXPECT_EQ(2, Scalar("select count(*) from CalendarItems where parentCalendarGuid = 'cal' and guid = 'series' and "
                        "location is null and sequence is null and url is null and typeof(summary) = 'text'"));
    // Nothing at all is no failure.
    EXPECT_EQ(R_OK, ImportBatch("cal", {}));
}

TEST_F(ImportBatchTest, TagsOfEveryRowAreTheFullRowsOwn) {
    ASSERT_EQ(R_OK,
              ImportBatch("cal", {{"/cal/a.ics", "\"1\"", EventsText("a", 2)}, {"/cal/s.ics", "\"7\"", kSeries}}));
    ASSERT_EQ(R_OK, ImportBatch("single", {{"/cal/other.ics", "\"1\"", EventsText("other", 1)}}));
    std::vector<CalendarItemRecord> full;
    ASSERT_EQ(R_OK, store->GetCalendarItems("cal", "acc", &full));
    std::vector<ROrvaneDataManager::ItemTags> tags;
    ASSERT_EQ(R_OK, store->GetCalendarItemTags("cal", "acc", &tags));
    ASSERT_EQ(tags.size(), full.size());
    ASSERT_EQ(tags.size(), 4u);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(tags[i].guid, full[i].guid);
        EXPECT_EQ(tags[i].recurrenceID, full[i].recurrenceID);
        EXPECT_EQ(tags[i].serverFileName, full[i].serverFileName);
        EXPECT_EQ(tags[i].etag, full[i].etag);
        EXPECT_EQ(tags[i].scheduleTag, full[i].scheduleTag);
    }
    ASSERT_EQ(R_OK, store->GetCalendarItemTags("missing", "acc", &tags));
    EXPECT_TRUE(tags.empty());
}

TEST_F(ImportBatchTest, AResourceThatStopsTheBatchKeepsNoneOfItsRows) {
    ASSERT_EQ(R_OK, ImportEach("cal", {{"/cal/kept.ics", "\"1\"", EventsText("kept", 1)}}));
    const std::vector<Row> stored = Rows("cal");
    ASSERT_EQ(R_OK, ExecuteSql("create trigger Refuse before insert on CalendarItems when new.summary = 'poison' "
                               "begin select raise(abort, 'refused'); end;",
                               SQL_MODE_EXEC, store, nullptr));
    testing::internal::CaptureStderr();
    EXPECT_NE(R_OK, ImportBatch("cal", {{"/cal/new.ics", "\"1\"", EventsText("new", 3)},
                                        {"/cal/kept.ics", "\"2\"", EventsText("kept", 1, "Changed")},
                                        {"/cal/bad.ics", "\"1\"", EventsText("bad", 1, "poison")}}));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Rows("cal"), stored);

    // A resource with no parsed calendar, or a calendar the store does not hold, stops it too.
    EXPECT_EQ(R_E_INVALID_ARGUMENT,
              store->ImportIcsCalendars("acc", "cal", {{"new.ics", "", "", nullptr}}));
    EXPECT_NE(R_OK, ImportBatch("missing", {{"/cal/new.ics", "\"1\"", EventsText("new", 1)}}));
    EXPECT_EQ(Rows("cal"), stored);
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems where guid like 'new-%'"));
}

// Resources parsed with one memo share the zone of one VTIMEZONE text; a text that differs in a
// single byte gets a zone of its own, and the stored rows are those of resources parsed alone.
TEST_F(ImportBatchTest, ResourcesParsedWithOneMemoShareTheZoneOfOneText) {
    const auto zoneText = [](const char* standardOffset) {
        return std::string("BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
                           "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\n"
                           "DTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
                           "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:") +
               standardOffset +
               "\r\nTZNAME:EST\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
               "END:STANDARD\r\nEND:VTIMEZONE\r\n";
    };
    const auto zoned = [](const std::string& zone, const std::string& uid, const char* start) {
        return CalendarOf(zone + "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:Zoned\r\nDTSTART;TZID=America/New_York:" +
                          start + "\r\nDTEND;TZID=America/New_York:" + start +
                          "\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n");
    };
    const std::vector<Source> sources = {
        {"/cal/a.ics", "\"1\"", zoned(zoneText("-0500"), "a", "20201201T090000")},
        {"/cal/b.ics", "\"1\"", zoned(zoneText("-0500"), "b", "20201202T090000")},
        {"/cal/c.ics", "\"1\"", zoned(zoneText("-0600"), "c", "20201203T090000")},
    };
    std::vector<RRef<RIcsCalendar>> parsed;
    std::vector<ROrvaneDataManager::IcsResource> resources;
    {
        RIcsZoneMemo memo;
        for (const Source& source : sources) {
            parsed.push_back(MakeRef<RIcsCalendar>());
            ASSERT_EQ(R_OK, parsed.back()->Parse(source.text.c_str(), &memo));
            ASSERT_EQ(1, parsed.back()->GetTimeZoneCount());
            ASSERT_EQ(1, parsed.back()->GetEventCount());
            resources.push_back({source.name.c_str(), "", source.etag.c_str(), parsed.back().get()});
        }
        EXPECT_EQ(2u, memo.Size());
    }
    EXPECT_EQ(parsed[0]->GetTimeZoneAt(0), parsed[1]->GetTimeZoneAt(0));
    ASSERT_NE(parsed[0]->GetTimeZoneAt(0), parsed[2]->GetTimeZoneAt(0));
    EXPECT_EQ(-6, parsed[2]->GetTimeZoneAt(0)->GetStandard()->GetOffsetTo().hours);

    ASSERT_EQ(R_OK, store->ImportIcsCalendars("acc", "cal", resources));
    const auto zoneRows = [this] {
        std::vector<std::string> rows;
        for (int i = 0; i < store->GetTimeZoneCount(); ++i) {
            TimeZoneRecord zone;
            EXPECT_EQ(R_OK, store->GetTimeZone(i, &zone));
            rows.push_back(zone.timeZoneID.Str() + "|" + zone.standardName.Str() + "|" +
                           std::to_string(zone.standardOffsetTo) + "|" + zone.standardRrule.Str() + "|" +
                           zone.daylightDTStart.Str());
        }
        return rows;
    };
    const std::vector<std::string> zonesWithMemo = zoneRows();
    ASSERT_EQ(R_OK, ImportBatch("single", sources));
    EXPECT_EQ(Rows("cal"), Rows("single"));
    EXPECT_EQ(zonesWithMemo, zoneRows());
    EXPECT_EQ(3u, Rows("cal").size());
}

}  // namespace
}  // namespace orvane::test
