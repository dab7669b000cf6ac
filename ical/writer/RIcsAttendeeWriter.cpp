// The texts of attendees and organizers: parameters, ":" and the address.
#include "ical/model/RIcsAttendee.h"
#include "ical/writer/RIcsTextWriter.h"

namespace {

void AppendParameter(const char* prefix, const std::string& value, RHeapBuffer** out, bool quoted = false) {
    if (value.empty()) {
        return;
    }
    AppendToHeapString(prefix, out);
    if (quoted) {
        AppendToHeapString("\"", out);
    }
    AppendToHeapString(value.c_str(), out);
    if (quoted) {
        AppendToHeapString("\"", out);
    }
}

}  // namespace

const char* RIcsAttendee::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsAttendee::BuildText() {
    text_.Drop();
    if (address_.empty()) {
        return;
    }
    RHeapBuffer** out = text_.Buffer();
    AppendParameter(";CN=", cn_, out);
    AppendParameter(";EMAIL=", email_, out, true);
    AppendParameter(";CUTYPE=", cuType_, out);
    AppendParameter(";PARTSTAT=", partStat_, out);
    AppendParameter(";ROLE=", role_, out);
    AppendParameter(";RSVP=", rsvp_, out);
    AppendParameter(";SCHEDULE-STATUS=", scheduleStatus_, out);
    AppendParameter(";DELEGATED-FROM=", delegatedFrom_, out, true);
    AppendParameter(":", address_, out);
}

void RIcsOrganizer::BuildText() {
    text_.Drop();
    if (address_.empty()) {
        return;
    }
    RHeapBuffer** out = text_.Buffer();
    AppendParameter(";CN=", cn_, out);
    AppendParameter(";EMAIL=", email_, out, true);
    AppendParameter(":", address_, out);
}
