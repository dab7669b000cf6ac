// The month view's query: the items of an account that may show between two dates, repeating
// items included when one of their occurrences (after exception replacement) lies in the range.
#include "store/ROrvaneDataManager.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/debug/DebugTrace.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesExpansion.h"
#include "store/range/SeriesRowCache.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/RowPrint.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

namespace {

// Touched guids beyond this many make the next query read the account's series rows afresh.
constexpr std::size_t kMostGuidsReadOneByOne = 200;

CStringA DateText(const RDateTime& date) {
    CStringA text;
    text.Format("%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool TextInRange(const CStringA& value, const CStringA& first, const CStringA& last) {
    return !value.IsEmpty() && value.Compare(first) >= 0 && value.Compare(last) <= 0;
}

// Whether an exception row (no rule of its own) shows in the range: its pattern, else its start.
bool ExceptionRowShows(const CalendarItemRecord& item, const RDateTime& from, const RDateTime& to,
                       const CStringA& first, const CStringA& last) {
    if (TextInRange(item.dtPatternStart, first, last) || TextInRange(item.dtPatternEnd, first, last)) {
        return true;
    }
    RDateTime start;
    start.Parse(item.dtStart);
    return CompareDateTime(start, from) >= 0 && CompareDateTime(start, to) <= 0;
}

// The condition of the account's repeating and exception rows; it repeats the series index's
// own, word for word, so that the index serves it.
CStringA SeriesRows(const CStringA& account) {
    CStringA condition;
    condition.Format("parentAccountGuid=%s and (rrule <> '' or recurrenceID <> '')", account.GetString());
    return condition;
}

// The fingerprint of a stored row: every column a record is read from, as the column rowPrint.
const char* RowPrintColumn() {
    static const std::string column = [] {
        std::string call = std::string(kRowPrintFunction) + "(";
        for (const char* name : CalendarItemColumns()) {
            call += name;
            call += ", ";
        }
        call.resize(call.size() - 2);
        return call + ") as rowPrint";
    }();
    return column.c_str();
}

// The rows of one guid of the account's series with their prints, in the order they were stored.
CStringA SeriesSelect(const CStringA& account, const char* guid) {
    CStringA sql;
    sql.Format("select *, %s from CalendarItems where %s and guid=%s order by rowid;", RowPrintColumn(),
               SeriesRows(account).GetString(), SqlQuote(guid).GetString());
    return sql;
}

// Every row, with its print, of each guid of the account's series with a row whose pattern can
// meet [first, last] (as PatternMeetsRange decides), in guid order and, within a guid, in the
// order they were stored.
CStringA SeriesReachingSelect(const CStringA& account, const CStringA& first, const CStringA& last) {
    const CStringA rows = SeriesRows(account);
    CStringA sql;
    sql.Format("select *, %s from CalendarItems where %s and guid in (select guid from CalendarItems where %s and "
               "cast(dtPatternStart as text) <= %s and (dtPatternEnd is null or cast(dtPatternEnd as text) = '' or "
               "cast(dtPatternEnd as text) >= %s)) order by guid, rowid;",
               RowPrintColumn(), rows.GetString(), rows.GetString(), SqlQuote(last).GetString(),
               SqlQuote(first).GetString());
    return sql;
}

// Every row of the account's series, its guid, pattern and print only, in the order of
// SeriesReachingSelect.
CStringA SeriesPrintSelect(const CStringA& account) {
    CStringA sql;
    sql.Format("select guid, dtPatternStart, dtPatternEnd, %s from CalendarItems where %s order by guid, rowid;",
               RowPrintColumn(), SeriesRows(account).GetString());
    return sql;
}

// A guid's print: its rows' prints, in their order.
std::uint64_t AddToPrint(std::uint64_t print, long long row) {
    return std::rotl(print, 29) * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(row) + 1;
}

// Whether a pattern from `start` to `end` (empty: without end) can meet [first, last]: it starts
// on or before the last day and does not end before the first.
bool PatternTextsMeetRange(std::string_view start, std::string_view end, std::string_view first,
                           std::string_view last) {
    return start.compare(last) <= 0 && (end.empty() || end.compare(first) >= 0);
}

// Whether a stored pattern (start null for NULL, which never meets) can meet one of the ranges.
bool MeetsAnyRange(const char* start, const char* end, const std::vector<DayRange>& ranges) {
    return start != nullptr && std::any_of(ranges.begin(), ranges.end(), [start, end](const DayRange& range) {
               return PatternTextsMeetRange(start, end != nullptr ? end : "", range.first, range.last);
           });
}

// Adds a stepped row to its guid's group (rows of one guid stay in the select's order); the
// groups' exception indexes are built once all rows are in (IndexGroups).
void AddGroupRow(const CppSQLite3Row& row, std::map<std::string, SeriesGroup>& groups) {
    SeriesRow entry;
    auto record = std::make_shared<CalendarItemRecord>();
    ReadCalendarItemRow(row, record.get(), ItemTexts::Whole);
    entry.record = std::move(record);
    entry.noPatternStart = row.fieldValue("dtPatternStart") == nullptr;
    SeriesGroup& group = groups[entry.record->guid.Str()];
    group.print = AddToPrint(group.print, row.getInt64Field("rowPrint"));
    group.rows.push_back(std::move(entry));
}

void IndexGroups(std::map<std::string, SeriesGroup>& groups) {
    for (auto& [guid, group] : groups) {
        group.IndexExceptions();
    }
}

// Appends a candidate for each row of the group, in the group's order, pattern dates copied beside them.
void AppendCandidates(SeriesGroup& group, std::vector<SeriesCandidate>& out) {
    for (SeriesRow& row : group.rows) {
        SeriesCandidate candidate;
        candidate.group = &group;
        candidate.row = &row;
        candidate.noPatternStart = row.noPatternStart;
        const std::string& start = row.record->dtPatternStart.Str();
        const std::string& end = row.record->dtPatternEnd.Str();
        candidate.copied = start.size() < SeriesCandidate::kDateRoom && end.size() < SeriesCandidate::kDateRoom &&
                           start.find('\0') == std::string::npos && end.find('\0') == std::string::npos;
        if (candidate.copied) {
            start.copy(candidate.patternStart, start.size());
            end.copy(candidate.patternEnd, end.size());
            candidate.startLength = static_cast<std::uint8_t>(start.size());
            candidate.endLength = static_cast<std::uint8_t>(end.size());
        }
        out.push_back(candidate);
    }
}

// Lists every kept row of the account's series in byGuid's order.
void BuildCandidates(AccountSeries& series) {
    series.candidates.clear();
    for (auto& [guid, group] : series.byGuid) {
        AppendCandidates(group, series.candidates);
    }
    series.candidatesBuilt = true;
}

// Puts the rows of one guid, read again, in place of its old ones, and their candidates where
// the old ones were, so that the list keeps byGuid's order without being built afresh.
void ReplaceGroup(AccountSeries& series, const std::string& guid, std::map<std::string, SeriesGroup>& reread) {
    auto& candidates = series.candidates;
    // The candidates of a guid are adjacent, ordered as byGuid's keys are.
    const auto keyOf = [](const SeriesCandidate& candidate) -> const std::string& {
        return candidate.row->record->guid.Str();
    };
    const auto from = std::lower_bound(candidates.begin(), candidates.end(), guid,
                                       [&keyOf](const SeriesCandidate& c, const std::string& key) { return keyOf(c) < key; });
    const auto to = std::upper_bound(from, candidates.end(), guid,
                                     [&keyOf](const std::string& key, const SeriesCandidate& c) { return key < keyOf(c); });
    const auto at = candidates.erase(from, to) - candidates.begin();
    series.byGuid.erase(guid);
    IndexGroups(reread);
    series.byGuid.merge(reread);
    if (const auto group = series.byGuid.find(guid); group != series.byGuid.end()) {
        std::vector<SeriesCandidate> added;
        AppendCandidates(group->second, added);
        candidates.insert(candidates.begin() + at, added.begin(), added.end());
    }
}

// Whether one of the ranges holds [first, last] whole.
bool Covers(const std::vector<DayRange>& ranges, const CStringA& first, const CStringA& last) {
    return std::any_of(ranges.begin(), ranges.end(), [&first, &last](const DayRange& range) {
        return first.Compare(range.first.c_str()) >= 0 && last.Compare(range.last.c_str()) <= 0;
    });
}

// Adds a range to those covered, as one with each it overlaps: a row that can meet the joined
// range can meet one of its parts, so the kept guids stay exactly those the ranges need.
void AddCovered(std::vector<DayRange>& ranges, DayRange added) {
    const auto proper = [](const DayRange& range) { return range.first <= range.last; };
    for (auto range = ranges.begin(); range != ranges.end();) {
        if (proper(added) && proper(*range) && range->first <= added.last && added.first <= range->last) {
            added.first = std::min(added.first, range->first);
            added.last = std::max(added.last, range->last);
            range = ranges.erase(range);
        } else {
            ++range;
        }
    }
    ranges.push_back(std::move(added));
}

using RowVisitor = std::function<void(const char*, const std::function<void(const CppSQLite3Row&)>&)>;

// Marks stale each guid whose stored rows no longer print as its kept ones, each kept guid
// without stored rows, and each guid not kept of which a stored row can now meet a covered range.
// The stored rows are stepped through in guid order beside the kept groups, never read into
// records.
void FindChangedSeries(AccountSeries& series, const CStringA& account, const RowVisitor& visitRows) {
    auto kept = series.byGuid.begin();
    std::string guid;
    std::uint64_t print = 0;
    bool meets = false;
    bool any = false;
    const auto finishGuid = [&]() {
        for (; kept != series.byGuid.end() && kept->first < guid; ++kept) {
            series.stale.insert(kept->first);
        }
        if (kept != series.byGuid.end() && kept->first == guid) {
            if (kept->second.print != print) {
                series.stale.insert(guid);
            }
            ++kept;
        } else if (meets) {
            series.stale.insert(guid);
        }
    };
    visitRows(SeriesPrintSelect(account), [&](const CppSQLite3Row& row) {
        const char* rowGuid = row.getStringField("guid");
        if (!any || guid != rowGuid) {
            if (any) {
                finishGuid();
            }
            guid = rowGuid;
            print = 0;
            meets = false;
            any = true;
        }
        print = AddToPrint(print, row.getInt64Field("rowPrint"));
        meets = meets || MeetsAnyRange(row.fieldValue("dtPatternStart"), row.fieldValue("dtPatternEnd"), series.covered);
    });
    if (any) {
        finishGuid();
    }
    for (; kept != series.byGuid.end(); ++kept) {
        series.stale.insert(kept->first);
    }
}

// Whether the row's pattern can meet [first, last].
bool PatternMeetsRange(const SeriesCandidate& candidate, std::string_view first, std::string_view last) {
    if (candidate.noPatternStart) {
        return false;
    }
    if (!candidate.copied) {
        const CalendarItemRecord& record = *candidate.row->record;
        return PatternTextsMeetRange(record.dtPatternStart.AsView(), record.dtPatternEnd.AsView(), first, last);
    }
    return PatternTextsMeetRange(std::string_view(candidate.patternStart, candidate.startLength),
                                 std::string_view(candidate.patternEnd, candidate.endLength), first, last);
}

// A row's place in guid order: the guid's first 16 bytes as two numbers that compare as the
// bytes do (zeros past its end), so that most comparisons never reach the texts themselves.
struct GuidOrder {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::uint32_t index = 0;
};
constexpr std::uint32_t kNoRecord = ~0u;

GuidOrder GuidOrderOf(const std::string& guid, std::uint32_t index) {
    unsigned char head[16] = {};
    std::copy_n(guid.begin(), std::min<std::size_t>(guid.size(), sizeof head), head);
    GuidOrder order;
    for (std::size_t i = 0; i < 8; ++i) {
        order.high = order.high << 8 | head[i];
        order.low = order.low << 8 | head[i + 8];
    }
    order.index = index;
    return order;
}

// Appends one record pointer; false when memory runs out.
bool AppendRecord(ItemPointerArray*& list, CalendarItemRecord* record) {
    if (list == nullptr) {
        list = RHeapBuffer::Create(0);
        if (list == nullptr) {
            return false;
        }
    }
    // NOLINTNEXTLINE(bugprone-sizeof-expression): the list holds the record pointers themselves
    return RHeapBuffer::Append(list, reinterpret_cast<const char*>(&record), sizeof record) == 0;
}

}  // namespace

RResult ROrvaneDataManager::GetCalendarItemsInDateRange(const char* accountGuid, const RDateTime& from,
                                                        const RDateTime& to, ItemPointerArray** list) {
    if (accountGuid == nullptr || list == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    DebugTrace("ROrvaneDataManager::GetCalendarItemsInDateRange BEGIN");
    ItemPointerArray* found = nullptr;
    RResult result = R_OK;
    // Records stay owned by this call until they are handed over at the end.
    auto append = [&found, &result](CalendarItemRecord* record) {
        if (record != nullptr && AppendRecord(found, record)) {
            return;
        }
        delete record;
        result = R_E_OUT_OF_MEMORY;
    };
    try {
        // The kept rows are copied once the query is done, outside its lock.
        SharedItemList kept;
        VisitItemsInDateRange(
            accountGuid, from, to, ItemTexts::Whole,
            [&append](std::unique_ptr<CalendarItemRecord> single) { append(single.release()); },
            [&kept](const std::shared_ptr<const CalendarItemRecord>& row) { kept.push_back(row); });
        // They lie all over the heap and are read once per query: loading each, then its texts, a
        // few rows ahead of the copy hides most of the waiting for memory.
        constexpr std::size_t kRecordsAhead = 8;
        constexpr std::size_t kTextsAhead = 4;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (i + kRecordsAhead < kept.size()) {
                PrefetchCalendarItem(*kept[i + kRecordsAhead], ItemPrefetch::Record);
            }
            if (i + kTextsAhead < kept.size()) {
                PrefetchCalendarItem(*kept[i + kTextsAhead], ItemPrefetch::Texts);
            }
            append(new (std::nothrow) CalendarItemRecord(*kept[i]));
        }
    } catch (...) {
        FreeCalendarItemList(&found);
        throw;
    }

    if (found != nullptr) {
        if (*list == nullptr) {
            *list = found;
        } else if (RHeapBuffer::Append(*list, found->data, found->size) != 0) {
            FreeCalendarItemList(&found);  // nothing was handed over
            result = R_E_OUT_OF_MEMORY;
        } else {
            RHeapBuffer::Free(found);  // the records now belong to *list
        }
    }
    DebugTrace("ROrvaneDataManager::GetCalendarItemsInDateRange END");
    return result;
}

RResult ROrvaneDataManager::GetSharedItemsInDateRange(const char* accountGuid, const RDateTime& from,
                                                      const RDateTime& to, SharedItemList* rows, ItemTexts texts) {
    if (accountGuid == nullptr || rows == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    SharedItemList found;
    RResult result = R_OK;
    VisitItemsInDateRange(
        accountGuid, from, to, texts,
        [&found, &result](std::unique_ptr<CalendarItemRecord> single) {
            if (!single) {
                result = R_E_OUT_OF_MEMORY;
                return;
            }
            found.emplace_back(std::move(single));
        },
        [&found](const std::shared_ptr<const CalendarItemRecord>& kept) { found.push_back(kept); });
    rows->insert(rows->end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return result;
}

void ROrvaneDataManager::VisitItemsInDateRange(
    const char* accountGuid, const RDateTime& from, const RDateTime& to, ItemTexts singleTexts,
    const std::function<void(std::unique_ptr<CalendarItemRecord>)>& single,
    const std::function<void(const std::shared_ptr<const CalendarItemRecord>&)>& kept) {
    const CStringA first = DateText(from);
    const CStringA last = DateText(to);
    const CStringA account = SqlQuote(accountGuid);

    // Single items whose pattern starts in the range. The select asks only for rows the
    // filter below can keep, so its cost follows the range, not the size of the store. The
    // rows come in the index's order and are put in guid order here: sorting pointers costs far
    // less than SQLite's sorter copying whole rows, their texts included.
    CStringA sql;
    sql.Format(
        "select %s from CalendarItems where parentAccountGuid=%s and dtPatternStart>=%s and dtPatternStart<=%s and "
        "(rrule is null or rrule = '') and (recurrenceID is null or recurrenceID = '');",
        singleTexts == ItemTexts::Whole ? "*" : DrawingColumns(), account.GetString(), SqlQuote(first).GetString(),
        SqlQuote(last).GetString());
    // The rows are read as they are stepped, never held twice.
    std::vector<std::unique_ptr<CalendarItemRecord>> singles;
    bool outOfMemory = false;
    VisitRows(sql, [&](const CppSQLite3Row& row) {
        const char* patternEnd = row.getStringField("dtPatternEnd");
        if (*patternEnd != '\0' && first.Compare(patternEnd) > 0) {
            return;
        }
        std::unique_ptr<CalendarItemRecord> record(new (std::nothrow) CalendarItemRecord);
        if (!record) {
            outOfMemory = true;
            return;
        }
        ReadCalendarItemRow(row, record.get(), singleTexts);
        singles.push_back(std::move(record));
    });
    // Bytewise, as the column's collation compares; rows of one guid keep the index's order.
    std::vector<GuidOrder> order;
    order.reserve(singles.size());
    for (std::size_t i = 0; i < singles.size(); ++i) {
        order.push_back(GuidOrderOf(singles[i]->guid.Str(), static_cast<std::uint32_t>(i)));
    }
    std::sort(order.begin(), order.end(), [&singles](const GuidOrder& left, const GuidOrder& right) {
        if (left.high != right.high || left.low != right.low) {
            return left.high != right.high ? left.high < right.high : left.low < right.low;
        }
        if (const int compared = singles[left.index]->guid.Str().compare(singles[right.index]->guid.Str());
            compared != 0) {
            return compared < 0;
        }
        return left.index < right.index;
    });
    // One record per guid: the first of each run of equal guids.
    for (std::size_t i = order.size(); i-- > 1;) {
        if (singles[order[i].index]->guid == singles[order[i - 1].index]->guid) {
            order[i].index = kNoRecord;
        }
    }
    for (const GuidOrder& place : order) {
        if (place.index != kNoRecord) {
            single(std::move(singles[place.index]));
        }
    }
    if (outOfMemory) {
        single(nullptr);
    }

    // Repeating items and exception rows that start on or before the range's last day.
    // Every exception row of the account is at hand besides: one moved here from a date
    // after the range still takes its occurrence's place.
    platform::MutexLock lock(seriesMutex);
    const long long stamp = ForeignChangeStamp();
    if (stamp < 0) {
        seriesCache->byAccount.clear();
    }
    auto [cached, fresh] = seriesCache->byAccount.try_emplace(accountGuid);
    AccountSeries& series = cached->second;
    const RowVisitor visitRows = [this](const char* sql, const std::function<void(const CppSQLite3Row&)>& visit) {
        VisitRows(sql, visit);
    };
    try {
        // A change the store did not make: read again only the guids whose stored rows differ.
        if (!fresh && series.stamp != stamp) {
            FindChangedSeries(series, account, visitRows);
        }
        series.stamp = stamp;
        // After a large write (an import, a first synchronisation) reading what the range needs
        // afresh costs less than a select per touched guid.
        if (series.stale.size() > kMostGuidsReadOneByOne) {
            series = AccountSeries{};
            series.stamp = stamp;
        }
        if (!series.candidatesBuilt) {
            BuildCandidates(series);
        }
        // The rows are read as they are stepped, never held twice.
        for (const std::string& guid : series.stale) {
            std::map<std::string, SeriesGroup> reread;
            VisitRows(SeriesSelect(account, guid.c_str()),
                      [&reread](const CppSQLite3Row& row) { AddGroupRow(row, reread); });
            ReplaceGroup(series, guid, reread);
        }
        series.stale.clear();
        // A range the kept rows may not answer: add the guids that can reach it.
        if (!Covers(series.covered, first, last)) {
            std::map<std::string, SeriesGroup> added;
            std::string guid;
            VisitRows(SeriesReachingSelect(account, first, last), [&series, &added, &guid](const CppSQLite3Row& row) {
                guid = row.getStringField("guid");
                if (series.byGuid.find(guid) == series.byGuid.end()) {
                    AddGroupRow(row, added);
                }
            });
            IndexGroups(added);
            series.byGuid.merge(added);
            AddCovered(series.covered, DayRange{first.Str(), last.Str()});
            BuildCandidates(series);
        }
    } catch (...) {
        seriesCache->byAccount.erase(cached);  // half read: read it afresh next time
        throw;
    }
    // Each row's answer holds until the range changes.
    if (series.asked == 0 || CompareDateTime(series.askedFrom, from) != 0 || CompareDateTime(series.askedTo, to) != 0) {
        if (++series.asked == 0) {  // counted round: no old answer may pass for a new one
            for (SeriesCandidate& candidate : series.candidates) {
                candidate.answeredFor = 0;
            }
            series.asked = 1;
        }
        series.askedFrom = from;
        series.askedTo = to;
    }
    const std::string_view firstText(first.GetString()), lastText(last.GetString());
    for (SeriesCandidate& candidate : series.candidates) {
        if (!PatternMeetsRange(candidate, firstText, lastText)) {
            continue;
        }
        if (candidate.answeredFor != series.asked) {
            const CalendarItemRecord& record = *candidate.row->record;
            candidate.shows = record.rrule.IsEmpty()
                                  ? ExceptionRowShows(record, from, to, first, last)
                                  : SeriesOccursInRange(record, from, to, candidate.group->ExceptionsOf(record));
            candidate.answeredFor = series.asked;
        }
        if (candidate.shows) {
            kept(candidate.row->record);
        }
    }
}

void ROrvaneDataManager::AfterWrite(bool committed, const WriteTouches& touches) {
    platform::MutexLock lock(seriesMutex);
    // A rolled-back write may have been read into the cache while it was open.
    if (!committed || touches.all) {
        seriesCache->byAccount.clear();
        return;
    }
    for (const std::string& account : touches.accounts) {
        seriesCache->byAccount.erase(account);
    }
    for (const auto& [account, guid] : touches.items) {
        if (const auto cached = seriesCache->byAccount.find(account); cached != seriesCache->byAccount.end()) {
            cached->second.stale.insert(guid);
        }
    }
}

void SeriesGroup::IndexExceptions() {
    exceptionsByCalendar.clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CalendarItemRecord& row = *rows[i].record;
        if (!row.recurrenceID.IsEmpty()) {
            exceptionsByCalendar[row.parentCalendarGuid.Str()].push_back(
                ExceptionRowIndex::Entry{static_cast<int>(i), row.recurrenceID.Str(), row.dtStart.Str()});
        }
    }
}

const std::vector<ExceptionRowIndex::Entry>* SeriesGroup::ExceptionsOf(const CalendarItemRecord& master) const {
    const auto found = exceptionsByCalendar.find(master.parentCalendarGuid.Str());
    return found != exceptionsByCalendar.end() ? &found->second : nullptr;
}

RResult ROrvaneDataManager::FreeCalendarItemList(ItemPointerArray** list) {
    if (list == nullptr || *list == nullptr) {
        return R_OK;
    }
    // Newest first: memory freed in the reverse of the order it was taken mostly merges with
    // what was freed just before, which costs the allocator far less than filling its bins.
    for (int i = ItemCount(*list); i-- > 0;) {
        delete ItemAt(*list, i);
    }
    RHeapBuffer::Free(*list);
    *list = nullptr;
    return R_OK;
}

bool ROrvaneDataManager::IsItemInList(const CalendarItemRecord& item, const ItemPointerArray* list) {
    for (int i = 0; i < ItemCount(list); ++i) {
        if (ItemAt(list, i)->guid == item.guid) {
            return true;
        }
    }
    return false;
}

bool ROrvaneDataManager::IsRecurringItemInDateRange(const CalendarItemRecord& item, const char* accountGuid,
                                                    const RDateTime& from, const RDateTime& to,
                                                    CppSQLite3Table* rows) {
    const CStringA first = DateText(from);
    const CStringA last = DateText(to);
    if (item.rrule.IsEmpty()) {
        return ExceptionRowShows(item, from, to, first, last);
    }
    if (item.dtPatternStart.Compare(last) > 0) {
        return false;
    }
    if (!item.dtPatternEnd.IsEmpty() && item.dtPatternEnd.Compare(first) < 0) {
        return false;
    }
    ExceptionRowIndex exceptions;
    if (rows != nullptr) {
        exceptions.Build(*rows, item.guid);
    } else {
        // Without rows, the exceptions are those stored in the item's calendar.
        CppSQLite3Table stored;
        SelectRows(CalendarItemsSelect(accountGuid, item.parentCalendarGuid), this, stored);
        exceptions.Build(stored, item.guid);
    }
    return SeriesOccursInRange(item, from, to, exceptions);
}

RResult ROrvaneDataManager::FindRecurrenceException(const CalendarItemRecord& master, RIcsDateTime* occurrence,
                                                     const char* accountGuid, CalendarItemRecord* out,
                                                     CppSQLite3Table* rows) {
    if (occurrence == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const char* compact = occurrence->GetCompactText();
    if (rows == nullptr) {
        return FindCalendarItem(master.guid, compact, master.parentCalendarGuid, accountGuid, out);
    }
    out->Clear();
    for (int row = 0; row < rows->numRows(); ++row) {
        rows->setRow(row);
        if (master.guid == rows->getStringField("guid") &&
            master.parentAccountGuid == rows->getStringField("parentAccountGuid") &&
            master.parentCalendarGuid == rows->getStringField("parentCalendarGuid") &&
            std::strstr(rows->getStringField("recurrenceID"), compact) != nullptr) {
            ReadCalendarItemRow(*rows, out);
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}

RResult ROrvaneDataManager::GetItemStartDateTime(RIcsDateTime* occurrence, const CalendarItemRecord& item) {
    if (occurrence == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    RDateTime start;
    start.Parse(item.dtStart);
    occurrence->dateTime.year = start.year;
    occurrence->dateTime.month = start.month;
    occurrence->dateTime.day = start.day;
    occurrence->dateTime.hour = start.hour;
    occurrence->dateTime.minute = start.minute;
    occurrence->dateTime.second = start.second;
    occurrence->ClearTextCaches();
    return R_OK;
}
