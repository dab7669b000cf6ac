#include "ical/model/RIcsComponent.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsFieldLimits.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsToDo.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "ical/writer/RIcsTextWriter.h"

namespace {

template <typename T>
void ReleaseValue(T*& value) {
    if (value != nullptr) {
        value->Release();
        value = nullptr;
    }
}

template <typename T>
void Share(T*& field, T* value) {
    if (field == value) {
        return;
    }
    if (value != nullptr) {
        value->AddRef();
    }
    ReleaseValue(field);
    field = value;
}

template <typename T>
void ReleaseListPayloads(RList& list) {
    if (list.head == nullptr && list.tail == nullptr && list.count == 0) {
        return;  // most components have no children of a kind: nothing to release or reset
    }
    for (RListNode* node = list.head; node != nullptr; node = node->next) {
        static_cast<T*>(node->payload)->Release();
    }
    list.RemoveAll();
}

// A text value with a two-letter language tag ("LANGUAGE=en:Hello") loses the tag.
const char* WithoutLanguageTag(const char* text) {
    if (std::strncmp(text, "LANGUAGE=", 9) == 0 && std::strlen(text) >= 12 && text[11] == ':') {
        return text + 12;
    }
    return text;
}

}  // namespace

RIcsComponent::RIcsComponent() = default;

RIcsComponent::~RIcsComponent() {
    ReleaseChildren();
    ClearAttendees();
    ReleaseValue(dtStart_);
    ReleaseValue(dtEnd_);
    ReleaseValue(rrule_);
    ReleaseValue(dtStamp_);
    ReleaseValue(created_);
    ReleaseValue(lastModified_);
    ReleaseValue(alarmTrigger_);
    ReleaseValue(organizer_);
}

void RIcsComponent::ReleaseChildren() {
    ReleaseListPayloads<RIcsTimeZone>(timeZones_);
    ReleaseListPayloads<RIcsEvent>(events_);
    ReleaseListPayloads<RIcsToDo>(toDos_);
}

void RIcsComponent::ClearAttendees() {
    ReleaseListPayloads<RIcsAttendee>(attendees_);
    attendeeLines_.reset();
}

void RIcsComponent::SetOptional(std::optional<std::string>& field, const char* text) {
    if (text == nullptr) {
        field.reset();
    } else if (!field || *field != text) {
        field = text;
    }
}

RResult RIcsComponent::SetUid(const char* uid) {
    SetOptional(uid_, uid);
    return R_OK;
}

RResult RIcsComponent::SetSummary(const char* summary) {
    SetOptional(summary_, summary != nullptr ? WithoutLanguageTag(summary) : nullptr);
    return R_OK;
}

RResult RIcsComponent::SetLocation(const char* location) {
    SetOptional(location_, location);
    return R_OK;
}

RResult RIcsComponent::SetDescription(const char* description) {
    SetOptional(description_, description);
    return R_OK;
}

RResult RIcsComponent::SetUrl(const char* url) {
    SetOptional(url_, url);
    return R_OK;
}

RResult RIcsComponent::SetTransp(const char* transp) {
    AssignCut(transp_, transp != nullptr ? transp : "", ics_limits::kTransp);
    return R_OK;
}

RResult RIcsComponent::SetStatus(const char* status) {
    AssignCut(status_, status != nullptr ? status : "", ics_limits::kStatus);
    return R_OK;
}

RResult RIcsComponent::SetRecurrenceId(const char* recurrenceId) {
    // An identifier is never cut: a shortened one would name a different occurrence.
    const std::string_view value = recurrenceId != nullptr ? recurrenceId : "";
    if (value.size() > ics_limits::kRecurrenceId) {
        return R_E_BUFFER_TOO_SMALL;
    }
    recurrenceId_.assign(value);
    return R_OK;
}

RResult RIcsComponent::SetDefaultTimeZone(const char* tzid) {
    SetOptional(defaultTimeZone_, tzid);
    return R_OK;
}

RResult RIcsComponent::SetSequence(std::int32_t sequence) {
    sequence_ = sequence;
    return R_OK;
}

RResult RIcsComponent::SetDtStart(RIcsDateTime* value) {
    Share(dtStart_, value);
    return R_OK;
}

RResult RIcsComponent::SetDtEnd(RIcsDateTime* value) {
    Share(dtEnd_, value);
    return R_OK;
}

RResult RIcsComponent::SetDtStamp(RIcsDateTime* value) {
    Share(dtStamp_, value);
    return R_OK;
}

RResult RIcsComponent::SetCreated(RIcsDateTime* value) {
    Share(created_, value);
    return R_OK;
}

RResult RIcsComponent::SetLastModified(RIcsDateTime* value) {
    Share(lastModified_, value);
    return R_OK;
}

RResult RIcsComponent::SetRecurrence(RIcsRecurrence* rule) {
    Share(rrule_, rule);
    ruleMirrorsExDates_ = false;  // a shared rule may hold values of its own
    return R_OK;
}

RResult RIcsComponent::SetOrganizer(RIcsOrganizer* organizer) {
    Share(organizer_, organizer);
    return R_OK;
}

RResult RIcsComponent::AddExDate(const char* value) {
    if (value == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (value[0] == '\0') {
        return R_OK;  // excludes nothing, and would be written back as an invalid "EXDATE:" line
    }
    const bool added = exDates_.Add(value);
    if (rrule_ != nullptr) {
        if (!ruleMirrorsExDates_) {
            rrule_->AddExDate(value);
        } else if (added) {
            AppendRuleExDate(rrule_, value);
        }
    }
    exDateLines_.reset();
    return R_OK;
}

void RIcsComponent::AppendRuleExDate(RIcsRecurrence* rule, const std::string& value) {
    // The rule's own AddExDate searches its whole list for an equal value, which makes a
    // component with many EXDATE lines quadratic; the hashed set here has already done that.
    char* copy = strdup(value.c_str());
    if (copy != nullptr && rule->exDates.AddTail(copy) != R_OK) {
        std::free(copy);
    }
}

RResult RIcsComponent::AddEventChild(RIcsEvent* event, RIcsComponent* owner) {
    if (event == nullptr || owner == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    event->AddRef();
    if (owner->events_.AddTail(event) != R_OK) {
        event->Release();
        return R_E_OUT_OF_MEMORY;
    }
    return CollectTimeZoneIds(event, owner);
}

RResult RIcsComponent::AddToDoChild(RIcsToDo* todo, RIcsComponent* owner) {
    if (todo == nullptr || owner == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    todo->AddRef();
    if (owner->toDos_.AddTail(todo) != R_OK) {
        todo->Release();
        return R_E_OUT_OF_MEMORY;
    }
    return CollectTimeZoneIds(todo, owner);
}

RResult RIcsComponent::AppendTimeZone(RIcsTimeZone* zone) {
    if (zone == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    zone->AddRef();
    if (timeZones_.AddTail(zone) != R_OK) {
        zone->Release();
        return R_E_OUT_OF_MEMORY;
    }
    return R_OK;
}

RResult RIcsComponent::AddAttendee(RIcsAttendee* attendee) {
    if (attendee == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    attendee->AddRef();
    if (attendees_.AddTail(attendee) != R_OK) {
        attendee->Release();
        return R_E_OUT_OF_MEMORY;
    }
    attendeeLines_.reset();
    return R_OK;
}

RResult RIcsComponent::CollectTimeZoneIds(RIcsComponent* event, RIcsComponent* owner) {
    if (event == nullptr || owner == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (event->dtStart_ != nullptr) {
        if (event->dtStart_->tzid[0] != '\0') {
            owner->timeZoneIds_.Add(event->dtStart_->tzid);
        }
        // An all-day event without DTEND gets its end here.
        const RIcsDateTime* end = event->GetEffectiveDtEnd();
        if (end != nullptr && end->tzid[0] != '\0') {
            owner->timeZoneIds_.Add(end->tzid);
        }
    } else if (event->dtEnd_ != nullptr && event->dtEnd_->tzid[0] != '\0') {
        owner->timeZoneIds_.Add(event->dtEnd_->tzid);
    }
    return R_OK;
}

bool RIcsComponent::GetDuration(std::int32_t& days, std::int64_t& seconds) const {
    if (durationDays_ < 0) {
        return false;
    }
    days = durationDays_;
    seconds = durationSeconds_;
    return true;
}

RIcsDateTime* RIcsComponent::GetEffectiveDtEnd() {
    if (dtEnd_ != nullptr) {
        return dtEnd_;
    }
    const bool byDuration = durationDays_ >= 0;
    if (dtStart_ == nullptr || (!dtStart_->dateOnly && !byDuration)) {
        return nullptr;
    }
    RIcsDateTime* end = RIcsDateTime::Clone(*dtStart_);
    if (end == nullptr) {
        return nullptr;
    }
    if (!byDuration) {
        end->dateTime.NextDay();
    } else {
        // Days are calendar days; the time part moves the clock and carries into the days.
        std::int64_t days = durationDays_;
        if (!end->dateOnly) {
            RDateTime& t = end->dateTime;
            const std::int64_t clock = t.hour * 3600LL + t.minute * 60LL + t.second + durationSeconds_;
            days += clock / 86400;
            const std::int64_t rest = clock % 86400;
            t.hour = static_cast<std::uint16_t>(rest / 3600);
            t.minute = static_cast<std::uint16_t>(rest / 60 % 60);
            t.second = static_cast<std::int16_t>(rest % 60);
        }
        for (std::int64_t i = 0; i < days && end->dateTime.year <= 9999; ++i) {
            end->dateTime.NextDay();
        }
    }
    dtEnd_ = end;  // the component keeps the clone's only reference
    return dtEnd_;
}

const char* RIcsComponent::GetExDateLines() {
    if (exDates_.IsEmpty()) {
        return nullptr;
    }
    if (!exDateLines_) {
        std::string lines;
        for (const std::string* value : exDates_) {
            lines += "EXDATE";
            lines += StartsWithParameter(value->c_str()) ? ';' : ':';
            lines += WithoutLineBreaks(*value);
            lines += "\r\n";
        }
        exDateLines_ = std::move(lines);
    }
    return exDateLines_->c_str();
}

const char* RIcsComponent::GetAttendeeLines() {
    if (attendees_.count == 0) {
        return nullptr;
    }
    if (!attendeeLines_) {
        std::string lines;
        for (RListNode* node = attendees_.head; node != nullptr; node = node->next) {
            // An attendee without an address writes nothing, so it gets no line either.
            const char* text = static_cast<RIcsAttendee*>(node->payload)->GetText();
            if (text != nullptr) {
                lines += "ATTENDEE";
                lines += WithoutLineBreaks(text);
                lines += "\r\n";
            }
        }
        attendeeLines_ = std::move(lines);
    }
    return attendeeLines_->c_str();
}

RIcsTimeZone* RIcsComponent::GetTimeZoneAt(int index) const {
    return static_cast<RIcsTimeZone*>(timeZones_.PayloadAt(index));
}

RIcsEvent* RIcsComponent::GetEventAt(int index) const {
    return static_cast<RIcsEvent*>(events_.PayloadAt(index));
}

RIcsToDo* RIcsComponent::GetToDoAt(int index) const {
    return static_cast<RIcsToDo*>(toDos_.PayloadAt(index));
}

RIcsAttendee* RIcsComponent::GetAttendeeAt(int index) const {
    return static_cast<RIcsAttendee*>(attendees_.PayloadAt(index));
}
