#pragma once
// The VCALENDAR that an item's save uploads: built over the resource's text as the server sent
// it, so what other clients wrote survives. Its events are real RIcsEvent objects (the upload
// reads their UIDs and zone identifiers and adds the VTIMEZONEs they lack); its text is the
// received text with each of those events merged over the event it replaces.
//
// Threads: one thread only.
#include <string>
#include <vector>

#include "ical/model/RIcsCalendar.h"
#include "sync/IcsResourceText.h"

class RIcsResourceCalendar : public RIcsCalendar {
public:
    // `base` is the received resource (invalid parts: none). Its events whose UID is not
    // `ownUid` belong to other items and are kept as they are when `keepOtherEvents`.
    RIcsResourceCalendar(IcsResourceParts base, std::string ownUid, bool keepOtherEvents);

    // Adds an event with the received event it replaces (null: none) and how to merge.
    RResult AddMergedEvent(RIcsEvent* event, const IcsRawEvent* replaces, bool writeEnd, bool dropSeriesRules);
    // Keeps a received event of the base as it is.
    void KeepEvent(const IcsRawEvent* event);

    const char* GetText() override;
    void BuildText() override;

    const IcsResourceParts& Base() const { return base_; }

private:
    struct Merge {
        RIcsEvent* event;  // held by the event list
        const IcsRawEvent* replaces;
        bool writeEnd;
        bool dropSeriesRules;
    };

    IcsResourceParts base_;
    std::string ownUid_;
    bool keepOtherEvents_;
    std::vector<Merge> merges_;
    std::vector<const IcsRawEvent*> kept_;
    std::string text_;
};
