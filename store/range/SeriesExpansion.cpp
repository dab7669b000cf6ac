#include "store/range/SeriesExpansion.h"

#include <cctype>
#include <cstring>

#include "foundation/memory/RRef.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesSeed.h"
#include "store/sqlite/CppSQLite3Table.h"

namespace {

bool InRange(const RDateTime& value, const RDateTime& from, const RDateTime& to) {
    return CompareDateTime(value, from) >= 0 && CompareDateTime(value, to) <= 0;
}

// The earliest date that an exception shown within [from, to] can come from: the smallest run
// of eight digits in its identifier, read as YYYYMMDD. An occurrence before that date shows
// outside the range, with or without its exception, so it need not be visited.
bool EarliestExceptionDate(const std::vector<ExceptionRowIndex::Entry>& entries, const RDateTime& from,
                           const RDateTime& to, RDateTime& earliest) {
    std::string smallest;
    for (const auto& entry : entries) {
        RDateTime shown;
        shown.Parse(entry.dtStart.c_str());
        if (!InRange(shown, from, to)) {
            continue;
        }
        const std::string& text = entry.recurrenceID;
        for (std::size_t i = 0; i + 8 <= text.size(); ++i) {
            bool digits = true;
            for (std::size_t j = i; j < i + 8 && digits; ++j) {
                digits = std::isdigit(static_cast<unsigned char>(text[j])) != 0;
            }
            if (digits && (smallest.empty() || text.compare(i, 8, smallest) < 0)) {
                smallest = text.substr(i, 8);
            }
        }
    }
    if (smallest.empty()) {
        return false;
    }
    earliest = RDateTime();
    earliest.year = std::stoi(smallest.substr(0, 4));
    earliest.month = static_cast<std::uint16_t>(std::stoi(smallest.substr(4, 2)));
    earliest.day = static_cast<std::uint16_t>(std::stoi(smallest.substr(6, 2)));
    return true;
}

// Where the occurrence shows: the start of the first exception row that names it, else itself.
RDateTime Shown(const RIcsDateTime& occurrence, const std::vector<ExceptionRowIndex::Entry>* entries) {
    if (entries != nullptr) {
        const char* compact = occurrence.GetCompactText();
        for (const auto& entry : *entries) {
            if (std::strstr(entry.recurrenceID.c_str(), compact) != nullptr) {
                RDateTime start;
                start.Parse(entry.dtStart.c_str());
                return start;
            }
        }
    }
    return occurrence.dateTime;
}

}  // namespace

std::string ExceptionRowIndex::Key(const char* guid, const char* accountGuid, const char* calendarGuid) {
    std::string key = guid != nullptr ? guid : "";
    key += '\x1f';
    key += accountGuid != nullptr ? accountGuid : "";
    key += '\x1f';
    key += calendarGuid != nullptr ? calendarGuid : "";
    return key;
}

void ExceptionRowIndex::Build(CppSQLite3Table& rows, const char* onlyGuid) {
    bySeries.clear();
    for (int row = 0; row < rows.numRows(); ++row) {
        rows.setRow(row);
        const char* recurrenceID = rows.getStringField("recurrenceID");
        const char* guid = rows.getStringField("guid");
        if (*recurrenceID == '\0' || (onlyGuid != nullptr && std::strcmp(guid, onlyGuid) != 0)) {
            continue;
        }
        bySeries[Key(guid, rows.getStringField("parentAccountGuid"), rows.getStringField("parentCalendarGuid"))]
            .push_back(Entry{row, recurrenceID, rows.getStringField("dtStart")});
    }
}

const std::vector<ExceptionRowIndex::Entry>* ExceptionRowIndex::Find(const CalendarItemRecord& master) const {
    const auto found = bySeries.find(Key(master.guid, master.parentAccountGuid, master.parentCalendarGuid));
    return found != bySeries.end() ? &found->second : nullptr;
}

bool SeriesOccursInRange(const CalendarItemRecord& master, const RDateTime& from, const RDateTime& to,
                         const ExceptionRowIndex& exceptions) {
    return SeriesOccursInRange(master, from, to, exceptions.Find(master));
}

bool SeriesOccursInRange(const CalendarItemRecord& master, const RDateTime& from, const RDateTime& to,
                         const std::vector<ExceptionRowIndex::Entry>* entries) {
    const auto rule = MakeRef<RIcsRecurrence>();
    // A rule that does not parse has no occurrences to step; its first one is still tested.
    static_cast<void>(rule->Parse(master.rrule));
    if (!master.exDates.IsEmpty()) {
        static_cast<void>(rule->SetExDatesFromLines(master.exDates));  // an unreadable line excludes nothing
    }
    const auto lowerBound = MakeRef<RIcsDateTime>();
    lowerBound->dateTime.year = from.year;
    lowerBound->dateTime.month = from.month;
    lowerBound->dateTime.day = from.day;

    auto current = MakeRef<RIcsDateTime>();
    current->dateTime.Parse(master.dtStart);
    current->dateOnly = master.dtStart.GetLength() < 11;
    // The occurrences carry the series' zone, so that a UTC end of the rule is compared as an instant.
    if (!current->dateOnly) {
        current->SetTzid(master.dtStartTZ.GetString());
    }

    bool found = InRange(Shown(*current, entries), from, to);
    if (!found) {
        // Occurrences before the range (and before any exception moved into it) need not be visited.
        RDateTime bound = from;
        RDateTime earliest;
        if (entries != nullptr && EarliestExceptionDate(*entries, from, to, earliest) &&
            CompareDateTime(earliest, bound) < 0) {
            bound = earliest;
        }
        SeriesSeed seed;
        if (FindSeriesSeed(*rule, current->dateTime, bound, seed)) {
            current->dateTime = seed.dateTime;
            current->ClearTextCaches();
            rule->generatedCount = seed.generatedCount;
        }
    }
    while (!found) {
        // The stepper hands over a new value with its first reference.
        auto next = RRef<RIcsDateTime>::Adopt(rule->GetNextOccurrence(current.get(), lowerBound.get()));
        if (!next || CompareDateTime(next->dateTime, current->dateTime) <= 0) {
            break;
        }
        current = std::move(next);
        // Stepping goes on from the regular occurrence, wherever its exception moved it.
        const RDateTime shown = Shown(*current, entries);
        if (InRange(shown, from, to)) {
            found = true;
        } else if (CompareDateTime(current->dateTime, to) > 0 && CompareDateTime(shown, to) > 0) {
            break;
        }
    }
    return found;
}
