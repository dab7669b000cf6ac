#pragma once
// The repeating and exception rows of each account, kept between date-range queries, with the
// answer each row gave for the last range it was asked about. Finding these rows takes a select
// over the account's series, and deciding whether a series shows takes a walk over its rule; both
// are repeated only for what changed:
// - a committed write of the store names the guids it touched, and only their rows are read
//   again (and asked again) at the next query;
// - a change that the store did not make itself (another process, a statement past the store's
//   operations) is found by comparing a fingerprint of each guid's stored rows with the one its
//   kept rows were read with, and only the guids that differ are read again;
// - a rolled-back write drops everything.
// An account's series are read only as far as the ranges asked about need: the guids of which
// some row can meet one of those ranges (every row of such a guid, exceptions included).
//
// Needs its owner's lock: the store uses it only under its series lock.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/datetime/RDateTime.h"
#include "store/range/SeriesExpansion.h"
#include "store/records/CalendarItemRecord.h"

struct SeriesRow {
    std::shared_ptr<const CalendarItemRecord> record;  // never null; shared with query answers
    bool noPatternStart = false;  // the column is NULL (an empty text still counts as a start)
};

// The rows of one guid in one account, in the order the select gave them.
struct SeriesGroup {
    std::vector<SeriesRow> rows;
    // The exception rows of the group, by calendar guid (a guid may live in several calendars).
    std::unordered_map<std::string, std::vector<ExceptionRowIndex::Entry>> exceptionsByCalendar;

    // Builds exceptionsByCalendar from the rows.
    void IndexExceptions();
    const std::vector<ExceptionRowIndex::Entry>* ExceptionsOf(const CalendarItemRecord& master) const;

    // A fingerprint of the stored rows the group was read from, in their order (SeriesPrint).
    std::uint64_t print = 0;
};

// One row of byGuid in a flat list with its pattern dates beside it, so a query passes over
// the rows whose pattern misses its range without touching them.
struct SeriesCandidate {
    static constexpr std::size_t kDateRoom = 24;
    SeriesGroup* group = nullptr;
    SeriesRow* row = nullptr;
    bool noPatternStart = false;  // the row's own flag, copied
    // Whether the row shows in the range the account was asked about `answeredFor` (see
    // AccountSeries::asked; 0: never asked). Kept here, beside the dates, so that a query of the
    // same range again does not visit the row.
    std::uint32_t answeredFor = 0;
    bool shows = false;
    // The pattern texts, when both fit here whole (no NUL inside); else the row's are compared.
    bool copied = false;
    std::uint8_t startLength = 0;
    std::uint8_t endLength = 0;
    char patternStart[kDateRoom] = {};
    char patternEnd[kDateRoom] = {};
};

// A range of days, as the texts "YYYY-MM-DD" of its first and last day.
struct DayRange {
    std::string first;
    std::string last;
};

struct AccountSeries {
    std::map<std::string, SeriesGroup> byGuid;  // ordered by guid bytewise, as "order by guid" is
    std::set<std::string> stale;                // guids whose rows must be read again
    // The ranges whose series byGuid holds: every guid with a row that can meet one of them
    // (overlapping ones joined).
    std::vector<DayRange> covered;
    long long stamp = -1;  // the store's change stamp (its own writes aside) the rows belong to
    // The range last asked about, and a count that moves on whenever a different one is asked.
    RDateTime askedFrom;
    RDateTime askedTo;
    std::uint32_t asked = 0;
    // Every row of byGuid in its order: built with it; a guid read again has its own replaced in place.
    std::vector<SeriesCandidate> candidates;
    bool candidatesBuilt = false;
};

struct SeriesRowCache {
    std::unordered_map<std::string, AccountSeries> byAccount;
};
