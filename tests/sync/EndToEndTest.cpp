// A caller with no window loads accounts, refreshes them against a real server and sees every
// change arrive; its own uploads, deletes, moves and imports reach the server.
#include "tests/sync/ServerEndToEnd.h"

#include <filesystem>
#include <iterator>
#include <type_traits>

#include "ical/model/RIcsCalendar.h"
#include "platform/messages/AppMessages.h"

using namespace orvane::test;
namespace messages = platform::messages;

namespace {

std::string Event(const std::string& uid, const std::string& summary, const std::string& start = "20240102T100000Z",
                  const std::string& end = "20240102T110000Z") {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other client//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:" + start + "\r\nDTEND:" + end + "\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

RRef<RIcsCalendar> Parsed(const std::string& text) {
    auto calendar = MakeRef<RIcsCalendar>();
    EXPECT_EQ(R_OK, calendar->Parse(text.c_str()));
    return calendar;
}

// The account's calendar object whose row has `path`.
RRef<ROrvaneCalendar> CalendarAt(ROrvaneAccount& account, const std::string& path) {
    for (const RRef<ROrvaneCalendar>& calendar : account.Calendars()) {
        if (calendar->GetRecord().pathURI == path.c_str()) return calendar;
    }
    return nullptr;
}

const CalendarItemRecord* Row(const std::vector<CalendarItemRecord>& rows, const char* guid) {
    for (const CalendarItemRecord& row : rows) {
        if (row.guid == guid && row.recurrenceID.IsEmpty()) return &row;
    }
    return nullptr;
}

}  // namespace

template <typename Server>
class SyncEndToEnd : public EndToEnd<Server> {};

using Servers = ::testing::Types<RadicaleServer, XandikosServer>;
struct ServerNames {
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(SyncEndToEnd, Servers, ServerNames);

TYPED_TEST(SyncEndToEnd, RefreshBringsCalendarsAndEventsAndAnUnchangedRefreshOnlyAsksForTags) {
    const std::string path = this->NewCalendar("Work");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "one.ics", Event("one", "First"))));
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "two.ics", Event("two", "Second"))));
    RRef<ROrvaneAccount> account = this->NewAccount();
    RecordingTarget target;
    ASSERT_EQ(R_OK, RefreshAndWait(*account, target.Id()));
    // Posted at the end of the refresh: delivered by a later turn of the event loop.
    EXPECT_TRUE(ProcessEventsUntil([&] { return target.Count(messages::WM_APP_DATA_CHANGED) >= 1; }));
    EXPECT_EQ(1, target.Count(messages::WM_APP_DATA_CHANGED));
    EXPECT_EQ(1, target.Count(messages::WM_APP_CALENDARS_CHANGED));

    RRef<ROrvaneCalendar> work = CalendarAt(*account, path);
    ASSERT_TRUE(work);
    EXPECT_EQ(work->GetDisplayName(), "Work");
    auto rows = this->world.Items(*work);
    ASSERT_EQ(2u, rows.size());
    ASSERT_NE(nullptr, Row(rows, "one"));
    EXPECT_EQ(Row(rows, "one")->summary, "First");
    EXPECT_FALSE(Row(rows, "one")->etag.IsEmpty());
    // The item file is named as the row says.
    const auto file = std::filesystem::path(this->world.DataFolder()) / "Accounts" / account->GetGuid().GetString() /
                      work->GetGuid().GetString() / "one.ics";
    EXPECT_TRUE(std::filesystem::exists(file)) << file;

    // Nothing changed: one PROPFIND per calendar besides the account's own requests, no REPORT.
    int usable = 0;
    for (const auto& calendar : account->Calendars()) usable += calendar->IsUsableCalendar() ? 1 : 0;
    TempFolder logFolder("orvane-log");
    RequestLog log(logFolder.Str() + "/requests.log");
    const int before = log.Count("PROPFIND");
    ASSERT_EQ(R_OK, RefreshAndWait(*account, target.Id()));
    const int accountLevel = 3;  // principal properties twice and the calendar home's listing
    EXPECT_EQ(accountLevel + usable, log.Count("PROPFIND") - before);
    EXPECT_EQ(0, log.Count("REPORT"));
    EXPECT_EQ(2u, this->world.Items(*work).size());
}

TYPED_TEST(SyncEndToEnd, ServerSideAddsChangesDeletesAndRenamesArrive) {
    const std::string path = this->NewCalendar("Before");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "keep.ics", Event("keep", "Keep"))));
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "change.ics", Event("change", "Old text"))));
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "gone.ics", Event("gone", "Gone soon"))));
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    const CStringA guid = calendar->GetGuid();
    calendar->SetEnabled(0);  // the user's choice survives the server's rename

    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "change.ics", Event("change", "New text"))));
    ASSERT_TRUE(RSucceeded(this->Send("DELETE", path + "gone.ics")));
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "new.ics", Event("new", "Brand new"))));
    const std::string rename =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:propertyupdate xmlns:D=\"DAV:\"><D:set><D:prop>"
        "<D:displayname>After</D:displayname></D:prop></D:set></D:propertyupdate>";
    ASSERT_TRUE(RSucceeded(this->Send("PROPPATCH", path, rename, "Content-Type: application/xml")));

    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    auto rows = this->world.Items(*calendar);
    EXPECT_EQ(3u, rows.size());
    ASSERT_NE(nullptr, Row(rows, "change"));
    EXPECT_EQ(Row(rows, "change")->summary, "New text");
    EXPECT_EQ(nullptr, Row(rows, "gone"));
    EXPECT_NE(nullptr, Row(rows, "new"));
    EXPECT_EQ(calendar->GetDisplayName(), "After");
    EXPECT_EQ(calendar->GetGuid(), guid);
    EXPECT_EQ(0, calendar->GetEnabled());
}

TYPED_TEST(SyncEndToEnd, ACalendarRemovedOnTheServerLosesItsRowItemsAndFolder) {
    const std::string path = this->NewCalendar("Short-lived");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "x.ics", Event("x", "X"))));
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    const CStringA guid = calendar->GetGuid();
    const auto folder = std::filesystem::path(this->world.DataFolder()) / "Accounts" / account->GetGuid().GetString() /
                        guid.GetString();
    ASSERT_TRUE(std::filesystem::exists(folder));

    ASSERT_TRUE(RSucceeded(this->Send("DELETE", path)));
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    CalendarRecord row;
    EXPECT_NE(R_OK, this->world.store->FindCalendar(account->GetGuid(), guid, &row));
    EXPECT_FALSE(CalendarAt(*account, path));
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(0, this->world.store->GetCalendarItemCount(guid, account->GetGuid()));
}

TYPED_TEST(SyncEndToEnd, UploadsReachTheServerAndASecondEditNeedsNoRefresh) {
    const std::string path = this->NewCalendar("Uploads");
    RRef<ROrvaneAccount> account = this->NewAccount();
    // Before the first refresh no collection is attached: nothing is sent or stored.
    RRef<ROrvaneCalendar> none = account->GetDefaultCalendar();
    EXPECT_FALSE(none);
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);

    const char* uid = "up load & more@example.test";
    CStringA etag, scheduleTag;
    auto first = Parsed(Event(uid, "Version 1", "20240301T090000", "20240301T100000"));
    ASSERT_EQ(R_OK, calendar->UploadItem(first.get(), nullptr, nullptr, nullptr, &etag, &scheduleTag));
    ASSERT_FALSE(etag.IsEmpty());
    ASSERT_EQ(R_OK, calendar->StoreItemFromText(calendar->ServerFileNameForUid(uid), scheduleTag, etag,
                                                first->GetText(), false));
    // A second edit names the new tag and is accepted without a refresh in between.
    CStringA etag2;
    auto second = Parsed(Event(uid, "Version 2", "20240301T090000", "20240301T100000"));
    ASSERT_EQ(R_OK, calendar->UploadItem(second.get(), nullptr, scheduleTag, etag, &etag2, nullptr));
    EXPECT_NE(etag2, etag);
    ASSERT_EQ(R_OK, calendar->StoreItemFromText(calendar->ServerFileNameForUid(uid), "", etag2, second->GetText(), false));
    EXPECT_NE(std::string::npos, this->Fetch(path + "up load & more_example.test.ics").find("Version 2"));

    // The next syncs leave the item as it is: same name, same row, nothing fetched again.
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    TempFolder logFolder("orvane-log");
    RequestLog log(logFolder.Str() + "/requests.log");
    ASSERT_EQ(R_OK, calendar->SyncWithServer(true));
    EXPECT_EQ(0, log.Count("REPORT"));
    auto rows = this->world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].summary, "Version 2");
    EXPECT_EQ(rows[0].etag, etag2);

    // An upload with a stale tag gets 412 and the server's copy replaces the local one.
    if (!TypeParam::kChecksIfMatch) return;
    auto stale = Parsed(Event(uid, "Stale edit", "20240301T090000", "20240301T100000"));
    EXPECT_EQ(412, calendar->UploadItem(stale.get(), nullptr, nullptr, etag));
    rows = this->world.Items(*calendar);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(rows[0].summary, "Version 2");
}

TYPED_TEST(SyncEndToEnd, DeletesRemoveTheResourceTheRowsAndTheFile) {
    const std::string path = this->NewCalendar("Deletes");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", path + "bye.ics", Event("bye", "Bye"))));
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    ASSERT_EQ(1u, this->world.Items(*calendar).size());
    const auto file = std::filesystem::path(this->world.DataFolder()) / "Accounts" / account->GetGuid().GetString() /
                      calendar->GetGuid().GetString() / "bye.ics";
    ASSERT_TRUE(std::filesystem::exists(file));

    ASSERT_EQ(R_OK, calendar->DeleteItemOnServer("bye.ics"));
    EXPECT_TRUE(this->Fetch(path + "bye.ics").empty());
    EXPECT_EQ(0u, this->world.Items(*calendar).size());
    EXPECT_FALSE(std::filesystem::exists(file));
}

TYPED_TEST(SyncEndToEnd, AMoveChangesTheStoreOnlyWhenTheServerMoved) {
    const std::string from = this->NewCalendar("From");
    const std::string to = this->NewCalendar("To");
    ASSERT_TRUE(RSucceeded(this->Send("PUT", from + "m.ics", Event("m", "Moving"))));
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> source = CalendarAt(*account, from);
    RRef<ROrvaneCalendar> target = CalendarAt(*account, to);
    ASSERT_TRUE(source && target);

    const RResult moved = source->MoveItemOnServer("m.ics", (to + "m.ics").c_str(), target.get());
    if (TypeParam::kMoves) {
        ASSERT_TRUE(RSucceeded(moved)) << moved;
        EXPECT_EQ(0u, this->world.Items(*source).size());
        ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
        EXPECT_EQ(1u, this->world.Items(*target).size());
        EXPECT_EQ(0u, this->world.Items(*source).size());
    } else {
        EXPECT_EQ(405, moved);
        EXPECT_EQ(1u, this->world.Items(*source).size());
        EXPECT_FALSE(this->Fetch(from + "m.ics").empty());
    }
}

TYPED_TEST(SyncEndToEnd, AnImportedFileWithSeveralEventsPutsEveryEventOnTheServer) {
    const std::string path = this->NewCalendar("Imports");
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    const std::string file = this->world.folder.Str() + "/holidays.ics";
    std::ofstream(file) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Exporter//EN\r\n"
                           "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
                           "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
                           "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nTZOFFSETFROM:+0100\r\n"
                           "TZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
                           "BEGIN:VEVENT\r\nUID:h1\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;VALUE=DATE:20241225\r\n"
                           "SUMMARY:Christmas\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:h2\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Europe/Berlin:20241003T090000\r\n"
                           "DTEND;TZID=Europe/Berlin:20241003T100000\r\nSUMMARY:Unity day\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:h3\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240501T080000Z\r\n"
                           "DTEND:20240501T090000Z\r\nSUMMARY:May day\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, calendar->ImportIcsFile(CStringW::FromUtf8(file)));
    for (const char* uid : {"h1", "h2", "h3"}) {
        EXPECT_NE(std::string::npos, this->Fetch(path + uid + ".ics").find(uid)) << uid;
    }
    auto rows = this->world.Items(*calendar);
    EXPECT_EQ(3u, rows.size());
    // The next sync finds the stored tags equal to the server's: nothing is fetched again.
    TempFolder logFolder("orvane-log");
    RequestLog log(logFolder.Str() + "/requests.log");
    ASSERT_EQ(R_OK, calendar->SyncWithServer(true));
    EXPECT_EQ(0, log.Count("REPORT"));
    EXPECT_EQ(3u, this->world.Items(*calendar).size());
}

TYPED_TEST(SyncEndToEnd, AFileThatIsNotUtf8IsStoredAndSentAsTheSameText) {
    const std::string path = this->NewCalendar("Imports");
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    // Latin-1 / Windows-1252 bytes: e-acute, u-umlaut and the euro sign (0x80).
    const std::string file = this->world.folder.Str() + "/latin1.ics";
    std::ofstream(file, std::ios::binary) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Exporter//EN\r\n"
                                             "BEGIN:VEVENT\r\nUID:latin1\r\nDTSTAMP:20240101T000000Z\r\n"
                                             "DTSTART:20240501T080000Z\r\nDTEND:20240501T090000Z\r\n"
                                             "SUMMARY:Caf\xe9 M\xfcller \x80 5\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(R_OK, calendar->ImportIcsFile(CStringW::FromUtf8(file)));
    const std::string summary = "Caf\xc3\xa9 M\xc3\xbcller \xe2\x82\xac 5";
    const auto rows = this->world.Items(*calendar);
    const CalendarItemRecord* row = Row(rows, "latin1");
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(summary, row->summary.Str());
    std::ifstream stored(std::filesystem::path(this->world.DataFolder()) / "Accounts" / account->GetGuid().GetString() /
                             calendar->GetGuid().GetString() / row->localFileName.GetString(),
                         std::ios::binary);
    const std::string storedText((std::istreambuf_iterator<char>(stored)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, storedText.find("SUMMARY:" + summary)) << storedText;
    EXPECT_NE(std::string::npos, this->Fetch(path + "latin1.ics").find("SUMMARY:" + summary));
}

TYPED_TEST(SyncEndToEnd, AnImportedToDoArrivesAndARefusedItemIsReportedWithTheServersStatus) {
    const std::string path = this->NewCalendar("Imports");
    RRef<ROrvaneAccount> account = this->NewAccount();
    ASSERT_EQ(R_OK, RefreshAndWait(*account, 0));
    RRef<ROrvaneCalendar> calendar = CalendarAt(*account, path);
    ASSERT_TRUE(calendar);
    std::string text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Exporter//EN\n";
    for (int i = 1; i <= 7; ++i) {
        text += "BEGIN:VEVENT\nUID:ev" + std::to_string(i) + "\nDTSTAMP:20240101T000000Z\nDTSTART:2024050" +
                std::to_string(i) + "T080000Z\nDTEND:2024050" + std::to_string(i) + "T090000Z\nSUMMARY:Event " +
                std::to_string(i) + "\nEND:VEVENT\n";
    }
    // Line ends as some exporters write them (LF alone), a reminder inside, no UID of its own.
    text += "BEGIN:VTODO\nDTSTAMP:20240101T000000Z\nDTSTART:20240510T080000Z\nDUE:20240512T170000Z\n"
            "SUMMARY:File the report\nPRIORITY:1\nBEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT15M\n"
            "DESCRIPTION:Report\nEND:VALARM\nEND:VTODO\nEND:VCALENDAR\n";
    const std::string file = this->world.folder.Str() + "/mixed.ics";
    std::ofstream(file, std::ios::binary) << text;
    ASSERT_EQ(R_OK, calendar->ImportIcsFile(CStringW::FromUtf8(file)));

    const auto rows = this->world.Items(*calendar);
    ASSERT_EQ(8u, rows.size());
    for (int i = 1; i <= 7; ++i) {
        const std::string uid = "ev" + std::to_string(i);
        EXPECT_NE(std::string::npos, this->Fetch(path + uid + ".ics").find("UID:" + uid)) << uid;
    }
    const CalendarItemRecord* todo = nullptr;
    for (const CalendarItemRecord& row : rows) {
        if (row.type == "VTODO") todo = &row;
    }
    ASSERT_NE(nullptr, todo);
    // The to-do is its own resource, named by the UID it was given, and keeps what the file said.
    const std::string onServer = this->Fetch(path + todo->serverFileName.GetString());
    EXPECT_NE(std::string::npos, onServer.find("BEGIN:VTODO")) << onServer;
    EXPECT_NE(std::string::npos, onServer.find("UID:" + todo->guid.Str())) << onServer;
    EXPECT_NE(std::string::npos, onServer.find("DUE:20240512T170000Z")) << onServer;
    EXPECT_NE(std::string::npos, onServer.find("PRIORITY:1")) << onServer;

    // A resource the server refuses (Radicale: an event and a to-do under one UID) is reported
    // with the server's status; the event beside it arrives and counts as arrived.
    if constexpr (!std::is_same_v<TypeParam, RadicaleServer>) return;
    const std::string clash = this->world.folder.Str() + "/clash.ics";
    std::ofstream(clash, std::ios::binary)
        << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Exporter//EN\r\n"
           "BEGIN:VEVENT\r\nUID:both\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240601T080000Z\r\nSUMMARY:Event\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:beside\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240602T080000Z\r\nSUMMARY:Beside\r\nEND:VEVENT\r\n"
           "BEGIN:VTODO\r\nUID:both\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:To-do\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    const ImportOutcome outcome = calendar->ImportIcsFileWithProgress(CStringW::FromUtf8(clash), ImportControl{});
    EXPECT_EQ(400, outcome.result);
    EXPECT_EQ(2, outcome.all);
    EXPECT_EQ(1, outcome.arrived);
    EXPECT_NE(std::string::npos, this->Fetch(path + "beside.ics").find("UID:beside"));
    EXPECT_TRUE(this->Fetch(path + "both.ics").empty());
}

TYPED_TEST(SyncEndToEnd, AnAccountDeletedDuringItsRefreshLeavesNothingBehind) {
    const std::string path = this->NewCalendar("Doomed");
    for (int i = 0; i < 30; ++i) {
        const std::string uid = "d" + std::to_string(i);
        ASSERT_TRUE(RSucceeded(this->Send("PUT", path + uid + ".ics", Event(uid, "Doomed"))));
    }
    RRef<ROrvaneAccount> account = this->NewAccount();
    const CStringA guid = account->GetGuid();
    RecordingTarget target;
    account->StartRefresh(target.Id());
    ASSERT_EQ(R_OK, this->world.manager->DeleteAccount(guid));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !account->IsRefreshing(); }));
    AccountRecord row;
    EXPECT_NE(R_OK, this->world.store->FindAccount(guid, &row));
    EXPECT_EQ(0, this->world.store->GetCalendarCount(guid));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(this->world.DataFolder()) / "Accounts" / guid.GetString()));
    EXPECT_EQ(0, account->GetLastResult());
    EXPECT_FALSE(this->world.manager->FindAccountByGuid(guid));
}
