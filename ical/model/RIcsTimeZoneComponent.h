#pragma once
// One rule of a VTIMEZONE: its DAYLIGHT or STANDARD part with name, offsets, RRULE and DTSTART.
// The RRULE and DTSTART are the component's own (GetRecurrence, GetDtStart).
// Needs its owner's lock, as every component.
#include <string>

#include "ical/model/RIcsComponent.h"
#include "ical/value/IcsValueParsers.h"

class RIcsTimeZoneComponent : public RIcsComponent {
public:
    // TZNAME, TZOFFSETFROM and TZOFFSETTO; anything else goes to the base dispatch.
    RResult ParseProperty(std::string_view name, RIcsComponent* target) override;

    // Fills the rule from the store's form: offsets in (fractional) hours, the rule text, and a
    // start in the stored date-time form. Null or empty rrule / dtstart mean none.
    RResult Set(const char* name, const char* tzname, double offsetFromHours, double offsetToHours,
                const char* rrule, const char* dtstart);

    const char* GetTzName() const { return tzName_.c_str(); }
    const RIcsUtcOffset& GetOffsetFrom() const { return offsetFrom_; }
    const RIcsUtcOffset& GetOffsetTo() const { return offsetTo_; }

    // Offset of a number of hours: every part truncated toward zero and carrying the sign.
    static RIcsUtcOffset OffsetFromHours(double hours);

private:
    std::string tzName_;
    RIcsUtcOffset offsetFrom_;
    RIcsUtcOffset offsetTo_;
};
