#pragma once
// Whether a repeating item shows in a date range: its occurrences are stepped with its rule,
// each one shown at the start of its exception row when it has one, until one lies in the
// range or the series has passed the range's end.
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/datetime/RDateTime.h"
#include "store/records/CalendarItemRecord.h"

class CppSQLite3Table;

// The exception rows of a fetched table (rows with a recurrence identifier), by series: the
// key is guid, account guid and calendar guid; the row positions keep the table's order.
// A plain value; belongs to the thread that built it.
struct ExceptionRowIndex {
    struct Entry {
        int row;
        std::string recurrenceID;
        std::string dtStart;
    };
    std::unordered_map<std::string, std::vector<Entry>> bySeries;

    static std::string Key(const char* guid, const char* accountGuid, const char* calendarGuid);
    // Indexes every exception row, or only those of one guid when `onlyGuid` is given.
    void Build(CppSQLite3Table& rows, const char* onlyGuid);
    const std::vector<Entry>* Find(const CalendarItemRecord& master) const;
};

// True when an occurrence of the master's series (after exception replacement) lies within
// [from, to]. Ends for every rule: the stepper only moves forward and ends its series at the
// last year it supports, and a step that does not move forward ends the expansion here.
bool SeriesOccursInRange(const CalendarItemRecord& master, const RDateTime& from, const RDateTime& to,
                         const ExceptionRowIndex& exceptions);
// The same with the master's exception rows at hand (null: it has none).
bool SeriesOccursInRange(const CalendarItemRecord& master, const RDateTime& from, const RDateTime& to,
                         const std::vector<ExceptionRowIndex::Entry>* exceptions);
