// The texts of events and to-dos.
#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "ical/writer/RIcsTextWriter.h"

namespace {

constexpr int kUsualTextOctets = 640;

void AppendStampLine(const char* name, RIcsDateTime* value, RHeapBuffer** buffer, RIcsLineFolding* folding) {
    if (value != nullptr) {
        AppendPropertyLine(name, buffer, value->GetIcsValue(true), folding);
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
    // Room for a usual event's text from the start, so that its lines seldom make it grow.
    if (RHeapBuffer* room = RHeapBuffer::Create(kUsualTextOctets); room != nullptr) {
        room->size = 0;
        *out = room;
    }
    // Long lines are folded as they are written; the few fixed lines are short.
    RIcsLineFolding folding;
    AppendToHeapString("BEGIN:VEVENT\r\n", out);
    AppendTextLine("UID", out, GetUid(), &folding);
    AppendTextLine("SUMMARY", out, GetSummary(), &folding);
    AppendDateTimeLine("DTSTART", GetDtStart(), out, &folding);
    AppendDateTimeLine("DTEND", GetEffectiveDtEnd(), out, &folding);
    // A rule without FREQ writes no text; the event is then written as one without a rule.
    RIcsRecurrence* rule = GetRecurrence();
    if (const char* ruleText = rule != nullptr ? rule->GetText() : nullptr; ruleText != nullptr) {
        AppendTextLine("RRULE", out, ruleText, &folding);
        if (const char* lines = GetExDateLines(); lines != nullptr) {
            AppendToHeapString(lines, out, &folding);
        }
    }
    // Also with a rule: an exception that repeats on its own stays an exception of its series.
    AppendRawValueLine("RECURRENCE-ID", out, GetRecurrenceId(), &folding);
    AppendTextLine("LOCATION", out, GetLocation(), &folding);
    AppendTextLine("URL", out, GetUrl(), &folding);
    AppendStampLine("DTSTAMP", GetDtStamp(), out, &folding);
    AppendStampLine("CREATED", GetCreated(), out, &folding);
    AppendStampLine("LAST-MODIFIED", GetLastModified(), out, &folding);
    if (GetSequence() != 0) {
        AppendSequenceLine(out, GetSequence());
    }
    AppendTextLine("STATUS", out, GetStatus(), &folding);
    AppendTextLine("TRANSP", out, GetTransp(), &folding);
    AppendTextLine("DESCRIPTION", out, GetDescription(), &folding);
    if (RIcsOrganizer* organizer = GetOrganizer()) {
        AppendPropertyLine("ORGANIZER", out, organizer->GetText(), &folding);
    }
    for (RListNode* node = GetAttendeeList().head; node != nullptr; node = node->next) {
        AppendPropertyLine("ATTENDEE", out, static_cast<RIcsAttendee*>(node->payload)->GetText(), &folding);
    }
    AppendToHeapString("END:VEVENT\r\n", out);
    if (folding.unfolded) {
        FoldLongLinesIn(out);
    }
}

const char* RIcsToDo::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsToDo::BuildText() {
    text_.Drop();  // a to-do writes nothing
}
