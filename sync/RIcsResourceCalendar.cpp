#include "sync/RIcsResourceCalendar.h"

#include <set>

#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"

RIcsResourceCalendar::RIcsResourceCalendar(IcsResourceParts base, std::string ownUid, bool keepOtherEvents)
    : base_(std::move(base)), ownUid_(std::move(ownUid)), keepOtherEvents_(keepOtherEvents) {}

RResult RIcsResourceCalendar::AddMergedEvent(RIcsEvent* event, const IcsRawEvent* replaces, bool writeEnd,
                                             bool dropSeriesRules) {
    const RResult added = AddEvent(event);
    if (added == R_OK) {
        merges_.push_back({event, replaces, writeEnd, dropSeriesRules});
    }
    return added;
}

void RIcsResourceCalendar::KeepEvent(const IcsRawEvent* event) {
    if (event != nullptr) {
        kept_.push_back(event);
    }
}

namespace {

void AppendRawEvent(std::string& text, const IcsRawEvent& event) {
    text += "BEGIN:VEVENT\r\n";
    for (const IcsRawEntry& entry : event.entries) {
        text += entry.raw;
    }
    text += "END:VEVENT\r\n";
}

}  // namespace

const char* RIcsResourceCalendar::GetText() {
    // Built every time: zones may have been added since (AddTimeZone is not ours to watch).
    BuildText();
    return text_.c_str();
}

void RIcsResourceCalendar::BuildText() {
    text_ = "BEGIN:VCALENDAR\r\n";
    if (base_.valid && !base_.calendarProperties.empty()) {
        for (const IcsRawEntry& property : base_.calendarProperties) {
            text_ += property.raw;
        }
    } else {
        text_ += "VERSION:2.0\r\nPRODID:-//BrenmoorTech LLC.//Orvane 1.0.0//EN\r\nCALSCALE:GREGORIAN\r\n";
    }
    std::set<std::string> zonesWritten;
    for (const IcsRawZone& zone : base_.zones) {
        text_ += zone.raw;
        zonesWritten.insert(zone.tzid);
    }
    for (int i = 0; i < GetTimeZoneCount(); ++i) {
        RIcsTimeZone* zone = GetTimeZoneAt(i);
        if (zone != nullptr && zonesWritten.insert(zone->GetTzid()).second) {
            if (const char* text = zone->GetText()) {
                text_ += text;
            }
        }
    }
    for (const Merge& merge : merges_) {
        if (const char* generated = merge.event->GetText()) {
            text_ += MergeIcsEvent(merge.replaces, generated, merge.writeEnd, merge.dropSeriesRules);
        }
    }
    for (const IcsRawEvent* event : kept_) {
        AppendRawEvent(text_, *event);
    }
    if (keepOtherEvents_) {
        for (const IcsRawEvent& event : base_.events) {
            if (event.uid != ownUid_) {
                AppendRawEvent(text_, event);
            }
        }
        for (const std::string& other : base_.others) {
            text_ += other;
        }
    }
    text_ += "END:VCALENDAR\r\n";
}
