#include "tests/sync/ItemModelFixture.h"

#include <ctime>

#include "platform/core/ClockOverride.h"

namespace orvane::test {

void ItemModelFixture::SetUp() {
    store = MakeRef<ROrvaneDataManager>();
    ASSERT_EQ(R_OK, store->Open(CStringW::FromUtf8((folder.Path() / "data").string())));
    AccountRecord account;
    account.Clear();
    account.guid = kAccount;
    account.description = "Work";
    account.username = "me";
    account.password = "secret";
    store->AddAccount(&account);
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = kCalendar;
    calendar.displayName = "Home";
    ASSERT_EQ(R_OK, store->AddCalendar(kAccount, &calendar));
}

void ItemModelFixture::TearDown() { store.reset(); }

CalendarItemRecord ItemModelFixture::Row(const char* guid, const char* start, const char* end, const char* tzid,
                                         const char* rrule) {
    CalendarItemRecord row;
    row.Clear();
    row.guid = guid;
    row.parentAccountGuid = kAccount;
    row.parentCalendarGuid = kCalendar;
    row.type = "VEVENT";
    row.serverFileName = CStringA(guid) + ".ics";
    row.localFileName = row.serverFileName;
    row.etag = "\"e1\"";
    row.summary = "Standup";
    row.dtStart = start;
    row.dtStartTZ = tzid;
    row.dtEnd = end;
    row.dtEndTZ = tzid;
    row.rrule = rrule;
    row.dtStamp = "2024-01-01 00:00:00";
    row.dtCreated = "2024-01-01 00:00:00";
    row.dtLastModified = "2024-01-01 00:00:00";
    return row;
}

RRef<ROrvaneCalendarItem> ItemModelFixture::Item(const CalendarItemRecord& row) {
    auto item = MakeRef<ROrvaneCalendarItem>();
    item->Init(store.get(), nullptr, nullptr, &row);
    return item;
}

void ItemModelFixture::Store(const CalendarItemRecord& row) {
    ASSERT_EQ(R_OK, store->AddCalendarItem(row.guid, row.recurrenceID, row.parentCalendarGuid, row.parentAccountGuid,
                                           row));
}

std::vector<CalendarItemRecord> ItemModelFixture::Rows(const char* guid) {
    std::vector<CalendarItemRecord> rows;
    EXPECT_EQ(R_OK, ReadSeriesRows(store.get(), guid, kCalendar, kAccount, rows));
    return rows;
}

FixedClock::FixedClock(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    platform::SetClockOverride(std::chrono::system_clock::from_time_t(timegm(&parts)));
}

FixedClock::~FixedClock() { platform::SetClockOverride(std::nullopt); }

std::vector<std::string> Occurrences(const char* rrule, const RIcsDateTime& start, int limit) {
    std::vector<std::string> out;
    auto rule = MakeRef<RIcsRecurrence>();
    if (rule->Parse(rrule) != R_OK) {
        return out;
    }
    RRef<RIcsDateTime> current = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(start));
    while (current && static_cast<int>(out.size()) < limit) {
        out.emplace_back(current->GetDbText());
        current = RRef<RIcsDateTime>::Adopt(rule->GetNextOccurrence(current.get(), nullptr));
    }
    return out;
}

}  // namespace orvane::test
