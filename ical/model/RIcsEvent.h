#pragma once
// A VEVENT.
// Needs its owner's lock, as every component (the written text is cached by GetText).
#include "ical/model/RIcsComponent.h"
#include "ical/writer/RIcsTextCache.h"

class RIcsEvent : public RIcsComponent {
public:
    // The event's text in the program's property order; null when it has no DTSTART.
    const char* GetText() override;
    void BuildText();

private:
    RIcsTextCache text_;
};
