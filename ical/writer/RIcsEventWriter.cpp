// The texts of events and to-dos.
#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "ical/writer/RIcsTextWriter.h"

namespace {

void AppendStampLine(const char* name, RIcsDateTime* value, RHeapBuffer** buffer) {
    if (value != nullptr) {
        AppendPropertyLine(name, buffer, value->GetIcsValue(true));
    }
}

}  // namespace

const char* RIcsEvent::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsEvent::BuildText() {
    text_.Drop();
    if (GetDtStart() == nullptr) {
        return;
    }
    RHeapBuffer** out = text_.Buffer();
    AppendToHeapString("BEGIN:VEVENT\r\n", out);
    AppendPropertyLine("UID", out, GetUid());
    AppendPropertyLine("SUMMARY", out, GetSummary());
    AppendDateTimeLine("DTSTART", GetDtStart(), out);
    AppendDateTimeLine("DTEND", GetEffectiveDtEnd(), out);
    if (RIcsRecurrence* rule = GetRecurrence()) {
        AppendPropertyLine("RRULE", out, rule->GetText());
        AppendToHeapString(GetExDateLines(), out);
    } else {
        AppendPropertyLine("RECURRENCE-ID", out, GetRecurrenceId());
    }
    AppendPropertyLine("LOCATION", out, GetLocation());
    AppendStampLine("DTSTAMP", GetDtStamp(), out);
    AppendStampLine("CREATED", GetCreated(), out);
    AppendStampLine("LAST-MODIFIED", GetLastModified(), out);
    if (GetSequence() != 0) {
        AppendSequenceLine(out, GetSequence());
    }
    AppendPropertyLine("STATUS", out, GetStatus());
    AppendPropertyLine("TRANSP", out, GetTransp());
    AppendPropertyLine("DESCRIPTION", out, GetDescription());
    if (RIcsOrganizer* organizer = GetOrganizer()) {
        AppendPropertyLine("ORGANIZER", out, organizer->GetText());
    }
    for (RListNode* node = GetAttendeeList().head; node != nullptr; node = node->next) {
        AppendPropertyLine("ATTENDEE", out, static_cast<RIcsAttendee*>(node->payload)->GetText());
    }
    AppendToHeapString("END:VEVENT\r\n", out);
}

const char* RIcsToDo::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsToDo::BuildText() {
    text_.Drop();  // a to-do writes nothing
}
