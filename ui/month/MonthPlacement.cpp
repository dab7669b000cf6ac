// Turning the loaded rows into the grid's occurrences: rows of switched-off accounts and
// calendars are left out, series are expanded over the visible weeks with their exceptions in
// place of the occurrences they replace, and each occurrence is filed in the cell of its date
// (in the display zone), in start order; all-day occurrences also in the all-day list.
#include <algorithm>
#include <cstring>

#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneResolver.h"
#include "ical/value/RIcsDateTime.h"
#include "store/range/SeriesSeed.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/month/ROrvaneMonthView.h"

namespace {

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
    if (placing_) {
        const auto known = shownCalendars_.find(KeyOf(row.parentAccountGuid, row.parentCalendarGuid));
        if (known != shownCalendars_.end()) return known->second;
    }
    bool shown = true;  // rows of unknown accounts are shown
    if (RRef<ROrvaneAccount> account = CachedAccount(row.parentAccountGuid)) {
        RRef<ROrvaneCalendar> calendar;
        shown = account->GetEnabled() &&
                (!(calendar = account->FindCalendarByGuid(row.parentCalendarGuid)) || calendar->GetEnabled());
    }
    if (placing_) shownCalendars_.emplace(KeyOf(row.parentAccountGuid, row.parentCalendarGuid), shown);
    return shown;
}

const std::string& ROrvaneMonthView::KeyOf(const CStringA& a, const CStringA& b, const CStringA* c) {
    keyScratch_.assign(a.Str());
    keyScratch_ += '\x1f';
    keyScratch_ += b.Str();
    if (c != nullptr) {
        keyScratch_ += '\x1f';
        keyScratch_ += c->Str();
    }
    return keyScratch_;
}

const std::string& ROrvaneMonthView::SeriesKey(const CalendarItemRecord& row) {
    return KeyOf(row.guid, row.parentAccountGuid, &row.parentCalendarGuid);
}

RItemTimeConverter& ROrvaneMonthView::Converter(std::unique_ptr<RItemTimeConverter>& single) {
    if (converter_) return *converter_;
    single = std::make_unique<RItemTimeConverter>(zoneKey_);
    return *single;
}

ROrvaneMonthView::LoadedException ROrvaneMonthView::ReadLoadedException(const CalendarItemRecord* row,
                                                                       RItemTimeConverter& converter) {
    LoadedException entry;
    entry.row = row;
    entry.start.Parse(row->dtStart);
    RIcsDateTime written;
    entry.parsed = ParseRecurrenceId(row->recurrenceID, written);
    if (entry.parsed) {
        entry.original = written.dateTime;
        entry.timed = !written.dateOnly;
        if (entry.timed) entry.instantResult = converter.ToUtc(written, &entry.instant);
    }
    return entry;
}

void ROrvaneMonthView::IndexExceptionRows() {
    exceptionRows_.clear();
    for (const std::shared_ptr<const CalendarItemRecord>& loaded : loaded_) {
        const CalendarItemRecord* row = loaded.get();
        if (row == nullptr || row->recurrenceID.IsEmpty()) continue;
        exceptionRows_[SeriesKey(*row)].push_back(ReadLoadedException(row, *converter_));
    }
}

const CalendarItemRecord* ROrvaneMonthView::MatchException(const RIcsDateTime& occurrence,
                                                           const CalendarItemRecord& master,
                                                           const ExceptionList& exceptions) {
    // Without a zone the value's text is its compact text, written here without a text cache.
    char compact[RIcsDateTime::kCompactTextSize];
    const char* key = compact;
    if (occurrence.tzid[0] == '\0') {
        RIcsDateTime::FormatCompactText(occurrence.dateTime, occurrence.dateOnly, compact);
    } else {
        key = occurrence.GetIcsValue(false);
    }
    for (const LoadedException& entry : exceptions) {
        if (std::strstr(entry.row->recurrenceID.GetString(), key) != nullptr) return entry.row;
    }
    // A RECURRENCE-ID written in UTC or another zone names the occurrence at the same instant.
    if (occurrence.dateOnly) return nullptr;
    RIcsDateTime inSeriesZone;
    inSeriesZone.dateTime = occurrence.dateTime;
    inSeriesZone.SetTzid(master.dtStartTZ);
    SYSTEMTIME instant{};
    std::unique_ptr<RItemTimeConverter> single;
    if (Converter(single).ToUtc(inSeriesZone, &instant) != R_OK) return nullptr;
    for (const LoadedException& entry : exceptions) {
        if (entry.timed && entry.instantResult == R_OK && CompareSystemTime(entry.instant, instant) == 0) {
            return entry.row;
        }
    }
    return nullptr;
}

void ROrvaneMonthView::DistributeItems() {
    allDay_.clear();
    if (loaded_.empty()) return;
    placing_ = true;
    accountCache_.clear();
    shownCalendars_.clear();
    converter_ = std::make_unique<RItemTimeConverter>(zoneKey_);
    IndexExceptionRows();
    for (const std::shared_ptr<const CalendarItemRecord>& loaded : loaded_) {
        const CalendarItemRecord* row = loaded.get();
        if (row != nullptr && RowIsShown(*row)) PlaceItem(*row);
    }
    // A stable sort keeps occurrences with equal keys in the order they were placed.
    for (RDayCell& cell : cells_) {
        std::stable_sort(cell.placed.begin(), cell.placed.end(),
                         [](const RPlacedOccurrence& a, const RPlacedOccurrence& b) {
                             return CompareSystemTime(a.key, b.key) < 0;
                         });
    }
    exceptionRows_.clear();
    accountCache_.clear();
    shownCalendars_.clear();
    converter_.reset();
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
    if (loaded_.empty()) {
        if (!dataManager_) return STG_E_PATHNOTFOUND;
        return dataManager_->FindRecurrenceException(master, occurrence, accountGuid, exceptionOut, nullptr);
    }
    exceptionOut->Clear();
    const ExceptionList* rows = nullptr;
    ExceptionList scanned;
    if (placing_) {
        const auto found = exceptionRows_.find(SeriesKey(master));
        if (found == exceptionRows_.end()) return STG_E_PATHNOTFOUND;
        rows = &found->second;
    } else {
        std::unique_ptr<RItemTimeConverter> single;
        RItemTimeConverter& converter = Converter(single);
        for (const std::shared_ptr<const CalendarItemRecord>& loaded : loaded_) {
            const CalendarItemRecord* row = loaded.get();
            if (row != nullptr && !row->recurrenceID.IsEmpty() && row->guid == master.guid &&
                row->parentAccountGuid == master.parentAccountGuid &&
                row->parentCalendarGuid == master.parentCalendarGuid) {
                scanned.push_back(ReadLoadedException(row, converter));
            }
        }
        rows = &scanned;
    }
    const CalendarItemRecord* found = MatchException(*occurrence, master, *rows);
    if (found == nullptr) return STG_E_PATHNOTFOUND;
    exceptionOut->Assign(*found);
    return R_OK;
}

RRef<RIcsRecurrence> ROrvaneMonthView::RuleOf(const CalendarItemRecord& row) {
    auto known = rules_.find(KeyOf(row.rrule, row.exDates));
    if (known == rules_.end()) {
        RRef<RIcsRecurrence> rule = RRef<RIcsRecurrence>::Adopt(new (std::nothrow) RIcsRecurrence);
        if (!rule) return nullptr;
        rule->Parse(row.rrule);
        if (!row.exDates.IsEmpty()) rule->SetExDatesFromLines(row.exDates);
        if (rules_.size() >= kMostKeptRules) rules_.clear();
        known = rules_.emplace(KeyOf(row.rrule, row.exDates), rule).first;
    }
    // Each expansion starts as on a freshly read rule.
    RIcsRecurrence& rule = *known->second;
    if (rule.latest != nullptr) {
        rule.latest->Release();
        rule.latest = nullptr;
    }
    rule.generatedCount = 1;
    return known->second;
}

void ROrvaneMonthView::ExpandSeries(const CalendarItemRecord& row) {
    RRef<RIcsRecurrence> rule = RuleOf(row);
    if (!rule) return;

    // A day before the grid: an occurrence of the day before may fall on its first day in the
    // display zone.
    RDateTime from = firstDate_;
    from.PreviousDay();
    RIcsDateTime lowerBound;
    RIcsDateTime current;
    lowerBound.dateTime = RDateTime{from.year, from.month, from.day, 0, 0, 0, 0};
    current.dateOnly = row.dtStart.GetLength() < 11;
    current.dateTime.Parse(row.dtStart);
    if (current.dateTime.year == 0) return;

    CalendarItemRecord exception;
    const auto indexed = exceptionRows_.find(SeriesKey(row));
    const ExceptionList* exceptions = indexed != exceptionRows_.end() ? &indexed->second : nullptr;
    // The series' own timed occurrences are all in its zone: whether they need converting for
    // the display is asked once, and each converts once for both its cell and its sort key.
    const bool seriesTimed = placing_ && !current.dateOnly;
    const bool shownConverted = seriesTimed && ShownInOtherZone(row);
    RIcsDateTime zoned;
    zoned.SetTzid(row.dtStartTZ);
    RIcsDateTime occ;
    auto placeOccurrence = [&](const RIcsDateTime& given) {
        occ.CopyValueOf(given);
        const CalendarItemRecord* toPlace = &row;
        const CStringA* recurrenceId = nullptr;
        if (placing_) {
            // The loaded exception row itself is placed: it is the row the store holds.
            if (exceptions != nullptr) {
                if (const CalendarItemRecord* moved = MatchException(occ, row, *exceptions)) {
                    SetDateFromRecord(*moved, &occ);
                    occ.dateOnly = moved->dtStart.GetLength() < 11;
                    toPlace = moved;
                }
            }
        } else if (ResolveOccurrenceOverride(&occ, row, row.parentAccountGuid, &exception) == R_OK) {
            SetDateFromRecord(exception, &occ);
            occ.dateOnly = exception.dtStart.GetLength() < 11;
            toPlace = &exception;
            recurrenceId = &exception.recurrenceID;
        }
        if (seriesTimed && toPlace == &row && !occ.dateOnly) {
            zoned.dateTime = occ.dateTime;
            SYSTEMTIME key{};
            RDateTime converted;
            const bool keyed = converter_->ToUtcAndTarget(zoned, &key, &converted) == R_OK;
            const RDateTime& shown = shownConverted ? converted : occ.dateTime;
            const int index = DateInRange(shown, firstDate_, lastDate_) ? CellIndexOf(shown) : -1;
            if (index >= 0) FileOccurrence(index, &row, occ.dateTime, key, keyed, false);
            return;
        }
        const RDateTime shown = DisplayDate(occ.dateTime, occ.dateOnly, *toPlace);
        if (DateInRange(shown, firstDate_, lastDate_)) AddOccurrence(occ.dateTime, recurrenceId, *toPlace);
        if (toPlace == &exception) exception.Clear();
    };

    // The series' first occurrence is its start.
    placeOccurrence(current);

    // Steps from the series' seed just before the grid rather than from its start; exceptions
    // moved into the grid from an earlier occurrence pull the seed back to that occurrence.
    RDateTime bound = from;
    if (exceptions != nullptr) {
        for (const LoadedException& candidate : *exceptions) {
            if (DateInRange(candidate.start, from, lastDate_) && candidate.parsed &&
                CompareDateTime(candidate.original, bound) < 0) {
                bound = RDateTime{candidate.original.year, candidate.original.month, candidate.original.day, 0, 0, 0, 0};
                bound.PreviousDay();
            }
        }
    }
    SeriesSeed seed;
    if (CompareDateTime(current.dateTime, bound) < 0 && FindSeriesSeed(*rule, current.dateTime, bound, seed)) {
        current.dateTime = seed.dateTime;
        current.ClearTextCaches();
        rule->generatedCount = seed.generatedCount;
    }

    RDateTime end = lastDate_;
    end.NextDay();
    end.NextDay();  // a day past the grid's last day, for occurrences that move back in the display zone
    for (;;) {
        const RDateTime before = current.dateTime;
        // A rule that does not move forward ends the series instead of repeating one occurrence.
        if (!rule->StepToNextOccurrence(current, &lowerBound) || CompareDateTime(current.dateTime, before) <= 0) break;
        placeOccurrence(current);
        if (CompareDateTime(current.dateTime, end) > 0) break;
    }
}

bool ROrvaneMonthView::InDisplayZone(const CStringA& olsonId) {
    if (olsonId.IsEmpty()) return true;
    const std::string name(olsonId.GetString());
    const auto known = sameZone_.find(name);
    if (known != sameZone_.end()) return known->second;
    const CStringW wide = CStringW::FromUtf8(olsonId.AsView());
    bool same = wide.CompareNoCase(zoneOlsonId_) == 0;
    // Another name reads the same only when it resolves to the same rules: names under one zone
    // key may keep different rules (America/Mazatlan and America/Chihuahua).
    if (!same) {
        const std::shared_ptr<const RZoneRules> rules = ResolveZoneRules(wide);
        std::shared_ptr<const RZoneRules> shown = ResolveZoneRules(zoneOlsonId_);
        if (!shown) shown = ZoneRulesForKey(zoneKey_);
        same = rules && shown &&
               (rules == shown || (!rules->OlsonName().empty() && rules->OlsonName() == shown->OlsonName()));
    }
    sameZone_.emplace(name, same);
    return same;
}

bool ROrvaneMonthView::ShownInOtherZone(const CalendarItemRecord& row) {
    return !row.dtStartOlsonTZ.IsEmpty() && !row.dtStartTZ.IsEmpty() && !InDisplayZone(row.dtStartOlsonTZ);
}

RDateTime ROrvaneMonthView::DisplayDate(const RDateTime& occurrence, bool dateOnly, const CalendarItemRecord& row) {
    if (dateOnly || !ShownInOtherZone(row)) return occurrence;
    RIcsDateTime value;
    value.dateTime = occurrence;
    value.SetTzid(row.dtStartTZ);
    // A placement's converter knows the answer when the same occurrence is asked for again.
    std::unique_ptr<RItemTimeConverter> single;
    return Converter(single).ToTarget(value);
}

RRef<ROrvaneCalendarItem> ROrvaneMonthView::MakeItem(ROrvaneAccount* account, const CalendarItemRecord& row,
                                                     const RDateTime& occurrence) {
    RRef<ROrvaneCalendarItem> item = RRef<ROrvaneCalendarItem>::Adopt(new (std::nothrow) ROrvaneCalendarItem);
    if (!item) return nullptr;
    // An item whose account or calendar is not known is placed all the same, without colour.
    if (item->InitFromRecord(dataManager_.get(), account, row) != R_OK) {
        (void)item->Init(dataManager_.get(), account, nullptr, &row);
    }
    item->SetOccurrenceStart(&occurrence);
    return item;
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
    if (row == &fresh) {
        rereadRows_.push_back(std::make_unique<CalendarItemRecord>(std::move(fresh)));
        row = rereadRows_.back().get();
    } else if (recurrenceId != nullptr) {
        // The caller's exception row lives only as long as its expansion: the cell keeps a copy.
        rereadRows_.push_back(std::make_unique<CalendarItemRecord>(given));
        row = rereadRows_.back().get();
    }
    SYSTEMTIME key{};
    bool keyed = false;
    if (!dateOnly) {
        // Timed occurrences sort by their real instant, whatever their zone.
        RIcsDateTime start;
        start.dateTime = occurrence;
        start.SetTzid(row->dtStartTZ);
        std::unique_ptr<RItemTimeConverter> single;
        keyed = Converter(single).ToUtc(start, &key) == R_OK;
    }
    FileOccurrence(index, row, occurrence, key, keyed, dateOnly);
}

void ROrvaneMonthView::FileOccurrence(int index, const CalendarItemRecord* row, const RDateTime& occurrence,
                                      SYSTEMTIME key, bool keyed, bool dateOnly) {
    if (!keyed) {
        key = SYSTEMTIME{static_cast<WORD>(occurrence.year), occurrence.month, 0, occurrence.day, occurrence.hour,
                         occurrence.minute, static_cast<WORD>(occurrence.second), 0};
    }
    key.wDayOfWeek = 0;
    key.wMilliseconds = 0;
    RPlacedOccurrence placed{key, row, occurrence, nullptr};
    if (dateOnly) {
        placed.item = MakeItem(CachedAccount(row->parentAccountGuid).get(), *row, occurrence);
        if (!placed.item) return;
        std::uint8_t bytes[16];
        SortKeyOf(key, bytes);
        placed.item->SetOccurrenceSortKey(bytes);
        const RRef<ROrvaneCalendarItem>& item = placed.item;
        const auto spanAt =
            std::upper_bound(allDay_.begin(), allDay_.end(), item,
                             [](const RRef<ROrvaneCalendarItem>& added, const RRef<ROrvaneCalendarItem>& existing) {
                                 return CompareItemSpan(existing.get(), added.get()) > 0;
                             });
        allDay_.insert(spanAt, item);
    }
    auto& list = cells_[index].placed;
    if (placing_) {
        list.push_back(std::move(placed));  // DistributeItems sorts each cell once at its end
        return;
    }
    // After every occurrence that does not sort after the new one: equal keys keep their order.
    const auto at = std::upper_bound(list.begin(), list.end(), placed,
                                     [](const RPlacedOccurrence& added, const RPlacedOccurrence& existing) {
                                         return CompareSystemTime(existing.key, added.key) > 0;
                                     });
    list.insert(at, std::move(placed));
}

ROrvaneCalendarItem* ROrvaneMonthView::ItemOf(RPlacedOccurrence& placed) {
    if (!placed.item) {
        placed.item = MakeItem(CachedAccount(placed.row->parentAccountGuid).get(), *placed.row,
                               placed.occurrence);
        if (placed.item) {
            std::uint8_t bytes[16];
            SortKeyOf(placed.key, bytes);
            placed.item->SetOccurrenceSortKey(bytes);
        }
    }
    return placed.item.get();
}
