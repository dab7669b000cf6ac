// The text of a calendar and the container operations used to assemble one for an upload.
#include <cstring>

#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsToDo.h"
#include "ical/writer/RIcsTextWriter.h"

RIcsCalendar::RIcsCalendar() = default;

namespace {

// Appends the text of each child, holding a reference while it is appended.
void AppendChildTexts(const RList& children, RHeapBuffer** out) {
    for (RListNode* node = children.head; node != nullptr; node = node->next) {
        auto* child = static_cast<RIcsComponent*>(node->payload);
        child->AddRef();
        AppendToHeapString(child->GetText(), out);
        child->Release();
    }
}

}  // namespace

const char* RIcsCalendar::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsCalendar::BuildText() {
    text_.Drop();
    RHeapBuffer** out = text_.Buffer();
    AppendToHeapString("BEGIN:VCALENDAR\r\n", out);
    AppendToHeapString("VERSION:2.0\r\n", out);
    AppendToHeapString("PRODID:-//BrenmoorTech LLC.//Orvane 1.0.0//EN\r\n", out);
    AppendToHeapString("CALSCALE:GREGORIAN\r\n", out);
    AppendChildTexts(GetTimeZoneList(), out);
    AppendChildTexts(GetEventList(), out);
    AppendChildTexts(GetToDoList(), out);
    AppendToHeapString("END:VCALENDAR\r\n", out);
}

RResult RIcsCalendar::AddTimeZone(RIcsTimeZone* zone) {
    if (zone == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    text_.Drop();
    return AppendTimeZone(zone);
}

RResult RIcsCalendar::AddEvent(RIcsEvent* event) {
    text_.Drop();
    return AddEventChild(event, this);
}

RResult RIcsCalendar::FindTimeZone(const char* tzid, RIcsTimeZone** out) const {
    if (tzid == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    for (RListNode* node = GetTimeZoneList().head; node != nullptr; node = node->next) {
        auto* zone = static_cast<RIcsTimeZone*>(node->payload);
        if (std::strcmp(zone->GetTzid(), tzid) == 0) {
            *out = zone;
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}
