// The item model: construction, accessors, the date-time caches, attendees and the hit rectangle.
#include "sync/ROrvaneCalendarItem.h"

#include <algorithm>
#include <cstring>

#include "foundation/text/RUtf8Text.h"
#include "ical/timezone/ZoneTable.h"
#include "store/ROrvaneDataManager.h"
#include "store/SeriesRows.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendar.h"

ROrvaneCalendarItem::ROrvaneCalendarItem() { record_.Clear(); }

ROrvaneCalendarItem::~ROrvaneCalendarItem() = default;

RResult ROrvaneCalendarItem::Init(ROrvaneDataManager* dataManager, ROrvaneAccount* account,
                                  ROrvaneCalendar* calendar, const CalendarItemRecord* record) {
    if (dataManager != nullptr) {
        dataManager_ = RRef<ROrvaneDataManager>::Share(dataManager);
    }
    if (account != nullptr) {
        account_ = RRef<ROrvaneAccount>::Share(account);
    }
    if (calendar != nullptr) {
        calendar_ = RRef<ROrvaneCalendar>::Share(calendar);
    }
    if (record != nullptr) {
        record_.Assign(*record);
    }
    return R_OK;
}

RResult ROrvaneCalendarItem::InitFromRecord(ROrvaneDataManager* dataManager, ROrvaneAccount* account,
                                            const CalendarItemRecord& record) {
    if (account == nullptr) {
        return STG_E_PATHNOTFOUND;
    }
    RRef<ROrvaneCalendar> calendar = account->FindCalendarByGuid(record.parentCalendarGuid);
    if (!calendar) {
        return STG_E_PATHNOTFOUND;
    }
    return Init(dataManager, account, calendar.get(), &record);
}

RResult ROrvaneCalendarItem::SetCalendar(ROrvaneCalendar* calendar) {
    calendar_ = RRef<ROrvaneCalendar>::Share(calendar);
    if (calendar != nullptr) {
        record_.parentCalendarGuid = calendar->GetGuid();
    }
    return R_OK;
}

RResult ROrvaneCalendarItem::SetTargetCalendar(const char* guid) {
    const char* wanted = guid != nullptr ? guid : "";
    if (std::strcmp(wanted, record_.parentCalendarGuid) != 0) {
        targetCalendarGuid_ = wanted;
        modified_ = true;
    }
    return R_OK;
}

double ROrvaneCalendarItem::GetDurationDays() {
    RIcsDateTime* start = GetDTStart();
    RIcsDateTime* end = GetDTEnd();
    if (start == nullptr || end == nullptr) {
        return 0;
    }
    return static_cast<double>(end->dateTime.ToDayNumber() - start->dateTime.ToDayNumber());
}

bool ROrvaneCalendarItem::IsAllDay() {
    RIcsDateTime* start = GetDTStart();
    return start != nullptr && start->dateOnly;
}

void ROrvaneCalendarItem::SetText(CStringA& field, const CStringA& value) {
    if (std::strcmp(field, value) != 0) {
        field = value;
        modified_ = true;
    }
}

void ROrvaneCalendarItem::SetETag(const char* etag) { SetText(record_.etag, etag != nullptr ? etag : ""); }
void ROrvaneCalendarItem::SetScheduleTag(const char* scheduleTag) {
    SetText(record_.scheduleTag, scheduleTag != nullptr ? scheduleTag : "");
}
void ROrvaneCalendarItem::SetSummary(const CStringW& summary) { SetText(record_.summary, WideToIcsText(summary)); }
void ROrvaneCalendarItem::SetLocation(const CStringW& location) {
    SetText(record_.location, WideToIcsText(location));
}
void ROrvaneCalendarItem::SetDescription(const CStringW& description) {
    SetText(record_.description, WideToIcsText(description));
}
void ROrvaneCalendarItem::SetURL(const char* url) { SetText(record_.url, url != nullptr ? url : ""); }

void ROrvaneCalendarItem::SetSequence(std::int32_t sequence) {
    if (record_.sequence != sequence) {
        record_.sequence = sequence;
        modified_ = true;
    }
}

// ---- text ----

CStringA ROrvaneCalendarItem::WideToIcsText(const CStringW& text) {
    const std::u16string& in = text.Str();
    std::u16string out;
    out.reserve(in.size() + in.size() / 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char16_t c = in[i];
        switch (c) {
            case u'\\':
                out += u"\\\\";
                break;
            case u';':
                out += u"\\;";
                break;
            case u',':
                out += u"\\,";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\r':
                if (i + 1 < in.size() && in[i + 1] == u'\n') {
                    ++i;
                }
                out += u"\\n";
                break;
            case u'\n':
            case u'\u2028':
            case u'\u2029':
                out += u"\\n";
                break;
            default:
                out += c;
        }
    }
    return CStringW(std::move(out)).ToUtf8();
}

CStringW ROrvaneCalendarItem::IcsTextToWide(const CStringA& stored) {
    const std::string& in = stored.Str();
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 == in.size()) {
            out += in[i];
            continue;
        }
        const char next = in[i + 1];
        switch (next) {
            case 'n':
            case 'N':
                out += "\r\n";
                break;
            case 't':
                out += '\t';
                break;
            case ',':
            case ';':
            case '\\':
                out += next;
                break;
            default:
                // Not an escape: both characters stay.
                out += '\\';
                out += next;
        }
        ++i;
    }
    return CStringW::FromUtf8(out);
}

CStringA ROrvaneCalendarItem::StoredTextToIcs(const CStringA& stored) {
    const std::string& in = stored.Str();
    if (in.find("\\t") == std::string::npos) {
        return stored;
    }
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 1 < in.size()) {
            // A pair is taken whole, so the t of an escaped backslash (\\t) stays a t.
            if (in[i + 1] == 't') {
                out += '\t';
            } else {
                out += in[i];
                out += in[i + 1];
            }
            ++i;
            continue;
        }
        out += in[i];
    }
    return CStringA(out.c_str());
}

// ---- date-time caches ----

RIcsDateTime* ROrvaneCalendarItem::CachedValue(RRef<RIcsDateTime>& cache, const CStringA& text, const char* tzid) {
    if (!cache) {
        RIcsDateTime* value = new (std::nothrow) RIcsDateTime;
        if (value == nullptr) {
            return nullptr;
        }
        value->SetFromDbText(text, tzid);
        cache = RRef<RIcsDateTime>::Adopt(value);
    }
    return cache.get();
}

RIcsDateTime* ROrvaneCalendarItem::GetDTStart() { return CachedValue(start_, record_.dtStart, record_.dtStartTZ); }

RIcsDateTime* ROrvaneCalendarItem::GetDTEnd() {
    if (end_ || !record_.dtEnd.IsEmpty()) {
        return CachedValue(end_, record_.dtEnd, record_.dtEndTZ);
    }
    // No stored end: an all-day item lasts its day, a timed one is an instant.
    RIcsDateTime* start = GetDTStart();
    if (start == nullptr) {
        return nullptr;
    }
    end_ = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*start));
    if (end_ && end_->dateOnly) {
        end_->dateTime.NextDay();
    }
    return end_.get();
}

RIcsDateTime* ROrvaneCalendarItem::GetDTStamp() { return CachedValue(stamp_, record_.dtStamp, "Z"); }
RIcsDateTime* ROrvaneCalendarItem::GetDTCreated() { return CachedValue(created_, record_.dtCreated, "Z"); }
RIcsDateTime* ROrvaneCalendarItem::GetDTLastModified() {
    return CachedValue(lastModified_, record_.dtLastModified, "Z");
}

void ROrvaneCalendarItem::SetStoredDate(RRef<RIcsDateTime>& cache, const RIcsDateTime& value, CStringA& dbText,
                                        CStringA& tzText, CStringA& olsonText) {
    modified_ = true;
    scheduleChanged_ = true;
    cache->dateTime = value.dateTime;
    cache->dateOnly = value.dateOnly;
    cache->SetTzid(value.floating ? "" : value.tzid);
    cache->ClearTextCaches();
    dbText = cache->GetDbText();
    tzText = cache->tzid;
    olsonText = "";
    if (cache->tzid[0] != '\0') {
        CStringW olson;
        if (MapZoneKeyToOlsonId(CStringW::FromUtf8(cache->tzid), olson) == R_OK) {
            olsonText = olson.ToUtf8();
        }
    }
    record_.whiteRabbitTimeZone = "";
}

void ROrvaneCalendarItem::SetDTStart(const RIcsDateTime* value) {
    if (value == nullptr) {
        return;
    }
    const double duration = GetDurationDays();
    RIcsDateTime* start = GetDTStart();
    if (start == nullptr || RIcsDateTime::Compare(*value, *start) == 0) {
        return;
    }
    SetStoredDate(start_, *value, record_.dtStart, record_.dtStartTZ, record_.dtStartOlsonTZ);
    RIcsDateTime* end = GetDTEnd();
    if (end != nullptr && RIcsDateTime::Compare(*start_, *end) > 0) {
        RRef<RIcsDateTime> moved = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*start_));
        if (moved) {
            moved->dateTime.AddDays(duration);
            SetDTEnd(moved.get());
        }
    }
}

void ROrvaneCalendarItem::SetDTEnd(const RIcsDateTime* value) {
    if (value == nullptr) {
        return;
    }
    RIcsDateTime* end = GetDTEnd();
    if (end == nullptr || RIcsDateTime::Compare(*value, *end) == 0) {
        return;
    }
    SetStoredDate(end_, *value, record_.dtEnd, record_.dtEndTZ, record_.dtEndOlsonTZ);
}

// ---- rule ----

void ROrvaneCalendarItem::SetRRule(const char* rrule) {
    if (IsException()) {
        return;
    }
    const CStringA value(rrule != nullptr ? rrule : "");
    if (!(value == record_.rrule)) {
        // The parsed rule is what an upload writes: it follows the new text.
        recurrence_.reset();
        scheduleChanged_ = true;
    }
    SetText(record_.rrule, value);
}

RIcsRecurrence* ROrvaneCalendarItem::GetRecurrence() {
    if (!IsRecurring()) {
        return nullptr;
    }
    if (!recurrence_) {
        RIcsRecurrence* rule = new (std::nothrow) RIcsRecurrence;
        if (rule == nullptr) {
            return nullptr;
        }
        recurrence_ = RRef<RIcsRecurrence>::Adopt(rule);
        (void)rule->Parse(record_.rrule);
        if (!record_.exDates.IsEmpty()) {
            (void)rule->SetExDatesFromLines(record_.exDates);
        }
    }
    return recurrence_.get();
}

ROrvaneCalendarItem* ROrvaneCalendarItem::GetMasterItem() {
    if (!IsException() || !dataManager_) {
        return nullptr;
    }
    // The master is the row without a recurrence identifier; a look-up by guid alone could
    // meet one of the exceptions first.
    std::vector<CalendarItemRecord> rows;
    if (ReadSeriesRows(dataManager_.get(), record_.guid, record_.parentCalendarGuid, record_.parentAccountGuid,
                       rows) != R_OK ||
        rows.empty() || !rows.front().recurrenceID.IsEmpty()) {
        return nullptr;
    }
    auto* master = new (std::nothrow) ROrvaneCalendarItem;
    if (master == nullptr) {
        return nullptr;
    }
    master->Init(dataManager_.get(), account_.get(), calendar_.get(), &rows.front());
    return master;
}

// ---- occurrence state ----

RIcsDateTime* ROrvaneCalendarItem::GetOccurrenceStart() {
    if (!occurrenceStart_) {
        SetOccurrenceStart(nullptr);
    }
    return occurrenceStart_.get();
}

RIcsDateTime* ROrvaneCalendarItem::SetOccurrenceStart(const RDateTime* value) {
    if (!occurrenceStart_) {
        RIcsDateTime* start = GetDTStart();
        if (start == nullptr) {
            return nullptr;
        }
        occurrenceStart_ = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*start));
        if (!occurrenceStart_) {
            return nullptr;
        }
    }
    if (value != nullptr) {
        occurrenceStart_->dateTime = *value;
        occurrenceStart_->ClearTextCaches();
    }
    return occurrenceStart_.get();
}

RIcsDateTime* ROrvaneCalendarItem::GetOccurrenceEnd() {
    if (!occurrenceEnd_) {
        RIcsDateTime* start = GetOccurrenceStart();
        if (start == nullptr) {
            return nullptr;
        }
        const double duration = GetDurationDays();
        occurrenceEnd_ = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*start));
        if (occurrenceEnd_) {
            occurrenceEnd_->dateTime.AddDays(duration);
        }
    }
    return occurrenceEnd_.get();
}

RIcsDateTime* ROrvaneCalendarItem::SetOccurrenceEnd(const RDateTime* value) {
    RIcsDateTime* end = GetOccurrenceEnd();
    if (end != nullptr && value != nullptr) {
        end->dateTime = *value;
        end->ClearTextCaches();
    }
    return end;
}

void ROrvaneCalendarItem::SetOccurrenceSortKey(const std::uint8_t key[16]) {
    if (key != nullptr) {
        std::memcpy(occurrenceSortKey_, key, sizeof occurrenceSortKey_);
    }
}

// ---- attendees ----

void ROrvaneCalendarItem::ParseAttendees() {
    RUtf8Text text(record_.attendees);
    CStringW line;
    for (text.FirstLine(line); !line.IsEmpty(); text.ReadLine(line)) {
        RIcsAttendee* attendee = new (std::nothrow) RIcsAttendee;
        if (attendee == nullptr) {
            return;
        }
        auto held = RRef<RIcsAttendee>::Adopt(attendee);
        // The stored line is "ATTENDEE" + parameters and address; the value follows the name.
        std::string value = line.ToUtf8().Str();
        if (value.rfind("ATTENDEE", 0) == 0) {
            value.erase(0, 8);
            if (!value.empty() && (value[0] == ';' || value[0] == ':')) {
                value.erase(0, 1);
            }
        }
        if (held->Parse(value.c_str()) != R_OK) {
            continue;
        }
        // Sorted by CN; an equal name goes after those already listed.
        auto place = std::upper_bound(attendees_.begin(), attendees_.end(), held,
                                      [](const RRef<RIcsAttendee>& a, const RRef<RIcsAttendee>& b) {
                                          return CompareAttendeesByName(a.get(), b.get()) < 0;
                                      });
        attendees_.insert(place, std::move(held));
    }
}

int ROrvaneCalendarItem::GetAttendeeCount() {
    if (record_.attendees.IsEmpty()) {
        return 0;
    }
    if (record_.attendees.GetLength() > 2 && attendees_.empty()) {
        ParseAttendees();
    }
    return static_cast<int>(attendees_.size());
}

RIcsAttendee* ROrvaneCalendarItem::GetAttendeeAt(int index) {
    if (index < 0 || index >= GetAttendeeCount()) {
        return nullptr;
    }
    return attendees_[static_cast<std::size_t>(index)].get();
}

// ---- hit rectangle ----

void ROrvaneCalendarItem::SetHitRect(const RItemRect& rect) {
    // An all-day bar drawn in pieces along one row grows to the right.
    if (IsAllDay() && rect.top == hitRect_.top && rect.right > hitRect_.right) {
        hitRect_.right = rect.right;
        return;
    }
    hitRect_ = rect;
}
