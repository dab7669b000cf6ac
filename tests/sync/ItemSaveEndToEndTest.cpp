// Items saved through the item model reach a real server and read back equal: new events
// (floating, all-day, in named zones), edits of events other clients wrote (whose own
// properties survive), exceptions and splits of series.
#include "tests/sync/ServerEndToEnd.h"

#include <cstdio>
#include <type_traits>

#include "platform/core/WinTypes.h"
#include "store/SeriesRows.h"
#include "sync/IcsResourceText.h"
#include "sync/ROrvaneCalendarItem.h"
#include "sync/SyncResults.h"
#include "tests/sync/FeedServer.h"

using namespace orvane::test;

namespace {

RRef<ROrvaneCalendar> CalendarAt(ROrvaneAccount& account, const std::string& path) {
    for (const RRef<ROrvaneCalendar>& calendar : account.Calendars()) {
        if (calendar->GetRecord().pathURI == path.c_str()) return calendar;
    }
    return nullptr;
}

RRef<RIcsDateTime> Value(const char* dbText, const char* tzid = "") {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromDbText(dbText, tzid);
    return value;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

const char kOtherClientSeries[] =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Other client//EN\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:series-1\r\n"
    "DTSTAMP:20240101T000000Z\r\n"
    "DTSTART:20240301T100000\r\n"
    "DTEND:20240301T110000\r\n"
    "RRULE:FREQ=DAILY;COUNT=10\r\n"
    "SUMMARY:Standup\r\n"
    "STATUS:CONFIRMED\r\n"
    "CATEGORIES:Work\r\n"
    "CLASS:PRIVATE\r\n"
    "X-OTHER-CLIENT:keep me\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT10M\r\nDESCRIPTION:Soon\r\nEND:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:series-1\r\n"
    "DTSTAMP:20240101T000000Z\r\n"
    "RECURRENCE-ID:20240306T100000\r\n"
    "DTSTART:20240306T140000\r\n"
    "DTEND:20240306T150000\r\n"
    "SUMMARY:Late standup\r\n"
    "X-OTHER-CLIENT:exception too\r\n"
    "END:VEVENT\r\n"
    "END:VCALENDAR\r\n";

}  // namespace

template <typename Server>
class ItemSaveEndToEnd : public EndToEnd<Server> {
protected:
    // An account refreshed against a new calendar, and that calendar.
    void Prepare(const std::string& name) {
        path = this->NewCalendar(name);
        account = this->NewAccount();
        ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
        calendar = CalendarAt(*account, path);
        ASSERT_TRUE(calendar);
    }
    // The same with the account talking to the server through `peer`, which passes on what it
    // has no answer of its own for.
    void PrepareBehind(FeedServer& peer, const std::string& name) {
        peer.PassOnTo(this->Port());
        path = this->NewCalendar(name);
        account = this->NewAccount();
        ASSERT_TRUE(account);
        account->SetAddress(peer.Url("http", "/").c_str());
        ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
        calendar = CalendarAt(*account, path);
        ASSERT_TRUE(calendar);
    }
    // Loads the server's state again, as the next refresh would.
    void Refresh() { ASSERT_EQ(R_OK, RefreshAndWait(*account, 0)); }
    std::vector<CalendarItemRecord> Series(const CStringA& guid) {
        std::vector<CalendarItemRecord> rows;
        EXPECT_EQ(R_OK, ReadSeriesRows(this->world.store.get(), guid, calendar->GetGuid(), account->GetGuid(), rows));
        return rows;
    }
    RRef<ROrvaneCalendarItem> Open(const CStringA& guid, const char* recurrenceId = "") {
        for (const CalendarItemRecord& row : Series(guid)) {
            if (row.recurrenceID == recurrenceId) {
                auto item = MakeRef<ROrvaneCalendarItem>();
                EXPECT_EQ(R_OK, item->InitFromRecord(this->world.store.get(), account.get(), row));
                return item;
            }
        }
        ADD_FAILURE() << "no row " << guid.GetString() << " " << recurrenceId;
        return nullptr;
    }
    // Saves and stores as the event dialog does.
    RResult SaveAndStore(ROrvaneCalendarItem& item) {
        const RResult saved = item.Save();
        if (saved == R_OK) {
            EXPECT_EQ(R_OK, item.StoreIfModified());
        }
        return saved;
    }

    std::string path;
    RRef<ROrvaneAccount> account;
    RRef<ROrvaneCalendar> calendar;
};

using Servers = ::testing::Types<RadicaleServer, XandikosServer>;
struct ServerNames {
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(ItemSaveEndToEnd, Servers, ServerNames);

TYPED_TEST(ItemSaveEndToEnd, NewEventsFloatingAllDayAndZonedReadBackEqual) {
    this->Prepare("New events");
    struct Case {
        const char* start;
        const char* end;
        const char* tzid;
    };
    const Case cases[] = {{"2024-06-03 09:30", "2024-06-03 10:45", ""},
                          {"2024-06-04", "2024-06-06", ""},
                          {"2024-06-05 18:00", "2024-06-05 19:00", "Europe/Berlin"},
                          {"2024-06-06 08:00", "2024-06-06 08:30", "America/New_York"},
                          // As the event dialog names a zone the store holds no definition of.
                          {"2024-06-07 08:00", "2024-06-07 09:00", "Eastern Standard Time"}};
    const CStringW awkward(u"Plan, review; sign\\off\r\nsecond line\u2028third");
    std::vector<CStringA> guids;
    for (const Case& c : cases) {
        auto item = MakeRef<ROrvaneCalendarItem>();
        ASSERT_EQ(R_OK, item->CreateNew(this->world.store.get(), this->account.get(), this->calendar.get()));
        item->SetSummary(awkward);
        item->SetLocation(CStringW(u"Room 4, \"north\"; 2nd floor"));
        item->SetDescription(CStringW(u"C:\\shared\\notes\r\n\r\nEnd."));
        item->SetDTEnd(Value("2030-01-01 00:00").get());  // far out, so the start can move anywhere before it
        item->SetDTStart(Value(c.start, c.tzid).get());
        item->SetDTEnd(Value(c.end, c.tzid).get());
        ASSERT_EQ(R_OK, this->SaveAndStore(*item)) << c.start;
        guids.push_back(item->GetGuid());
        const std::string onServer = this->Fetch(this->path + item->GetServerFileName().GetString());
        EXPECT_TRUE(Has(onServer, "UID:" + std::string(item->GetGuid()))) << onServer;
        if (*c.tzid != '\0') {
            // A server may quote a zone name that holds spaces.
            EXPECT_TRUE(Has(onServer, std::string("DTSTART;TZID=") + c.tzid) ||
                        Has(onServer, std::string("DTSTART;TZID=\"") + c.tzid + "\""))
                << onServer;
            EXPECT_TRUE(Has(onServer, std::string("TZID:") + c.tzid)) << "the zone travels with the event\n" << onServer;
        }
    }
    this->Refresh();
    for (std::size_t i = 0; i < guids.size(); ++i) {
        const auto rows = this->Series(guids[i]);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_STREQ(rows[0].dtStart, cases[i].start);
        EXPECT_STREQ(rows[0].dtEnd, cases[i].end);
        EXPECT_STREQ(rows[0].dtStartTZ, cases[i].tzid);
        auto item = this->Open(guids[i]);
        EXPECT_EQ(item->GetSummary().Str(), std::u16string(u"Plan, review; sign\\off\r\nsecond line\r\nthird"));
        EXPECT_EQ(item->GetLocation().Str(), std::u16string(u"Room 4, \"north\"; 2nd floor"));
        EXPECT_EQ(item->GetDescription().Str(), std::u16string(u"C:\\shared\\notes\r\n\r\nEnd."));
    }
    // A second refresh with nothing changed leaves every row as it is.
    const auto before = this->Series(guids[2]);
    this->Refresh();
    EXPECT_STREQ(this->Series(guids[2]).at(0).etag, before.at(0).etag);
}

TYPED_TEST(ItemSaveEndToEnd, ATabTravelsAsATabAndReadsBackAsOne) {
    this->Prepare("Tabs");
    auto item = MakeRef<ROrvaneCalendarItem>();
    ASSERT_EQ(R_OK, item->CreateNew(this->world.store.get(), this->account.get(), this->calendar.get()));
    item->SetSummary(CStringW(u"Plan\tReview"));
    item->SetDescription(CStringW(u"Path C:\\tmp\tand a tab"));
    item->SetDTEnd(Value("2024-06-03 11:00").get());
    item->SetDTStart(Value("2024-06-03 10:00").get());
    ASSERT_EQ(R_OK, this->SaveAndStore(*item));
    // RFC 5545 TEXT has no \t: other clients must get the TAB itself.
    const std::string onServer = this->Fetch(this->path + item->GetServerFileName().GetString());
    EXPECT_TRUE(Has(onServer, "SUMMARY:Plan\tReview\r\n")) << onServer;
    EXPECT_TRUE(Has(onServer, "DESCRIPTION:Path C:\\\\tmp\tand a tab\r\n")) << onServer;
    std::string file;
    ASSERT_EQ(R_OK, ReadCalendarItemFile(this->world.store.get(), item->GetServerFileName(), this->calendar->GetGuid(),
                                         this->account->GetGuid(), file));
    EXPECT_TRUE(Has(file, "SUMMARY:Plan\tReview\r\n")) << file;
    const CStringA guid = item->GetGuid();
    this->Refresh();
    auto again = this->Open(guid);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetSummary().Str(), std::u16string(u"Plan\tReview"));
    EXPECT_EQ(again->GetDescription().Str(), std::u16string(u"Path C:\\tmp\tand a tab"));
}

TYPED_TEST(ItemSaveEndToEnd, EditsKeepWhatOtherClientsWroteAndCanBeRepeatedWithoutARefresh) {
    this->Prepare("Edits");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    master->SetSummary(CStringW(u"Daily standup"));
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));
    // The stored row took the server's new tag: a second edit is not refused as out of date.
    master->SetLocation(CStringW(u"Hall"));
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));

    const std::string onServer = this->Fetch(this->path + "series-1.ics");
    for (const char* kept : {"STATUS:CONFIRMED", "CATEGORIES:Work", "CLASS:PRIVATE", "X-OTHER-CLIENT:keep me",
                             "BEGIN:VALARM", "TRIGGER:-PT10M", "X-OTHER-CLIENT:exception too",
                             "SUMMARY:Late standup"}) {
        EXPECT_TRUE(Has(onServer, kept)) << kept << "\n" << onServer;
    }
    EXPECT_TRUE(Has(onServer, "SUMMARY:Daily standup"));
    EXPECT_TRUE(Has(onServer, "LOCATION:Hall"));
    EXPECT_EQ(CountOf(onServer, "BEGIN:VEVENT"), 2) << "the master goes with its exception";
    this->Refresh();
    const auto rows = this->Series("series-1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_STREQ(rows[0].summary, "Daily standup");
    EXPECT_STREQ(rows[1].summary, "Late standup");
}

TYPED_TEST(ItemSaveEndToEnd, EverySaveIsANewRevisionAndChangedTimesRaiseTheSequence) {
    this->Prepare("Revisions");
    std::string text = kOtherClientSeries;
    const std::string rule = "RRULE:FREQ=DAILY;COUNT=10\r\n";
    text.replace(text.find(rule), rule.size(), rule + "SEQUENCE:3\r\nLAST-MODIFIED:20240102T000000Z\r\n");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", text)));
    this->Refresh();
    // The master is the first event written.
    auto masterOnServer = [this] {
        const std::string onServer = this->Fetch(this->path + "series-1.ics");
        const std::size_t begin = onServer.find("BEGIN:VEVENT");
        return onServer.substr(begin, onServer.find("END:VEVENT", begin) - begin);
    };
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char today[32];
    std::snprintf(today, sizeof today, "%04d%02d%02dT", now.wYear, now.wMonth, now.wDay);

    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    master->SetSummary(CStringW(u"Daily standup"));
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));
    std::string block = masterOnServer();
    EXPECT_TRUE(Has(block, std::string("DTSTAMP:") + today)) << block;
    EXPECT_TRUE(Has(block, std::string("LAST-MODIFIED:") + today)) << block;
    EXPECT_TRUE(Has(block, "SEQUENCE:3\r\n")) << "a new summary is no change of times\n" << block;

    master->SetDTStart(Value("2024-03-01 10:30").get());
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));
    block = masterOnServer();
    EXPECT_TRUE(Has(block, "SEQUENCE:4\r\n")) << block;
    master->SetRRule("FREQ=DAILY;COUNT=5");
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));
    block = masterOnServer();
    EXPECT_TRUE(Has(block, "SEQUENCE:5\r\n")) << block;
    EXPECT_TRUE(Has(block, std::string("DTSTAMP:") + today)) << block;
}

TYPED_TEST(ItemSaveEndToEnd, AnOccurrenceChangedAloneTravelsWithItsSeries) {
    this->Prepare("Exceptions");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    auto exception = RRef<ROrvaneCalendarItem>::Adopt(master->CreateOccurrenceException(*Value("2024-03-03 10:00")));
    ASSERT_TRUE(exception);
    exception->SetSummary(CStringW(u"Moved standup"));
    exception->SetDTStart(Value("2024-03-03 16:00").get());
    ASSERT_EQ(R_OK, this->SaveAndStore(*exception));

    const std::string onServer = this->Fetch(this->path + "series-1.ics");
    EXPECT_EQ(CountOf(onServer, "BEGIN:VEVENT"), 3) << onServer;
    EXPECT_TRUE(Has(onServer, "RECURRENCE-ID:20240303T100000"));
    EXPECT_TRUE(Has(onServer, "SUMMARY:Late standup")) << "the other exception stays";
    EXPECT_TRUE(Has(onServer, "RRULE:FREQ=DAILY;COUNT=10"));
    this->Refresh();
    const auto rows = this->Series("series-1");
    ASSERT_EQ(rows.size(), 3u);
    bool found = false;
    for (const CalendarItemRecord& row : rows) {
        if (RecurrenceIdDigits(row.recurrenceID.Str()) == "20240303T100000") {
            found = true;
            EXPECT_STREQ(row.summary, "Moved standup");
            EXPECT_STREQ(row.dtStart, "2024-03-03 16:00");
            EXPECT_STREQ(row.dtEnd, "2024-03-03 17:00");
        }
    }
    EXPECT_TRUE(found);
}

TYPED_TEST(ItemSaveEndToEnd, ThisAndFutureSplitsIntoANewResourceWithTheLaterExceptions) {
    this->Prepare("Splits");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    auto future = RRef<ROrvaneCalendarItem>::Adopt(master->SplitSeries(*Value("2024-03-04 10:00")));
    ASSERT_TRUE(future);
    future->SetSummary(CStringW(u"Standup, new room"));
    // One after the other, the earlier series first (the event dialog saves both with SaveSplit).
    ASSERT_EQ(R_OK, this->SaveAndStore(*master));
    ASSERT_EQ(R_OK, this->SaveAndStore(*future));

    const std::string old = this->Fetch(this->path + "series-1.ics");
    EXPECT_TRUE(Has(old, "RRULE:FREQ=DAILY;UNTIL=20240303T235959")) << old;
    EXPECT_EQ(CountOf(old, "BEGIN:VEVENT"), 1) << "the later exception left the old series\n" << old;
    EXPECT_TRUE(Has(old, "X-OTHER-CLIENT:keep me"));

    const std::string split = this->Fetch(this->path + future->GetServerFileName().GetString());
    EXPECT_TRUE(Has(split, "UID:" + std::string(future->GetGuid()))) << split;
    EXPECT_FALSE(Has(split, "UID:series-1"));
    EXPECT_TRUE(Has(split, "RRULE:FREQ=DAILY;UNTIL=20240310T235959"));
    EXPECT_TRUE(Has(split, "SUMMARY:Standup\\, new room"));
    EXPECT_TRUE(Has(split, "RECURRENCE-ID:20240306T100000")) << split;
    EXPECT_TRUE(Has(split, "X-OTHER-CLIENT:keep me")) << "the new series continues the received text";
    EXPECT_TRUE(Has(split, "BEGIN:VALARM"));

    this->Refresh();
    ASSERT_EQ(this->Series("series-1").size(), 1u);
    const auto moved = this->Series(future->GetGuid());
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_STREQ(moved[0].dtStart, "2024-03-04 10:00");
    EXPECT_STREQ(moved[1].summary, "Late standup");
    // Both series save again unchanged after the refresh.
    auto again = this->Open(future->GetGuid());
    again->SetSummary(CStringW(u"Standup"));
    EXPECT_EQ(R_OK, this->SaveAndStore(*again));
}

TYPED_TEST(ItemSaveEndToEnd, AMoveTakesTheWholeResourceToTheOtherCalendarOrChangesNothing) {
    this->Prepare("From");
    const std::string otherPath = this->NewCalendar("To");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    RRef<ROrvaneCalendar> other = CalendarAt(*this->account, otherPath);
    ASSERT_TRUE(other);
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    master->SetTargetCalendar(other->GetGuid());
    master->SetSummary(CStringW(u"Moved standup"));
    const RResult saved = this->SaveAndStore(*master);
    if (!TypeParam::kMoves) {
        EXPECT_EQ(saved, 405);
        EXPECT_EQ(this->Series("series-1").size(), 2u) << "a refused move changes nothing here";
        EXPECT_TRUE(Has(this->Fetch(this->path + "series-1.ics"), "SUMMARY:Standup"));
        return;
    }
    ASSERT_EQ(saved, R_OK);
    EXPECT_TRUE(this->Series("series-1").empty());
    const std::string moved = this->Fetch(otherPath + "series-1.ics");
    EXPECT_TRUE(Has(moved, "SUMMARY:Moved standup")) << moved;
    EXPECT_TRUE(Has(moved, "SUMMARY:Late standup"));
    EXPECT_TRUE(Has(moved, "X-OTHER-CLIENT:keep me"));
    EXPECT_TRUE(this->Fetch(this->path + "series-1.ics").empty());
    this->Refresh();
    std::vector<CalendarItemRecord> rows;
    ASSERT_EQ(R_OK, ReadSeriesRows(this->world.store.get(), "series-1", other->GetGuid(), this->account->GetGuid(), rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_STREQ(rows[0].summary, "Moved standup");
}

TYPED_TEST(ItemSaveEndToEnd, AMoveWhoseUploadFailsChangesNothingAndIsReported) {
    if (!TypeParam::kMoves) {
        GTEST_SKIP() << "this server does not move resources";
    }
    FeedServer peer;
    const std::string otherPath = this->NewCalendar("To");
    this->PrepareBehind(peer, "From");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    RRef<ROrvaneCalendar> other = CalendarAt(*this->account, otherPath);
    ASSERT_TRUE(other);
    // The move itself goes through; the upload of the edit into the other calendar fails.
    peer.Serve("PUT " + otherPath + "series-1.ics", {503, "busy"});
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    master->SetTargetCalendar(other->GetGuid());
    master->SetSummary(CStringW(u"Moved standup"));
    EXPECT_EQ(503, this->SaveAndStore(*master));

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "after the save" : "after a refresh");
        const std::string stayed = this->Fetch(this->path + "series-1.ics");
        EXPECT_TRUE(Has(stayed, "SUMMARY:Standup\r\n")) << stayed;
        EXPECT_TRUE(this->Fetch(otherPath + "series-1.ics").empty());
        const auto rows = this->Series("series-1");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_STREQ(rows[0].summary, "Standup");
        std::vector<CalendarItemRecord> moved;
        ASSERT_EQ(R_OK, ReadSeriesRows(this->world.store.get(), "series-1", other->GetGuid(), this->account->GetGuid(),
                                       moved));
        EXPECT_TRUE(moved.empty());
        this->Refresh();
    }
}

TYPED_TEST(ItemSaveEndToEnd, ThisAndFutureLosesNoOccurrenceWhicheverUploadFails) {
    FeedServer peer;
    this->PrepareBehind(peer, "Split failures");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    // First the new series cannot be made (an error answer), then the old one cannot be
    // shortened (the connection drops).
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(failing == 0 ? "the new series fails" : "the shortened series fails");
        auto master = this->Open("series-1");
        ASSERT_TRUE(master);
        auto future = RRef<ROrvaneCalendarItem>::Adopt(master->SplitSeries(*Value("2024-03-04 10:00")));
        ASSERT_TRUE(future);
        future->SetSummary(CStringW(u"Standup, new room"));
        const std::string newPath = this->path + future->GetServerFileName().GetString();
        if (failing == 0) {
            peer.Serve("PUT " + newPath, {500, "broken"});
        } else {
            peer.Serve("PUT " + this->path + "series-1.ics", {0, ""});
        }
        EXPECT_NE(R_OK, future->SaveSplit(*master));

        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(pass == 0 ? "after the save" : "after a refresh");
            const std::string old = this->Fetch(this->path + "series-1.ics");
            EXPECT_TRUE(Has(old, "RRULE:FREQ=DAILY;COUNT=10")) << old;
            EXPECT_TRUE(Has(old, "RECURRENCE-ID:20240306T100000")) << old;
            EXPECT_TRUE(this->Fetch(newPath).empty());
            const auto rows = this->Series("series-1");
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_STREQ(rows[0].rrule, "FREQ=DAILY;COUNT=10");
            EXPECT_TRUE(this->Series(future->GetGuid()).empty());
            this->Refresh();
        }
    }
}

TYPED_TEST(ItemSaveEndToEnd, AnEditOfAnOutdatedCopyGivesWayToTheServersVersion) {
    if (std::is_same_v<TypeParam, XandikosServer>) {
        GTEST_SKIP() << "this Xandikos accepts a PUT whose If-Match names an earlier ETag";
    }
    this->Prepare("Conflicts");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    std::string changed = kOtherClientSeries;
    changed.replace(changed.find("SUMMARY:Standup"), 15, "SUMMARY:Changed elsewhere");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", changed)));

    master->SetSummary(CStringW(u"Mine"));
    EXPECT_EQ(412, master->Save());
    EXPECT_TRUE(Has(this->Fetch(this->path + "series-1.ics"), "SUMMARY:Changed elsewhere"));
    const auto rows = this->Series("series-1");
    ASSERT_FALSE(rows.empty());
    EXPECT_STREQ(rows[0].summary, "Changed elsewhere") << "the local copy is the server's now";
}

TYPED_TEST(ItemSaveEndToEnd, SavesOnThisThreadWhileTheAccountRefreshesOnItsWorker) {
    this->Prepare("Busy");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "series-1.ics", kOtherClientSeries)));
    this->Refresh();
    auto master = this->Open("series-1");
    ASSERT_TRUE(master);
    for (int round = 0; round < 3; ++round) {
        this->account->StartRefresh(0);
        master->SetSummary(CStringW(round % 2 == 0 ? u"Round even" : u"Round odd"));
        const RResult saved = this->SaveAndStore(*master);
        // The refresh may hold the calendar for the whole wait; then nothing was sent.
        EXPECT_TRUE(saved == R_OK || saved == R_E_CALENDAR_BUSY) << saved;
        ASSERT_TRUE(ProcessEventsUntil([&] { return !this->account->IsRefreshing(); }));
    }
    this->Refresh();
    const std::string onServer = this->Fetch(this->path + "series-1.ics");
    EXPECT_TRUE(Has(onServer, "X-OTHER-CLIENT:keep me")) << onServer;
    EXPECT_EQ(CountOf(onServer, "BEGIN:VEVENT"), 2);
}

TYPED_TEST(ItemSaveEndToEnd, EventsWrittenWithADurationKeepTheirLengthThroughAnEdit) {
    this->Prepare("Durations");
    const std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other client//EN\r\nBEGIN:VEVENT\r\nUID:dur-1\r\n"
        "DTSTAMP:20240101T000000Z\r\nDTSTART:20240301T100000\r\nDURATION:PT1H30M\r\nSUMMARY:Long\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_TRUE(RSucceeded(this->Send("PUT", this->path + "dur-1.ics", text)));
    this->Refresh();
    auto item = this->Open("dur-1");
    ASSERT_TRUE(item);
    EXPECT_STREQ(item->Record().dtEnd, "2024-03-01 11:30");
    item->SetDTStart(Value("2024-03-01 14:00").get());
    ASSERT_EQ(R_OK, this->SaveAndStore(*item));
    this->Refresh();
    const auto rows = this->Series("dur-1");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_STREQ(rows[0].dtStart, "2024-03-01 14:00");
    EXPECT_STREQ(rows[0].dtEnd, "2024-03-01 15:30");
    EXPECT_EQ(CountOf(this->Fetch(this->path + "dur-1.ics"), "DURATION"), 0) << "DTEND replaces it, never both";
}
