#include "tools/realistic_store/RealisticStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "foundation/memory/RRef.h"
#include "ical/model/RIcsCalendar.h"
#include "store/ROrvaneDataManager.h"

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// The zone every third series is given in; the others are floating or UTC.
constexpr char kZone[] =
    "BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\n"
    "BEGIN:DAYLIGHT\r\nTZNAME:CEST\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZNAME:CET\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// The data covers five years, April 2021 to March 2026: kDays days from kFirstDay.
constexpr sys_days kFirstDay{std::chrono::year{2021} / 4 / 1};
constexpr int kDays = 1826;

enum class Kind { Weekly, WeekdaysMwf, EveryOtherDay, SecondTuesday, Monthly, Fortnightly };
constexpr Kind kKinds[] = {Kind::Weekly,        Kind::WeekdaysMwf, Kind::Weekly,      Kind::EveryOtherDay,
                           Kind::SecondTuesday, Kind::Monthly,     Kind::Fortnightly, Kind::Weekly};

sys_days SecondTuesdayOf(std::chrono::year_month month) {
    const sys_days first{month / 1};
    const unsigned toTuesday = (std::chrono::Tuesday - std::chrono::weekday{first}).count();
    return first + days{toTuesday + 7};
}

// The k-th occurrence (0 = the first) of a series of the kind starting on `start`.
sys_days Occurrence(Kind kind, sys_days start, int k) {
    switch (kind) {
        case Kind::Weekly:
        case Kind::WeekdaysMwf:  // its Mondays
            return start + days{7 * k};
        case Kind::EveryOtherDay:
            return start + days{2 * k};
        case Kind::Fortnightly:
            return start + days{14 * k};
        case Kind::SecondTuesday:
            return SecondTuesdayOf(year_month_day{start}.year() / year_month_day{start}.month() +
                                   std::chrono::months{k});
        case Kind::Monthly: {
            const year_month_day ymd{start};
            return sys_days{(ymd.year() / ymd.month() + std::chrono::months{k}) / ymd.day()};
        }
    }
    return start;
}

// The first day a series of the kind may start on, on or after `day`.
sys_days AlignStart(Kind kind, sys_days day) {
    if (kind == Kind::WeekdaysMwf) {
        return day + days{(std::chrono::Monday - std::chrono::weekday{day}).count()};
    }
    if (kind == Kind::SecondTuesday) {
        const year_month_day ymd{day};
        const sys_days here = SecondTuesdayOf(ymd.year() / ymd.month());
        return here >= day ? here : SecondTuesdayOf(ymd.year() / ymd.month() + std::chrono::months{1});
    }
    if (kind == Kind::Monthly) {
        const year_month_day ymd{day};
        return sys_days{ymd.year() / ymd.month() / std::chrono::day{std::min(28u, static_cast<unsigned>(ymd.day()))}};
    }
    return day;
}

// Steps of the kind (Occurrence's k) within `days` days.
int Steps(Kind kind, int days) {
    switch (kind) {
        case Kind::Weekly:
        case Kind::WeekdaysMwf:
            return days / 7;
        case Kind::EveryOtherDay:
            return days / 2;
        case Kind::Fortnightly:
            return days / 14;
        case Kind::SecondTuesday:
        case Kind::Monthly:
            return days / 30;
    }
    return days / 7;
}

const char* RuleOf(Kind kind) {
    switch (kind) {
        case Kind::Weekly:
            return "FREQ=WEEKLY";
        case Kind::WeekdaysMwf:
            return "FREQ=WEEKLY;BYDAY=MO,WE,FR";
        case Kind::EveryOtherDay:
            return "FREQ=DAILY;INTERVAL=2";
        case Kind::SecondTuesday:
            return "FREQ=MONTHLY;BYDAY=2TU";
        case Kind::Monthly:
            return "FREQ=MONTHLY";
        case Kind::Fortnightly:
            return "FREQ=WEEKLY;INTERVAL=2";
    }
    return "FREQ=WEEKLY";
}

// "YYYYMMDD" + "THHMMSS" (+ "Z").
std::string Stamp(sys_days day, int hour, int minute, bool utc) {
    const year_month_day ymd{day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02d%02d00%s", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), hour, minute, utc ? "Z" : "");
    return text;
}

std::string DateStamp(sys_days day) { return Stamp(day, 0, 0, false).substr(0, 8); }

// "DTSTART;TZID=...:" or "DTSTART:" as the series' zone has it.
std::string Property(const char* name, int zoneStyle) {
    return zoneStyle == 0 ? std::string(name) + ";TZID=W. Europe Standard Time:" : std::string(name) + ":";
}

void AppendCommon(std::string& text, int n) {
    static const char* const kSummaries[] = {"Team meeting",   "Review of the quarter's figures", "Lunch with Anna",
                                             "Dentist",        "Planning: next release",         "Call with the bank",
                                             "Parents' evening", "Yoga"};
    static const char* const kRooms[] = {"Room 4.12", "Main office, 2nd floor", "Online", "", "Café on the corner"};
    text += "SUMMARY:";
    text += kSummaries[n % 8];
    text += "\r\n";
    if (*kRooms[n % 5] != '\0') {
        text += "LOCATION:";
        text += kRooms[n % 5];
        text += "\r\n";
    }
    if (n % 3 == 0) {
        text += "DESCRIPTION:Agenda\\n1. Last week's notes\\n2. What is next\\, and who does it\r\n";
    }
    if (n % 4 == 0) {
        text += "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n"
                "ATTENDEE;CN=Ann;PARTSTAT=ACCEPTED:mailto:ann@example.com\r\n"
                "ATTENDEE;CN=Bob;PARTSTAT=NEEDS-ACTION:mailto:bob@example.com\r\n";
    }
    text += "DTSTAMP:20260101T120000Z\r\nSEQUENCE:1\r\n";
}

void AppendSeries(std::string& text, int i) {
    const Kind kind = kKinds[i % 8];
    // Starts spread over the five years; series begun long ago are common.
    const sys_days start = AlignStart(kind, kFirstDay + days{(i * 37) % (kDays - 30)});
    const int zoneStyle = i % 3;  // 0: in the zone, 1: floating, 2: UTC
    const bool utc = zoneStyle == 2;
    const int hour = 8 + i % 9;
    // How far the series reaches: one in ten never ends; the others run one to three years and
    // end by date or, where each step is one occurrence, by count.
    std::string rule = RuleOf(kind);
    int occurrences = Steps(kind, 4000);  // past the end of the data
    if (i % 10 != 0) {
        occurrences = std::max(4, Steps(kind, 365 * (1 + i % 3)));
        if (i % 10 < 6 || kind == Kind::WeekdaysMwf) {
            rule += ";UNTIL=" + Stamp(Occurrence(kind, start, occurrences - 1), 23, 59, true);
        } else {
            rule += ";COUNT=" + std::to_string(occurrences);
        }
    }
    text += "BEGIN:VEVENT\r\nUID:series-" + std::to_string(i) + "@bench.orvane\r\n";
    text += Property("DTSTART", zoneStyle) + Stamp(start, hour, 0, utc) + "\r\n";
    text += Property("DTEND", zoneStyle) + Stamp(start, hour + 1, 0, utc) + "\r\n";
    text += "RRULE:" + rule + "\r\n";
    // Two excluded dates: one early in the series and one in its recent past.
    for (const int k : {1, std::min(occurrences - 1, occurrences / 2 + i % 3)}) {
        text += Property("EXDATE", zoneStyle) + Stamp(Occurrence(kind, start, k), hour, 0, utc) + "\r\n";
    }
    AppendCommon(text, i);
    text += "END:VEVENT\r\n";

    // One occurrence moved a day and two hours later: half the series in their first year, the
    // other half late in the series.
    const int moved = i % 2 == 0 ? 2 : occurrences * 3 / 4;
    const sys_days movedDay = Occurrence(kind, start, moved);
    text += "BEGIN:VEVENT\r\nUID:series-" + std::to_string(i) + "@bench.orvane\r\n";
    text += Property("RECURRENCE-ID", zoneStyle) + Stamp(movedDay, hour, 0, utc) + "\r\n";
    text += Property("DTSTART", zoneStyle) + Stamp(movedDay + days{1}, hour + 2, 0, utc) + "\r\n";
    text += Property("DTEND", zoneStyle) + Stamp(movedDay + days{1}, hour + 3, 0, utc) + "\r\n";
    AppendCommon(text, i + 1);
    text += "END:VEVENT\r\n";
}

void AppendSingle(std::string& text, int n, int count) {
    // Evenly over the five years.
    const sys_days day = kFirstDay + days{static_cast<int>(static_cast<long long>(kDays) * n / count)};
    text += "BEGIN:VEVENT\r\nUID:single-" + std::to_string(n) + "@bench.orvane\r\n";
    if (n % 10 == 0) {
        text += "DTSTART;VALUE=DATE:" + DateStamp(day) + "\r\n";  // all day; DTEND follows from the date
    } else {
        const int hour = 7 + n % 12;
        text += "DTSTART:" + Stamp(day, hour, 30 * (n % 2), false) + "\r\n";
        text += "DTEND:" + Stamp(day, hour + 1, 30 * (n % 2), false) + "\r\n";
    }
    AppendCommon(text, n);
    text += "END:VEVENT\r\n";
}

RDateTime Day(int year, int month, int day, bool endOfDay) {
    RDateTime value;
    value.year = year;
    value.month = static_cast<std::uint16_t>(month);
    value.day = static_cast<std::uint16_t>(day);
    if (endOfDay) {
        value.hour = 23;
        value.minute = 59;
        value.second = 59;
    }
    return value;
}

}  // namespace

std::string RealisticCalendarText(const RealisticStoreShape& shape) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Orvane//Realistic store//EN\r\n";
    text.reserve(static_cast<std::size_t>(shape.Items()) * 420);
    text += kZone;
    for (int i = 0; i < shape.series; ++i) {
        AppendSeries(text, i);
    }
    for (int n = 0; n < shape.singles; ++n) {
        AppendSingle(text, n, shape.singles);
    }
    return text + "END:VCALENDAR\r\n";
}

RResult ImportRealisticText(ROrvaneDataManager* store, const char* accountGuid, const char* calendarGuid,
                            const std::string& text) {
    const auto calendar = MakeRef<RIcsCalendar>();
    if (const RResult parsed = calendar->Parse(text.c_str()); parsed != R_OK) {
        return parsed;
    }
    if (const RResult imported =
            store->ImportIcsCalendar(accountGuid, calendarGuid, "realistic.ics", "", "", calendar.get());
        imported != R_OK) {
        return imported;
    }
    return store->WriteCalendarItemFile(text.c_str(), "realistic.ics", calendarGuid, accountGuid);
}

RResult FillRealisticStore(ROrvaneDataManager* store, const char* accountGuid, const char* calendarGuid,
                           const RealisticStoreShape& shape) {
    if (const RResult imported = ImportRealisticText(store, accountGuid, calendarGuid, RealisticCalendarText(shape));
        imported != R_OK) {
        return imported;
    }
    // Names made of the UIDs, which hold no apostrophe; the statement goes past the store's
    // operations, so its caches start afresh.
    return ExecuteSql("update CalendarItems set serverFileName = guid || '.ics', localFileName = guid || '.ics';",
                      SQL_MODE_EXEC, store, nullptr);
}

RealisticRange WeekRange() { return {Day(2026, 3, 9, false), Day(2026, 3, 15, true)}; }
RealisticRange FiveYearRange() { return {Day(2021, 4, 1, false), Day(2026, 3, 31, true)}; }

std::vector<RealisticRange> MonthViewRanges() {
    std::vector<RealisticRange> ranges;
    for (std::chrono::year_month month = year_month_day{kFirstDay}.year() / year_month_day{kFirstDay}.month();
         ranges.size() < 60; month += std::chrono::months{1}) {
        // Six weeks from the Monday on or before the first of the month.
        const sys_days first{month / 1};
        const sys_days monday = first - days{(std::chrono::weekday{first} - std::chrono::Monday).count()};
        const year_month_day from{monday};
        const year_month_day to{monday + days{41}};
        ranges.push_back({Day(static_cast<int>(from.year()), static_cast<int>(static_cast<unsigned>(from.month())),
                              static_cast<int>(static_cast<unsigned>(from.day())), false),
                          Day(static_cast<int>(to.year()), static_cast<int>(static_cast<unsigned>(to.month())),
                              static_cast<int>(static_cast<unsigned>(to.day())), true)});
    }
    return ranges;
}

RealisticRange MonthViewRange() { return MonthViewRanges().back(); }
