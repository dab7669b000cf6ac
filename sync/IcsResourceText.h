#pragma once
// A calendar resource's text as received (one VCALENDAR), cut into the parts an edit works on:
// the calendar's own properties, its VTIMEZONEs, its VEVENTs and any other components. An
// event's properties are kept as written (folding included), so that an edit can replace just
// the properties the program changes and leave everything else another client wrote (STATUS,
// ORGANIZER, CATEGORIES, CLASS, X- properties, VALARMs ...) as it was.
//
// Threads: plain values, one thread at a time.
#include <string>
#include <string_view>
#include <vector>

// One content line with its continuation lines, each ending CR LF; or a whole nested component.
struct IcsRawEntry {
    std::string name;  // upper-case property name; "BEGIN:X" for a nested component X
    std::string raw;
};

struct IcsRawEvent {
    std::string uid;
    std::string recurrenceId;  // the value after RECURRENCE-ID's name and delimiter, unfolded
    std::vector<IcsRawEntry> entries;  // between BEGIN:VEVENT and END:VEVENT
};

struct IcsRawZone {
    std::string tzid;
    std::string raw;  // BEGIN:VTIMEZONE ... END:VTIMEZONE
};

struct IcsResourceParts {
    bool valid = false;  // the text holds a VCALENDAR
    std::vector<IcsRawEntry> calendarProperties;
    std::vector<IcsRawZone> zones;
    std::vector<IcsRawEvent> events;
    std::vector<std::string> others;  // other components, whole

    // The event with this UID and recurrence identifier (empty: the master); the identifiers
    // are compared by their date-time digits, so parameters written differently still match.
    const IcsRawEvent* FindEvent(std::string_view uid, std::string_view recurrenceId) const;
};

// Cuts `text` into its parts; `valid` is false (and nothing else filled) when there is no
// BEGIN:VCALENDAR. Line ends may be CR LF or LF.
IcsResourceParts SplitIcsResource(std::string_view text);

// The date-time digits of a recurrence identifier ("TZID=X:20240105T100000" -> "20240105T100000").
std::string RecurrenceIdDigits(std::string_view recurrenceId);

// What an edit writes over an existing event: `generated` is the event as the program writes
// it (BEGIN:VEVENT ... END:VEVENT). With no base the generated text is the result. Otherwise the
// base's entries are kept except those the program writes itself, whose generated lines are
// put in their place: UID, SUMMARY, DTSTART, DTEND (with DURATION, only when `writeEnd`),
// RRULE, EXDATE, RECURRENCE-ID, LOCATION, DESCRIPTION, URL, TRANSP, SEQUENCE, DTSTAMP,
// CREATED and LAST-MODIFIED. `dropSeriesRules` also leaves out the base's RDATE and EXRULE
// (an exception made from its master's text).
std::string MergeIcsEvent(const IcsRawEvent* base, std::string_view generated, bool writeEnd, bool dropSeriesRules);
