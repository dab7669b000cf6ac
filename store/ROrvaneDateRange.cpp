// The month view's query: the items of an account that may show between two dates, repeating
// items included when one of their occurrences (after exception replacement) lies in the range.
#include "store/ROrvaneDataManager.h"

#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

#include "foundation/debug/DebugTrace.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesExpansion.h"
#include "store/range/SeriesRowCache.h"
#include "store/sqlite/CppSQLite3Exception.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

namespace {

CStringA DateText(const RDateTime& date) {
    CStringA text;
    text.Format("%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool TextInRange(const CStringA& value, const CStringA& first, const CStringA& last) {
    return !value.IsEmpty() && value.Compare(first) >= 0 && value.Compare(last) <= 0;
}

// The fields that decide whether a repeating item or exception row shows; the whole row is
// read only for the rows that are kept.
void ReadRangeFields(const CppSQLite3Table& rows, CalendarItemRecord& record) {
    record.guid = rows.getStringField("guid");
    record.parentAccountGuid = rows.getStringField("parentAccountGuid");
    record.parentCalendarGuid = rows.getStringField("parentCalendarGuid");
    record.dtStart = rows.getStringField("dtStart");
    record.dtPatternStart = rows.getStringField("dtPatternStart");
    record.dtPatternEnd = rows.getStringField("dtPatternEnd");
    record.rrule = rows.getStringField("rrule");
    record.recurrenceID = rows.getStringField("recurrenceID");
    record.exDates = rows.getStringField("exDates");
}

// Appends one record pointer; false when memory runs out.
bool AppendRecord(ItemPointerArray*& list, CalendarItemRecord* record) {
    if (list == nullptr) {
        list = RHeapBuffer::Create(0);
        if (list == nullptr) {
            return false;
        }
    }
    return RHeapBuffer::Append(list, reinterpret_cast<const char*>(&record), sizeof record) == 0;
}

}  // namespace

RResult ROrvaneDataManager::GetCalendarItemsInDateRange(const char* accountGuid, const RDateTime& from,
                                                        const RDateTime& to, ItemPointerArray** list) {
    if (accountGuid == nullptr || list == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    DebugTrace("ROrvaneDataManager::GetCalendarItemsInDateRange BEGIN");
    const CStringA first = DateText(from);
    const CStringA last = DateText(to);
    const CStringA account = SqlQuote(accountGuid);
    ItemPointerArray* found = nullptr;
    RResult result = R_OK;
    // Records stay owned by this call until they are handed over at the end.
    auto keep = [&found, &result](const CppSQLite3Table& rows) {
        CalendarItemRecord* record = new (std::nothrow) CalendarItemRecord;
        if (record != nullptr) {
            ReadCalendarItemRow(rows, record);
            if (AppendRecord(found, record)) {
                return;
            }
            delete record;
        }
        result = R_E_OUT_OF_MEMORY;
    };

    try {
        // Single items whose pattern starts in the range. The select asks only for rows the
        // filter below can keep, so its cost follows the range, not the size of the store.
        CStringA sql;
        sql.Format(
            "select * from CalendarItems where parentAccountGuid=%s and dtPatternStart>=%s and dtPatternStart<=%s and "
            "(rrule is null or rrule = '') and (recurrenceID is null or recurrenceID = '') order by 1;",
            account.GetString(), SqlQuote(first).GetString(), SqlQuote(last).GetString());
        CppSQLite3Table single;
        SelectRows(sql, this, single);
        for (int row = 0; row < single.numRows(); ++row) {
            single.setRow(row);
            const CStringA patternEnd = single.getStringField("dtPatternEnd");
            if (!patternEnd.IsEmpty() && patternEnd.Compare(first) < 0) {
                continue;
            }
            CalendarItemRecord probe;
            probe.guid = single.getStringField("guid");
            if (IsItemInList(probe, found)) {
                continue;  // one record per guid
            }
            keep(single);
        }

        // Repeating items and exception rows that start on or before the range's last day.
        // Every exception row of the account is at hand besides: one moved here from a date
        // after the range still takes its occurrence's place.
        std::lock_guard<std::mutex> lock(seriesMutex);
        const long long stamp = ForeignChangeStamp();
        for (auto entry = seriesCache->byAccount.begin(); entry != seriesCache->byAccount.end();) {
            entry = entry->second.stamp != stamp || stamp < 0 ? seriesCache->byAccount.erase(entry) : std::next(entry);
        }
        auto cached = seriesCache->byAccount.find(accountGuid);
        if (cached == seriesCache->byAccount.end()) {
            SeriesRows fresh;
            sql.Format(
                "select * from CalendarItems where parentAccountGuid=%s and (rrule <> '' or recurrenceID <> '') "
                "order by 1;",
                account.GetString());
            SelectRows(sql, this, fresh.rows);
            fresh.exceptions.Build(fresh.rows, nullptr);
            // Stamped with the value read before the select: a change made meanwhile makes the
            // next query fetch again.
            fresh.stamp = stamp;
            cached = seriesCache->byAccount.emplace(accountGuid, std::move(fresh)).first;
        }
        CppSQLite3Table& series = cached->second.rows;
        const ExceptionRowIndex& exceptions = cached->second.exceptions;
        for (int row = 0; row < series.numRows(); ++row) {
            series.setRow(row);
            const char* patternStart = series.fieldValue("dtPatternStart");
            if (patternStart == nullptr || std::strcmp(patternStart, last) > 0) {
                continue;
            }
            const CStringA patternEnd = series.getStringField("dtPatternEnd");
            if (!patternEnd.IsEmpty() && patternEnd.Compare(first) < 0) {
                continue;
            }
            CalendarItemRecord record;
            ReadRangeFields(series, record);
            bool shows = false;
            if (record.rrule.IsEmpty()) {
                shows = IsRecurringItemInDateRange(record, accountGuid, from, to, &series);
            } else {
                shows = SeriesOccursInRange(record, from, to, exceptions);
            }
            if (shows) {
                series.setRow(row);
                keep(series);
            }
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

void ROrvaneDataManager::AfterWrite(bool committed, const WriteTouches& touches) {
    std::lock_guard<std::mutex> lock(seriesMutex);
    // A rolled-back write may have been read into the cache while it was open.
    if (!committed || touches.all) {
        seriesCache->byAccount.clear();
        return;
    }
    for (const std::string& account : touches.accounts) {
        seriesCache->byAccount.erase(account);
    }
    for (const auto& [account, guid] : touches.items) {
        seriesCache->byAccount.erase(account);
    }
}

RResult ROrvaneDataManager::FreeCalendarItemList(ItemPointerArray** list) {
    if (list == nullptr || *list == nullptr) {
        return R_OK;
    }
    for (int i = 0; i < ItemCount(*list); ++i) {
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
        // An exception row: its own pattern, else its start.
        if (TextInRange(item.dtPatternStart, first, last) || TextInRange(item.dtPatternEnd, first, last)) {
            return true;
        }
        RDateTime start;
        start.Parse(item.dtStart);
        return CompareDateTime(start, from) >= 0 && CompareDateTime(start, to) <= 0;
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
