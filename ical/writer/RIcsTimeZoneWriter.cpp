// The text of a VTIMEZONE with its DAYLIGHT and STANDARD blocks.
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/writer/RIcsTextWriter.h"

namespace {

// A rule's block whenever the rule exists: its offsets matter whether or not it has a name.
void AppendRuleBlock(const char* block, RIcsTimeZoneComponent* rule, RHeapBuffer** out) {
    if (rule == nullptr) {
        return;
    }
    AppendToHeapString("BEGIN:", out);
    AppendToHeapString(block, out);
    AppendToHeapString("\r\n", out);
    AppendTextLine("TZNAME", out, rule->GetTzName());
    AppendUtcOffsetLine(out, "TZOFFSETFROM", rule->GetOffsetFrom());
    AppendUtcOffsetLine(out, "TZOFFSETTO", rule->GetOffsetTo());
    if (RIcsRecurrence* recurrence = rule->GetRecurrence()) {
        AppendTextLine("RRULE", out, recurrence->GetText());
    }
    AppendDateTimeLine("DTSTART", rule->GetDtStart(), out);
    AppendToHeapString("END:", out);
    AppendToHeapString(block, out);
    AppendToHeapString("\r\n", out);
}

}  // namespace

const char* RIcsTimeZone::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsTimeZone::BuildText() {
    text_.Drop();
    RHeapBuffer** out = text_.Buffer();
    AppendToHeapString("BEGIN:VTIMEZONE\r\n", out);
    AppendTextLine("TZID", out, GetTzid());
    if (!readRules_.empty()) {
        // A zone read from text: every block, in the order read.
        for (RIcsTimeZoneComponent* rule : readRules_) {
            AppendRuleBlock(rule->GetName(), rule, out);
        }
    } else {
        AppendRuleBlock("DAYLIGHT", daylight_, out);
        AppendRuleBlock("STANDARD", standard_, out);
    }
    AppendToHeapString("END:VTIMEZONE\r\n", out);
    FoldLongLinesIn(out);
}
