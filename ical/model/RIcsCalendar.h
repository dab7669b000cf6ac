#pragma once
// The VCALENDAR: parsed from text, or assembled for an upload from an event and its zones.
// Needs its owner's lock: parsing, the setters and the text caches of GetText change it.
#include "ical/model/RIcsComponent.h"
#include "ical/writer/RIcsTextCache.h"

class RIcsCalendar : public RIcsComponent {
public:
    // Declared so that `new RIcsCalendar()` runs the member initialisers without first zeroing
    // the whole object.
    RIcsCalendar();

    const char* GetText() override;
    // Writes the calendar: fixed header lines, the zones', events' and to-dos' texts, END line.
    virtual void BuildText();

    // Drop the cached text, take a reference and append; AddEvent also collects the event's
    // zone ids (and gives an all-day event without DTEND its DTEND). Both return 0, or
    // R_E_OUT_OF_MEMORY / R_E_INVALID_ARGUMENT.
    RResult AddTimeZone(RIcsTimeZone* zone);
    RResult AddEvent(RIcsEvent* event);
    // The first zone whose TZID equals tzid exactly; out is set only on success.
    RResult FindTimeZone(const char* tzid, RIcsTimeZone** out) const;

private:
    RIcsTextCache text_;
};
