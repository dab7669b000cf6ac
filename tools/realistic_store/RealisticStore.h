#pragma once
// A store shaped like a long-used calendar, for benchmarks and tests that need one: five years of
// single events, and a tenth of the items in series (most running one to three years, one in ten
// without end), each series with excluded dates (EXDATE) and one occurrence moved by an exception
// component, the way meetings collect over time. The text is the same for every call with the
// same shape, so measurements compare.
//
// The shown ranges are those of a month view in March 2026, the last full month of the data.
//
// Free functions over values; safe to call from any thread.
#include <string>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/datetime/RDateTime.h"

class ROrvaneDataManager;

struct RealisticStoreShape {
    int series = 5000;    // repeating events, each with one moved occurrence (one more item each)
    int singles = 40000;  // single events, spread evenly over the five years
    // Items in all: series * 2 + singles (50,000 with the defaults).
    int Items() const { return series * 2 + singles; }
};

// The iCalendar text of the whole store: one VCALENDAR with a VTIMEZONE, the series masters,
// their moved occurrences and the single events.
std::string RealisticCalendarText(const RealisticStoreShape& shape = {});

// Imports that text into the given calendar of an opened store (account and calendar must exist)
// and writes it as the calendar's item file; 0 or the first failure.
RResult ImportRealisticText(ROrvaneDataManager* store, const char* accountGuid, const char* calendarGuid,
                            const std::string& text);

// The same store as a synchronised calendar holds it: every series or event in a resource of its
// own on the server (server file name "<uid>.ics"), without writing 50,000 item files.
RResult FillRealisticStore(ROrvaneDataManager* store, const char* accountGuid, const char* calendarGuid,
                           const RealisticStoreShape& shape = {});

// Ranges of the data a calendar view asks for.
struct RealisticRange {
    RDateTime from;
    RDateTime to;
};
RealisticRange MonthViewRange();  // the six weeks shown for March 2026
RealisticRange WeekRange();       // one week of that month
RealisticRange FiveYearRange();   // April 2021 to March 2026: all of the data
// The six weeks shown for each month of the five years, April 2021 to March 2026.
std::vector<RealisticRange> MonthViewRanges();
