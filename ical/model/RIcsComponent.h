#pragma once
// The base of the iCalendar object model: one component (VCALENDAR, VEVENT, VTODO, VTIMEZONE,
// DAYLIGHT, STANDARD ...) with the fixed set of properties the program keeps, its children,
// the parser that fills it and the setters the item model edits it with.
// Components are reference counted; a holder that puts one into a list takes a reference.
// Needs its owner's lock: only the reference count is atomic; getters build caches
// (GetExDateLines, GetAttendeeLines, GetEffectiveDtEnd).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RList.h"
#include "foundation/memory/RRecycled.h"
#include "foundation/memory/RefCounted.h"
#include "ical/model/RIcsStringSet.h"

class RIcsAttendee;
class RIcsDateTime;
class RIcsEvent;
class RIcsLexer;
class RIcsOrganizer;
class RIcsRecurrence;
class RIcsTimeZone;
class RIcsToDo;
class RIcsZoneMemo;

// An X- property: kept on the component, never written.
struct RIcsXProperty {
    std::string name;   // at most 63 characters
    std::string value;  // raw value
};

// Parses make and free components by the hundred: their blocks are recycled per thread.
class RIcsComponent : public RRefCounted, public RRecycled {
public:
    RIcsComponent();
    ~RIcsComponent() override;

    // Reads the value of the property `name` (as written, in any case) from the parse position
    // into this component.
    virtual RResult ParseProperty(std::string_view name, RIcsComponent* target);
    // The written text; the base component writes nothing.
    virtual const char* GetText() { return nullptr; }

    // Parses iCalendar text into this object (made as an RIcsCalendar). Children, X-properties
    // and the zone-identifier and EXDATE sets are emptied first. A leading UTF-8 byte-order mark
    // is skipped. R_E_BAD_FORMAT when the text does not start with BEGIN.
    RResult Parse(const char* text);
    // Parse that shares through `memo` (when not null) the zone of each VTIMEZONE block whose text
    // the memo has seen, and remembers the others. The result reads as Parse would give it; the
    // shared zones belong to the memo's thread (see RIcsZoneMemo).
    RResult Parse(const char* text, RIcsZoneMemo* memo);

    // Item setters; each returns 0.
    RResult SetUid(const char* uid);
    // A value "LANGUAGE=xx:" with a two-letter tag is stored from its 13th character on.
    RResult SetSummary(const char* summary);
    RResult SetLocation(const char* location);
    RResult SetDescription(const char* description);
    RResult SetUrl(const char* url);
    RResult SetTransp(const char* transp);
    RResult SetStatus(const char* status);
    RResult SetRecurrenceId(const char* recurrenceId);
    RResult SetDefaultTimeZone(const char* tzid);
    RResult SetSequence(std::int32_t sequence);
    // Date-time and rule setters share the given object (a reference is added); null clears.
    RResult SetDtStart(RIcsDateTime* value);
    RResult SetDtEnd(RIcsDateTime* value);
    RResult SetDtStamp(RIcsDateTime* value);
    RResult SetCreated(RIcsDateTime* value);
    RResult SetLastModified(RIcsDateTime* value);
    RResult SetRecurrence(RIcsRecurrence* rule);
    RResult SetOrganizer(RIcsOrganizer* organizer);

    // Adds a raw EXDATE value to the set (unique) and to the rule's set when there is a rule.
    RResult AddExDate(const char* value);
    // Reads stored EXDATE lines (the form of GetExDateLines) and adds each value.
    RResult SetExDatesFromLines(const char* lines);
    // Reads stored ATTENDEE lines; each value becomes a new attendee. A line that does not
    // parse is dropped and ends the reading.
    RResult SetAttendeesFromLines(const char* lines);

    // Takes a reference and appends to the owner's events / to-dos, then collects the zone ids.
    static RResult AddEventChild(RIcsEvent* event, RIcsComponent* owner);
    static RResult AddToDoChild(RIcsToDo* todo, RIcsComponent* owner);
    // Takes a reference and appends to the attendee list.
    RResult AddAttendee(RIcsAttendee* attendee);
    // Adds the TZIDs of the event's DTSTART and DTEND to the owner's zone-identifier set.
    static RResult CollectTimeZoneIds(RIcsComponent* event, RIcsComponent* owner);
    // DTEND; without one, DTSTART plus the DURATION when there is one, else for a date-only
    // DTSTART the next day, is stored as DTEND first.
    RIcsDateTime* GetEffectiveDtEnd();
    // The DURATION read with the component (days and seconds, neither negative); false when none.
    bool GetDuration(std::int32_t& days, std::int64_t& seconds) const;
    // One "EXDATE" line (CR LF ended) per stored value, or null without values; cached.
    const char* GetExDateLines();
    // One "ATTENDEE" line per attendee that has a text, or null without attendees; cached.
    const char* GetAttendeeLines();

    // Fields. Optional texts give null when absent.
    const char* GetName() const { return name_.c_str(); }
    float GetVersion() const { return version_; }
    const char* GetProdId() const { return prodId_.c_str(); }
    const char* GetSummary() const { return Optional(summary_); }
    const char* GetUid() const { return Optional(uid_); }
    const char* GetLocation() const { return Optional(location_); }
    const char* GetDescription() const { return Optional(description_); }
    const char* GetUrl() const { return Optional(url_); }
    const char* GetDefaultTimeZone() const { return Optional(defaultTimeZone_); }
    RIcsDateTime* GetDtStart() const { return dtStart_; }
    RIcsDateTime* GetDtEnd() const { return dtEnd_; }
    RIcsDateTime* GetDtStamp() const { return dtStamp_; }
    RIcsDateTime* GetCreated() const { return created_; }
    RIcsDateTime* GetLastModified() const { return lastModified_; }
    // Never set by the parser.
    RIcsDateTime* GetAlarmTrigger() const { return alarmTrigger_; }
    RIcsRecurrence* GetRecurrence() const { return rrule_; }
    const RIcsStringSet& GetExDates() const { return exDates_; }
    std::int32_t GetSequence() const { return sequence_; }
    const char* GetRecurrenceId() const { return recurrenceId_.c_str(); }
    const char* GetStatus() const { return status_.c_str(); }
    const char* GetTransp() const { return transp_.c_str(); }
    RIcsOrganizer* GetOrganizer() const { return organizer_; }
    const std::vector<RIcsXProperty>& GetXProperties() const { return xProperties_; }
    // The zone identifiers that the events' DTSTART and DTEND refer to, in first-seen order.
    const RIcsStringSet& GetTimeZoneIds() const { return timeZoneIds_; }

    // Children; each list holds one reference per entry. Out-of-range positions give null.
    const RList& GetTimeZoneList() const { return timeZones_; }
    const RList& GetEventList() const { return events_; }
    const RList& GetToDoList() const { return toDos_; }
    const RList& GetAttendeeList() const { return attendees_; }
    int GetTimeZoneCount() const { return timeZones_.count; }
    int GetEventCount() const { return events_.count; }
    int GetToDoCount() const { return toDos_.count; }
    int GetAttendeeCount() const { return attendees_.count; }
    RIcsTimeZone* GetTimeZoneAt(int index) const;
    RIcsEvent* GetEventAt(int index) const;
    RIcsToDo* GetToDoAt(int index) const;
    RIcsAttendee* GetAttendeeAt(int index) const;

protected:
    static const char* Optional(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }
    static void SetOptional(std::optional<std::string>& field, const char* text);

    // Parsing (the reading position is the lexer's; set while a parse runs).
    RResult ParseTopLevel(RIcsLexer& lexer);
    RResult ParseComponentBody(RIcsLexer& lexer);
    RResult ParseCalendarBody(RIcsLexer& lexer) { return ParseComponentBody(lexer); }
    RResult ReadComponentName(RIcsLexer& lexer, std::string_view& out);
    RResult ParseTimeZoneChild(RIcsLexer& lexer);
    RResult ParseSharedTimeZoneChild(RIcsLexer& lexer, RIcsZoneMemo& memo);
    RResult ParseTimeZoneRuleChild(RIcsLexer& lexer, std::string_view ruleName);
    RResult ParseEventChild(RIcsLexer& lexer);
    RResult ParseToDoChild(RIcsLexer& lexer);
    template <typename Child, typename Attach>
    RResult ParseChild(RIcsLexer& lexer, std::string_view name, Attach attach);
    RResult SkipComponent(RIcsLexer& lexer, const std::string& name);

    // Property readers.
    RResult ReadValue();
    // The value after the property's parameters, which are passed over.
    RResult ReadPlainValue();
    RResult ReadTextValue(std::optional<std::string>& field);
    RResult ParseDateTimeProperty(RIcsDateTime*& field);
    RResult ParseRRuleProperty(RIcsRecurrence*& field);
    RResult ParseAttendeeProperty(RIcsComponent* target);
    RResult ParseOrganizerProperty(RIcsComponent* target);
    RResult AddXProperty(std::string_view name);
    // The value just read, cut to maxChars.
    std::string_view ValueCut(std::size_t maxChars) const;

    // Takes a reference and appends to the time zones.
    RResult AppendTimeZone(RIcsTimeZone* zone);

    RIcsLexer* lexer_ = nullptr;  // only while a parse runs

private:
    void ReleaseChildren();
    // Appends a value to the rule's EXDATE list; only for a value that is new to a mirroring rule.
    static void AppendRuleExDate(RIcsRecurrence* rule, const std::string& value);
    void ClearAttendees();

    RList timeZones_;
    RList events_;
    RList toDos_;
    float version_ = 2.0f;
    std::string prodId_;
    std::string name_;
    std::optional<std::string> summary_;
    std::optional<std::string> uid_;
    std::optional<std::string> location_;
    std::optional<std::string> description_;
    std::optional<std::string> url_;
    RIcsDateTime* dtStart_ = nullptr;
    RIcsDateTime* dtEnd_ = nullptr;
    RIcsRecurrence* rrule_ = nullptr;
    // True while the rule's EXDATE set holds exactly this component's values (a rule this
    // component parsed); new values can then join it without a search of its list.
    bool ruleMirrorsExDates_ = false;
    RIcsStringSet exDates_;
    std::optional<std::string> exDateLines_;
    RIcsDateTime* dtStamp_ = nullptr;
    RIcsDateTime* created_ = nullptr;
    RIcsDateTime* lastModified_ = nullptr;
    RIcsDateTime* alarmTrigger_ = nullptr;
    std::int32_t sequence_ = 0;
    // DURATION: whole days (weeks included) and seconds; durationDays_ < 0 means none.
    std::int32_t durationDays_ = -1;
    std::int64_t durationSeconds_ = 0;
    std::string recurrenceId_;
    std::string status_;
    std::string transp_;
    RIcsOrganizer* organizer_ = nullptr;
    RList attendees_;
    std::optional<std::string> attendeeLines_;
    std::vector<RIcsXProperty> xProperties_;
    RIcsStringSet timeZoneIds_;
    std::optional<std::string> defaultTimeZone_;

    friend class RIcsTimeZoneComponent;  // sets its name when rebuilt from the store
};
