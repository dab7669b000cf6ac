// Turning the loaded rows into the grid's occurrences: rows of switched-off accounts and
// calendars are left out, series are expanded over the visible weeks with their exceptions in
// place of the occurrences they replace, and each occurrence is filed in the cell of its date
// (in the display zone), in start order; all-day occurrences also in the all-day list.
#include <algorithm>
#include <cstring>

#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesSeed.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/month/ROrvaneMonthView.h"

namespace {

std::string SeriesKey(const CalendarItemRecord& row) {
    std::string key(row.guid.GetString());
    key += '\x1f';
    key += row.parentAccountGuid.GetString();
    key += '\x1f';
    key += row.parentCalendarGuid.GetString();
    return key;
}

bool DateInRange(const RDateTime& date, const RDateTime& first, const RDateTime& last) {
    const RDateTime day{date.year, date.month, date.day, 0, 0, 0, 0};
    return CompareDateTime(day, first) >= 0 && CompareDateTime(day, last) <= 0;
}

// A RECURRENCE-ID value ("[;TZID=zone]:digits[Z]", with or without the colon) as a value.
bool ParseRecurrenceId(const CStringA& text, RIcsDateTime& out) {
    const std::string value(text.GetString());
    const size_t colon = value.rfind(':');
    std::string digits = colon == std::string::npos ? value : value.substr(colon + 1);
    std::string zone;
    const size_t tzid = value.find("TZID=");
    if (tzid != std::string::npos && colon != std::string::npos && tzid < colon) {
        zone = value.substr(tzid + 5, colon - tzid - 5);
        const size_t semicolon = zone.find(';');
        if (semicolon != std::string::npos) zone.resize(semicolon);
        if (zone.size() >= 2 && zone.front() == '"' && zone.back() == '"') zone = zone.substr(1, zone.size() - 2);
    }
    if (!digits.empty() && (digits.back() == 'Z' || digits.back() == 'z')) {
        digits.pop_back();
        zone = "Z";
    }
    if (digits.size() < 8) return false;
    out.SetFromIcs(zone.c_str(), digits.c_str());
    return out.dateTime.year != 0;
}

bool SameInstant(const RIcsDateTime& a, const RIcsDateTime& b) {
    SYSTEMTIME ua{}, ub{};
    if (ItemTimeToUtc(&ua, &a) != R_OK || ItemTimeToUtc(&ub, &b) != R_OK) return false;
    return CompareSystemTime(ua, ub) == 0;
}

void SortKeyOf(const SYSTEMTIME& time, std::uint8_t key[16]) { std::memcpy(key, &time, 16); }

SYSTEMTIME FromSortKey(const std::uint8_t* key) {
    SYSTEMTIME time;
    std::memcpy(&time, key, 16);
    return time;
}

}  // namespace

RResult SetDateFromRecord(const CalendarItemRecord& row, RIcsDateTime* time) {
    if (time == nullptr) return R_E_INVALID_ARGUMENT;
    time->dateTime.Parse(row.dtStart);
    time->ClearTextCaches();
    return R_OK;
}

int CompareItemStart(ROrvaneCalendarItem* a, ROrvaneCalendarItem* b) {
    const int verdict = CompareSystemTime(FromSortKey(a->GetOccurrenceSortKey()), FromSortKey(b->GetOccurrenceSortKey()));
    return verdict < 0 ? -1 : verdict > 0 ? 1 : 0;
}

int CompareItemSpan(ROrvaneCalendarItem* a, ROrvaneCalendarItem* b) {
    const double spanA = a->GetDurationDays(), spanB = b->GetDurationDays();
    return spanB > spanA ? 1 : spanB < spanA ? -1 : 0;
}

RRef<ROrvaneAccount> ROrvaneMonthView::CachedAccount(const CStringA& guid) {
    if (!accountManager_) return nullptr;
    if (!placing_) return accountManager_->FindAccountByGuid(guid);
    const std::string key(guid.GetString());
    auto found = accountCache_.find(key);
    if (found == accountCache_.end()) found = accountCache_.emplace(key, accountManager_->FindAccountByGuid(guid)).first;
    return found->second;
}

bool ROrvaneMonthView::RowIsShown(const CalendarItemRecord& row) {
    RRef<ROrvaneAccount> account = CachedAccount(row.parentAccountGuid);
    if (!account) return true;  // rows of unknown accounts are shown
    if (!account->GetEnabled()) return false;
    RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid(row.parentCalendarGuid);
    return !calendar || calendar->GetEnabled();
}

void ROrvaneMonthView::IndexExceptionRows() {
    exceptionRows_.clear();
    for (int i = 0; i < ItemCount(loaded_); ++i) {
        const CalendarItemRecord* row = ItemAt(loaded_, i);
        if (row != nullptr && !row->recurrenceID.IsEmpty()) exceptionRows_[SeriesKey(*row)].push_back(row);
    }
}

void ROrvaneMonthView::DistributeItems() {
    allDay_.clear();
    if (loaded_ == nullptr) return;
    placing_ = true;
    accountCache_.clear();
    IndexExceptionRows();
    for (int i = 0; i < ItemCount(loaded_); ++i) {
        const CalendarItemRecord* row = ItemAt(loaded_, i);
        if (row != nullptr && RowIsShown(*row)) PlaceItem(*row);
    }
    exceptionRows_.clear();
    accountCache_.clear();
    placing_ = false;
}

void ROrvaneMonthView::PlaceItem(const CalendarItemRecord& row) {
    if (row.rrule.IsEmpty()) {
        if (!row.recurrenceID.IsEmpty()) return;  // shown through its master's expansion
        RDateTime start;
        start.Parse(row.dtStart);
        AddOccurrence(start, nullptr, row);
        return;
    }
    ExpandSeries(row);
}

RResult ROrvaneMonthView::ResolveOccurrenceOverride(RIcsDateTime* occurrence, const CalendarItemRecord& master,
                                                    const CStringA& accountGuid, CalendarItemRecord* exceptionOut) {
    if (occurrence == nullptr || exceptionOut == nullptr) return R_E_INVALID_ARGUMENT;
    if (loaded_ == nullptr) {
        if (!dataManager_) return STG_E_PATHNOTFOUND;
        return dataManager_->FindRecurrenceException(master, occurrence, accountGuid, exceptionOut, nullptr);
    }
    exceptionOut->Clear();
    const std::vector<const CalendarItemRecord*>* rows = nullptr;
    std::vector<const CalendarItemRecord*> scanned;
    if (placing_) {
        const auto found = exceptionRows_.find(SeriesKey(master));
        if (found == exceptionRows_.end()) return STG_E_PATHNOTFOUND;
        rows = &found->second;
    } else {
        for (int i = 0; i < ItemCount(loaded_); ++i) {
            const CalendarItemRecord* row = ItemAt(loaded_, i);
            if (row != nullptr && !row->recurrenceID.IsEmpty() && row->guid == master.guid &&
                row->parentAccountGuid == master.parentAccountGuid &&
                row->parentCalendarGuid == master.parentCalendarGuid) {
                scanned.push_back(row);
            }
        }
        rows = &scanned;
    }
    const std::string key(occurrence->GetIcsValue(false));
    for (const CalendarItemRecord* row : *rows) {
        if (std::strstr(row->recurrenceID.GetString(), key.c_str()) != nullptr) {
            exceptionOut->Assign(*row);
            return R_OK;
        }
    }
    // A RECURRENCE-ID written in UTC or another zone names the occurrence at the same instant.
    if (!occurrence->dateOnly) {
        RIcsDateTime inSeriesZone;
        inSeriesZone.dateTime = occurrence->dateTime;
        inSeriesZone.SetTzid(master.dtStartTZ);
        for (const CalendarItemRecord* row : *rows) {
            RIcsDateTime written;
            if (ParseRecurrenceId(row->recurrenceID, written) && !written.dateOnly && SameInstant(inSeriesZone, written)) {
                exceptionOut->Assign(*row);
                return R_OK;
            }
        }
    }
    return STG_E_PATHNOTFOUND;
}

void ROrvaneMonthView::ExpandSeries(const CalendarItemRecord& row) {
    RRef<RIcsRecurrence> rule = RRef<RIcsRecurrence>::Adopt(new (std::nothrow) RIcsRecurrence);
    if (!rule) return;
    rule->Parse(row.rrule);
    if (!row.exDates.IsEmpty()) rule->SetExDatesFromLines(row.exDates);

    // A day before the grid: an occurrence of the day before may fall on its first day in the
    // display zone.
    RDateTime from = firstDate_;
    from.PreviousDay();
    RRef<RIcsDateTime> lowerBound = RRef<RIcsDateTime>::Adopt(new (std::nothrow) RIcsDateTime);
    RRef<RIcsDateTime> current = RRef<RIcsDateTime>::Adopt(new (std::nothrow) RIcsDateTime);
    if (!lowerBound || !current) return;
    lowerBound->dateTime = RDateTime{from.year, from.month, from.day, 0, 0, 0, 0};
    current->dateOnly = row.dtStart.GetLength() < 11;
    current->dateTime.Parse(row.dtStart);
    if (current->dateTime.year == 0) return;

    CalendarItemRecord exception;
    auto placeOccurrence = [&](const RIcsDateTime& given) {
        RRef<RIcsDateTime> occ = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(given));
        if (!occ) return;
        const CalendarItemRecord* toPlace = &row;
        if (ResolveOccurrenceOverride(occ.get(), row, row.parentAccountGuid, &exception) == R_OK) {
            SetDateFromRecord(exception, occ.get());
            occ->dateOnly = exception.dtStart.GetLength() < 11;
            toPlace = &exception;
        }
        const RDateTime shown = DisplayDate(occ->dateTime, occ->dateOnly, *toPlace);
        if (DateInRange(shown, firstDate_, lastDate_)) {
            AddOccurrence(occ->dateTime, toPlace == &exception ? &exception.recurrenceID : nullptr, *toPlace);
        }
        exception.Clear();
    };

    // The series' first occurrence is its start.
    placeOccurrence(*current);

    // Steps from the series' seed just before the grid rather than from its start; exceptions
    // moved into the grid from an earlier occurrence pull the seed back to that occurrence.
    RDateTime bound = from;
    const auto found = exceptionRows_.find(SeriesKey(row));
    if (found != exceptionRows_.end()) {
        for (const CalendarItemRecord* candidate : found->second) {
            RDateTime shown;
            shown.Parse(candidate->dtStart);
            RIcsDateTime original;
            if (DateInRange(shown, from, lastDate_) && ParseRecurrenceId(candidate->recurrenceID, original) &&
                CompareDateTime(original.dateTime, bound) < 0) {
                bound = RDateTime{original.dateTime.year, original.dateTime.month, original.dateTime.day, 0, 0, 0, 0};
                bound.PreviousDay();
            }
        }
    }
    SeriesSeed seed;
    if (CompareDateTime(current->dateTime, bound) < 0 && FindSeriesSeed(*rule, current->dateTime, bound, seed)) {
        current->dateTime = seed.dateTime;
        current->ClearTextCaches();
        rule->generatedCount = seed.generatedCount;
    }

    RDateTime end = lastDate_;
    end.NextDay();
    end.NextDay();  // a day past the grid's last day, for occurrences that move back in the display zone
    for (;;) {
        RRef<RIcsDateTime> next = RRef<RIcsDateTime>::Adopt(rule->GetNextOccurrence(current.get(), lowerBound.get()));
        // A rule that does not move forward ends the series instead of repeating one occurrence.
        if (!next || CompareDateTime(next->dateTime, current->dateTime) <= 0) break;
        current = next;
        placeOccurrence(*current);
        if (CompareDateTime(current->dateTime, end) > 0) break;
    }
}

RDateTime ROrvaneMonthView::DisplayDate(const RDateTime& occurrence, bool dateOnly, const CalendarItemRecord& row) {
    if (dateOnly || row.dtStartOlsonTZ.IsEmpty() || row.dtStartTZ.IsEmpty()) return occurrence;
    if (CStringW::FromUtf8(row.dtStartOlsonTZ.AsView()).CompareNoCase(zoneOlsonId_) == 0) return occurrence;
    RIcsDateTime value;
    value.dateTime = occurrence;
    value.SetTzid(row.dtStartTZ);
    RIcsDateTime* converted = nullptr;
    RDateTime shown = occurrence;
    if (ConvertItemTimeToZone(&value, &converted, zoneKey_) == R_OK && converted != nullptr) shown = converted->dateTime;
    if (converted != nullptr) converted->Release();
    return shown;
}

void ROrvaneMonthView::AddOccurrence(const RDateTime& occurrence, const CStringA* recurrenceId,
                                     const CalendarItemRecord& given) {
    CalendarItemRecord fresh;
    const CalendarItemRecord* row = &given;
    if (recurrenceId != nullptr && !recurrenceId->IsEmpty() && dataManager_ &&
        dataManager_->FindCalendarItem(given.guid, *recurrenceId, given.parentCalendarGuid, given.parentAccountGuid,
                                       &fresh) == R_OK) {
        row = &fresh;
    }
    const bool dateOnly = row->dtStart.GetLength() < 11;
    const int index = CellIndexOf(DisplayDate(occurrence, dateOnly, *row));
    if (index < 0) return;
    RRef<ROrvaneAccount> account = CachedAccount(row->parentAccountGuid);
    RRef<ROrvaneCalendarItem> item = RRef<ROrvaneCalendarItem>::Adopt(new (std::nothrow) ROrvaneCalendarItem);
    if (!item) return;
    // An item whose account or calendar is not known is placed all the same, without colour.
    if (item->InitFromRecord(dataManager_.get(), account.get(), *row) != R_OK) {
        (void)item->Init(dataManager_.get(), account.get(), nullptr, row);
    }
    item->SetOccurrenceStart(&occurrence);

    SYSTEMTIME key{};
    RIcsDateTime* start = item->GetOccurrenceStart();
    if (item->IsAllDay() || start == nullptr) {
        key.wYear = static_cast<WORD>(occurrence.year);
        key.wMonth = occurrence.month;
        key.wDay = occurrence.day;
        key.wHour = occurrence.hour;
        key.wMinute = occurrence.minute;
        key.wSecond = static_cast<WORD>(occurrence.second);
    } else if (ItemTimeToUtc(&key, start) != R_OK) {
        key = SYSTEMTIME{static_cast<WORD>(occurrence.year), occurrence.month, 0, occurrence.day, occurrence.hour,
                         occurrence.minute, static_cast<WORD>(occurrence.second), 0};
    }
    key.wDayOfWeek = 0;
    key.wMilliseconds = 0;
    std::uint8_t bytes[16];
    SortKeyOf(key, bytes);
    item->SetOccurrenceSortKey(bytes);

    auto& items = cells_[index].items;
    const auto at = std::find_if(items.begin(), items.end(), [&](const RRef<ROrvaneCalendarItem>& existing) {
        return CompareItemStart(existing.get(), item.get()) > 0;
    });
    items.insert(at, item);
    if (item->IsAllDay()) {
        const auto spanAt = std::find_if(allDay_.begin(), allDay_.end(), [&](const RRef<ROrvaneCalendarItem>& existing) {
            return CompareItemSpan(existing.get(), item.get()) > 0;
        });
        allDay_.insert(spanAt, item);
    }
}
