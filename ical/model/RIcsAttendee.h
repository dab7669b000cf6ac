#pragma once
// An ATTENDEE (and, below, the ORGANIZER): the parameters the program keeps and the address.
// Needs its owner's lock: the written text is cached by GetText.
#include <string>
#include <string_view>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RRecycled.h"
#include "foundation/memory/RefCounted.h"
#include "ical/writer/RIcsTextCache.h"

// Reference counted on its own, not a component: a parse makes one per ATTENDEE line, and it
// holds nothing of a component's.
class RIcsAttendee : public RRefCounted, public RRecycled {
public:
    // ";PARAM=..." pairs followed by ":" and the address, or nothing without an address.
    virtual const char* GetText();
    virtual void BuildText();

    // Reads a property value: parameters up to the first ':' then the address, or the whole value
    // as the address when no '=' comes before the first ':'. R_E_END_OF_TEXT when the value has
    // parameters but no address and ends in a delimiter.
    RResult Parse(const char* value);
    // The same from a text that need not be terminated.
    RResult Parse(std::string_view value);
    // The whole value as the address (a property line without parameters).
    RResult SetAddress(std::string_view address);
    // Stores one parameter the program keeps; other names are ignored.
    RResult SetParameter(std::string_view value, std::string_view name);

    const char* GetCn() const { return cn_.c_str(); }
    const char* GetEmail() const { return email_.c_str(); }
    const char* GetCuType() const { return cuType_.c_str(); }
    const char* GetRole() const { return role_.c_str(); }
    const char* GetRsvp() const { return rsvp_.c_str(); }
    const char* GetPartStat() const { return partStat_.c_str(); }
    const char* GetScheduleStatus() const { return scheduleStatus_.c_str(); }
    const char* GetDelegatedFrom() const { return delegatedFrom_.c_str(); }
    const char* GetAddress() const { return address_.c_str(); }

protected:
    RIcsTextCache text_;

    std::string cn_;
    std::string email_;
    std::string cuType_;
    std::string role_;
    std::string rsvp_;
    std::string partStat_;
    std::string scheduleStatus_;
    std::string delegatedFrom_;
    std::string address_;
};

class RIcsOrganizer : public RIcsAttendee {
public:
    // ";CN=" and ";EMAIL=" when set, then ":" and the address; nothing without an address.
    void BuildText() override;
};

// Byte order of the attendees' CN fields: -1, 0 or 1 (the item model's sorted attendee list).
int CompareAttendeesByName(const void* a, const void* b);
