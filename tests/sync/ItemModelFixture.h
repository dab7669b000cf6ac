#pragma once
// A store in a fresh data folder with one account and one calendar row, and helpers that make
// the rows of items the way the store's import would.
#include "foundation/ResultCodes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "foundation/memory/RRef.h"
#include "store/ROrvaneDataManager.h"
#include "store/SeriesRows.h"
#include "sync/ROrvaneCalendarItem.h"
#include "tests/support/TempFolder.h"

namespace orvane::test {

class ItemModelFixture : public ::testing::Test {
protected:
    static constexpr char kAccount[] = "acc-1";
    static constexpr char kCalendar[] = "cal-1";

    void SetUp() override;
    void TearDown() override;

    // A master row (not stored) of a timed or date-only item; tzid "" is floating.
    static CalendarItemRecord Row(const char* guid, const char* start, const char* end, const char* tzid = "",
                                  const char* rrule = "");
    // An item over `row` (no account or calendar object), count 1 in the handle.
    RRef<ROrvaneCalendarItem> Item(const CalendarItemRecord& row);
    void Store(const CalendarItemRecord& row);
    std::vector<CalendarItemRecord> Rows(const char* guid);

    TempFolder folder{"orvane-items"};
    RRef<ROrvaneDataManager> store;
};

// Fixes the clock at a UTC instant for one scope (the tests run with TZ=UTC).
class FixedClock {
public:
    FixedClock(int year, int month, int day, int hour, int minute, int second);
    ~FixedClock();
};

// The wall-clock starts of a rule's occurrences from `start`, at most `limit` of them.
std::vector<std::string> Occurrences(const char* rrule, const RIcsDateTime& start, int limit = 40);

}  // namespace orvane::test
