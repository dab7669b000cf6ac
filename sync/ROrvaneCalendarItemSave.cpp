// The item model's writing side: new items, the store step, the upload of the item's resource,
// and the changes to repeating series.
#include "sync/ROrvaneCalendarItem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/text/GuidString.h"
#include "ical/model/RIcsEvent.h"
#include "ical/timezone/ZoneConversions.h"
#include "platform/core/WinTypes.h"
#include "store/ROrvaneDataManager.h"
#include "store/SeriesRows.h"
#include "sync/IcsResourceText.h"
#include "sync/RIcsResourceCalendar.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendar.h"

namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

// The day of a recurrence identifier as a record at 00:00 (its first eight digits); all zero
// when it has none.
RDateTime DayOfRecurrenceId(const CStringA& recurrenceId) {
    const std::string digits = RecurrenceIdDigits(recurrenceId.Str());
    RDateTime day;
    if (digits.size() >= 8 && std::all_of(digits.begin(), digits.begin() + 8, [](char c) { return c >= '0' && c <= '9'; })) {
        day.year = std::stoi(digits.substr(0, 4));
        day.month = static_cast<std::uint16_t>(std::stoi(digits.substr(4, 2)));
        day.day = static_cast<std::uint16_t>(std::stoi(digits.substr(6, 2)));
    }
    return day;
}

RDateTime DayOf(const RDateTime& value) {
    RDateTime day;
    day.year = value.year;
    day.month = value.month;
    day.day = value.day;
    return day;
}

// Whether an exception falls on or after `day`.
bool OnOrAfter(const CalendarItemRecord& exception, const RDateTime& day) {
    return CompareDateTime(DayOfRecurrenceId(exception.recurrenceID), day) >= 0;
}

CStringA NewFileName(const CStringA& guid) { return guid + ".ics"; }

}  // namespace

// ---- time ----

CStringA ROrvaneCalendarItem::FormatUtcNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    CStringA text;
    if (now.wSecond != 0) {
        text.Format("%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                    now.wSecond);
    } else {
        text.Format("%04d-%02d-%02d %02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
    }
    return text;
}

RDateTime ROrvaneCalendarItem::GetNextFullHour() {
    RDateTime next = *GetCurrentLocalDateTime();
    next.minute = 0;
    next.second = 0;
    next.AddDays(0.041666666666666664);
    return next;
}

// ---- new items and the store ----

RResult ROrvaneCalendarItem::CreateNew(ROrvaneDataManager* dataManager, ROrvaneAccount* account,
                                       ROrvaneCalendar* calendar) {
    isNew_ = true;
    CalendarItemRecord record;
    record.Clear();
    if (const RResult made = NewGuidStringA(record.guid); made != R_OK) {
        return made;
    }
    record.localFileName = NewFileName(record.guid);
    record.serverFileName = record.localFileName;
    if (account != nullptr) {
        record.parentAccountGuid = account->GetGuid();
    }
    if (calendar != nullptr) {
        record.parentCalendarGuid = calendar->GetGuid();
    }
    record.summary = "New Event";
    RDateTime start = GetNextFullHour();
    RDateTime end = start;
    end.AddDays(0.041666666666666664);
    record.dtStart.Format("%04d-%02d-%02d %02d:%02d", start.year, start.month, start.day, start.hour, start.minute);
    record.dtEnd.Format("%04d-%02d-%02d %02d:%02d", end.year, end.month, end.day, end.hour, end.minute);
    record.dtCreated = FormatUtcNow();
    record.dtLastModified = record.dtCreated;
    record.dtStamp = record.dtCreated;
    const RResult result = Init(dataManager, account, calendar, &record);
    if (result == R_OK) {
        modified_ = true;
    }
    return result;
}

RResult ROrvaneCalendarItem::StoreIfModified() {
    if (!modified_) {
        return R_OK;
    }
    if (!dataManager_) {
        return R_E_INVALID_ARGUMENT;
    }
    record_.dtLastModified = FormatUtcNow();
    auto store = [this](const CalendarItemRecord& row) {
        RResult result = dataManager_->AddCalendarItem(row.guid, row.recurrenceID, row.parentCalendarGuid,
                                                       row.parentAccountGuid, row);
        if (result == R_E_ALREADY_EXISTS) {
            result = dataManager_->UpdateCalendarItem(row.guid, row.recurrenceID, row.parentCalendarGuid,
                                                      row.parentAccountGuid, row);
        }
        return result;
    };
    RResult result = store(record_);
    if (result != R_OK) {
        return result;
    }
    // A series continued from another takes over the exceptions that fall in it.
    for (CalendarItemRecord& exception : carriedExceptions_) {
        exception.parentCalendarGuid = record_.parentCalendarGuid;
        if ((result = store(exception)) != R_OK) {
            return result;
        }
    }
    carriedExceptions_.clear();
    // Exceptions removed from the series go with it.
    if (!removedExceptions_.empty()) {
        std::vector<CalendarItemRecord> rows;
        if (ReadSeriesRows(dataManager_.get(), record_.guid, record_.parentCalendarGuid, record_.parentAccountGuid,
                           rows) == R_OK) {
            for (const CalendarItemRecord& row : rows) {
                if (!row.recurrenceID.IsEmpty() && IsRemovedException(row.recurrenceID.Str())) {
                    (void)dataManager_->DeleteCalendarItem(row.guid, row.recurrenceID, row.parentCalendarGuid,
                                                           row.parentAccountGuid);
                }
            }
        }
        removedExceptions_.clear();
    }
    // A series that ended (or was split) drops the exceptions after its end.
    if (exceptionsEndBefore_) {
        std::vector<CalendarItemRecord> rows;
        if (ReadSeriesRows(dataManager_.get(), record_.guid, record_.parentCalendarGuid, record_.parentAccountGuid,
                           rows) == R_OK) {
            for (const CalendarItemRecord& row : rows) {
                if (!row.recurrenceID.IsEmpty() && OnOrAfter(row, *exceptionsEndBefore_)) {
                    (void)dataManager_->DeleteCalendarItem(row.guid, row.recurrenceID, row.parentCalendarGuid,
                                                           row.parentAccountGuid);
                }
            }
        }
        exceptionsEndBefore_.reset();
    }
    modified_ = false;
    isNew_ = false;
    return R_OK;
}

// ---- the event ----

void ROrvaneCalendarItem::StampRevision() {
    const CStringA now = FormatUtcNow();
    record_.dtStamp = now;
    stamp_.reset();
    if (!record_.dtLastModified.IsEmpty()) {
        record_.dtLastModified = now;
        lastModified_.reset();
    }
    // A new event starts at its own sequence; an existing one tells other clients and
    // scheduling servers that its times changed.
    if (scheduleChanged_ && !isNew_) {
        ++record_.sequence;
    }
    scheduleChanged_ = false;
}

RIcsEvent* ROrvaneCalendarItem::BuildIcsEvent() {
    RIcsEvent* event = new (std::nothrow) RIcsEvent;
    if (event == nullptr) {
        return nullptr;
    }
    event->SetUid(record_.guid);
    auto optional = [](const CStringA& text) { return text.IsEmpty() ? nullptr : text.GetString(); };
    event->SetSummary(optional(StoredTextToIcs(record_.summary)));
    event->SetLocation(optional(StoredTextToIcs(record_.location)));
    event->SetDescription(optional(StoredTextToIcs(record_.description)));
    event->SetUrl(optional(record_.url));
    event->SetTransp(record_.transparency);
    event->SetDtStart(GetDTStart());
    event->SetDtEnd(GetDTEnd());
    event->SetDtStamp(record_.dtStamp.IsEmpty() ? nullptr : GetDTStamp());
    event->SetCreated(record_.dtCreated.IsEmpty() ? nullptr : GetDTCreated());
    event->SetLastModified(record_.dtLastModified.IsEmpty() ? nullptr : GetDTLastModified());
    event->SetSequence(record_.sequence);
    if (RIcsRecurrence* rule = GetRecurrence()) {
        event->SetRecurrence(rule);
        if (record_.exDates.GetLength() > 2) {
            event->SetExDatesFromLines(record_.exDates);
        }
    }
    if (IsException()) {
        event->SetRecurrenceId(record_.recurrenceID);  // also one that repeats on its own
    }
    if (!record_.attendees.IsEmpty()) {
        event->SetAttendeesFromLines(record_.attendees);
    }
    return event;
}

// ---- series changes ----

CStringA ROrvaneCalendarItem::RuleEndingBefore(const RIcsDateTime& day) {
    RIcsDateTime* start = GetDTStart();
    if (!IsRecurring() || start == nullptr) {
        return CStringA();
    }
    auto rule = MakeRef<RIcsRecurrence>();
    (void)rule->Parse(record_.rrule);
    // UNTIL is inclusive: the series' last moment before the day, in the start's own form.
    auto until = MakeRef<RIcsDateTime>();
    until->dateTime = DayOf(day.dateTime);
    until->dateTime.PreviousDay();
    until->dateOnly = start->dateOnly;
    if (!start->dateOnly) {
        until->dateTime.hour = 23;
        until->dateTime.minute = 59;
        until->dateTime.second = 59;
        if (!start->floating && start->tzid[0] != '\0') {
            // A zoned series ends at a UTC instant.
            if (std::strcmp(start->tzid, "Z") != 0) {
                until->SetTzid(start->tzid);
                SYSTEMTIME utc{};
                if (ItemTimeToUtc(&utc, until.get()) == R_OK) {
                    until->dateTime.FromSystemTime(&utc);
                }
            }
            until->SetTzid("Z");
        }
    }
    until->ClearTextCaches();
    // A fresh UNTIL, so that none of the old one's form (date-only, zone) stays behind.
    if (rule->until != nullptr) {
        rule->until->Release();
        rule->until = nullptr;
    }
    rule->SetUntil(*until);
    const char* text = rule->GetText();
    return CStringA(Text(text));
}

void ROrvaneCalendarItem::EndSeriesBefore(const RIcsDateTime& day) {
    if (!IsRecurring()) {
        return;
    }
    const CStringA rule = RuleEndingBefore(day);
    if (!rule.IsEmpty()) {
        SetRRule(rule);
        recurrence_.reset();
        exceptionsEndBefore_ = DayOf(day.dateTime);
    }
}

ROrvaneCalendarItem* ROrvaneCalendarItem::CreateOccurrenceException(const RIcsDateTime& occurrence) {
    if (!IsRecurring()) {
        return nullptr;
    }
    RRef<RIcsDateTime> value = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(occurrence));
    if (!value) {
        return nullptr;
    }
    const std::string v = value->GetIcsValue(true);
    CStringA identifier;
    if (value->dateOnly) {
        identifier = CStringA("VALUE=DATE") + v.c_str();
    } else {
        identifier = v.empty() ? CStringA() : CStringA(v.substr(1).c_str());
    }
    const double duration = GetDurationDays();
    CalendarItemRecord copy;
    copy.Assign(record_);
    copy.recurrenceID = identifier;
    copy.rrule = "";
    copy.sequence = record_.sequence + 1;
    copy.dtCreated = FormatUtcNow();
    // The exception stands where its occurrence was (the series' own start is the first
    // occurrence's), keeping the series' length.
    copy.dtStart = value->GetDbText();
    RRef<RIcsDateTime> end = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*value));
    if (end) {
        if (RIcsDateTime* seriesEnd = GetDTEnd()) {
            end->SetTzid(seriesEnd->floating ? "" : seriesEnd->tzid);
        }
        end->dateTime.AddDays(duration);
        end->ClearTextCaches();
        copy.dtEnd = end->GetDbText();
    }
    auto* item = new (std::nothrow) ROrvaneCalendarItem;
    if (item == nullptr) {
        return nullptr;
    }
    item->Init(dataManager_.get(), account_.get(), calendar_.get(), &copy);
    return item;
}

ROrvaneCalendarItem* ROrvaneCalendarItem::SplitSeries(const RIcsDateTime& from) {
    RIcsDateTime* start = GetDTStart();
    if (!IsRecurring() || start == nullptr) {
        return nullptr;
    }
    // The end of the whole series, before its rule changes.
    auto rule = MakeRef<RIcsRecurrence>();
    (void)rule->Parse(record_.rrule);
    const bool hadUntil = rule->until != nullptr;
    RRef<RIcsDateTime> last;
    if (!hadUntil && rule->count > 0) {
        last = RRef<RIcsDateTime>::Adopt(rule->GetLastOccurrence(start));
    }

    CalendarItemRecord copy;
    copy.Assign(record_);
    if (NewGuidStringA(copy.guid) != R_OK) {
        return nullptr;
    }
    copy.localFileName = NewFileName(copy.guid);
    copy.serverFileName = copy.localFileName;
    // A new resource: created with If-None-Match, never with the old resource's tags.
    copy.etag = "";
    copy.scheduleTag = "";

    // What the old resource holds now, to carry its text and its later exceptions over.
    std::string baseText;
    std::vector<CalendarItemRecord> rows;
    if (dataManager_) {
        (void)ReadCalendarItemFile(dataManager_.get(), record_.serverFileName, record_.parentCalendarGuid,
                                   record_.parentAccountGuid, baseText);
        (void)ReadSeriesRows(dataManager_.get(), record_.guid, record_.parentCalendarGuid, record_.parentAccountGuid,
                             rows);
    }

    EndSeriesBefore(from);

    auto* item = new (std::nothrow) ROrvaneCalendarItem;
    if (item == nullptr) {
        return nullptr;
    }
    item->Init(dataManager_.get(), account_.get(), calendar_.get(), &copy);
    item->SetDTStart(&from);
    if (last) {
        // The old series' COUNT becomes the new series' end: its last day, as a whole day.
        auto end = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*last));
        end->dateTime.NextDay();
        item->SetRRule(item->RuleEndingBefore(*end));
        item->exceptionsEndBefore_.reset();
    }
    const RDateTime splitDay = DayOf(from.dateTime);
    for (const CalendarItemRecord& row : rows) {
        if (row.recurrenceID.IsEmpty() || !OnOrAfter(row, splitDay)) {
            continue;
        }
        CalendarItemRecord moved;
        moved.Assign(row);
        moved.guid = copy.guid;
        moved.localFileName = copy.localFileName;
        moved.serverFileName = copy.serverFileName;
        moved.etag = "";
        moved.scheduleTag = "";
        item->carriedExceptions_.push_back(std::move(moved));
    }
    if (!baseText.empty()) {
        item->baseText_ = std::move(baseText);
        item->baseUid_ = record_.guid;
    }
    return item;
}

void ROrvaneCalendarItem::AddExDate(const RIcsDateTime* value) {
    if (value == nullptr) {
        return;
    }
    // A copy, so the text form is made here with its separator whatever the value cached.
    RRef<RIcsDateTime> copy = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*value));
    if (!copy) {
        return;
    }
    record_.exDates += "EXDATE";
    if (copy->dateOnly) {
        record_.exDates += ";VALUE=DATE";
    }
    record_.exDates += copy->GetIcsValue(true);
    record_.exDates += "\r\n";
    modified_ = true;
    scheduleChanged_ = true;
}

RRef<RIcsDateTime> ROrvaneCalendarItem::OccurrenceOf(const CStringA& recurrenceId) {
    RIcsDateTime* start = GetDTStart();
    const std::string digits = RecurrenceIdDigits(recurrenceId.Str());
    if (!IsRecurring() || start == nullptr || digits.size() < 8) {
        return nullptr;
    }
    auto value = MakeRef<RIcsDateTime>();
    const bool utc = digits.back() == 'Z';
    (void)value->SetFromIcs(utc ? "Z" : (start->floating ? "" : start->tzid), digits.c_str());
    return value;
}

void ROrvaneCalendarItem::RemoveException(const CStringA& recurrenceId) {
    RRef<RIcsDateTime> occurrence = OccurrenceOf(recurrenceId);
    if (!occurrence) {
        return;
    }
    AddExDate(occurrence.get());
    recurrence_.reset();
    removedExceptions_.push_back(recurrenceId);
}

bool ROrvaneCalendarItem::IsRemovedException(std::string_view recurrenceId) const {
    const std::string digits = RecurrenceIdDigits(recurrenceId);
    return std::any_of(removedExceptions_.begin(), removedExceptions_.end(), [&digits](const CStringA& removed) {
        return RecurrenceIdDigits(removed.Str()) == digits;
    });
}
