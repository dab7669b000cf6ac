// The texts of attendees and organizers: parameters, ":" and the address.
#include "ical/model/RIcsAttendee.h"
#include "ical/writer/RIcsTextWriter.h"

#include <initializer_list>

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

// A name holding ',', ';' or ':' must be quoted to stay one parameter value ("Doe, Jo").
bool NeedsQuotes(const std::string& value) { return value.find_first_of(",;:") != std::string::npos; }

struct Parameter {
    const char* prefix;
    const std::string& value;
    bool quoted = false;
};

// The parameters that are set, in the order given, then ":" and the address; nothing without an address.
void WriteAddressText(RIcsTextCache& text, const std::string& address, std::initializer_list<Parameter> parameters) {
    text.Drop();
    if (address.empty()) {
        return;
    }
    RHeapBuffer** out = text.Buffer();
    for (const Parameter& parameter : parameters) {
        AppendParameter(parameter.prefix, parameter.value, out, parameter.quoted);
    }
    AppendParameter(":", address, out);
}

}  // namespace

const char* RIcsAttendee::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsAttendee::BuildText() {
    WriteAddressText(text_, address_,
                     {{";CN=", cn_, NeedsQuotes(cn_)},
                      {";EMAIL=", email_, true},
                      {";CUTYPE=", cuType_},
                      {";PARTSTAT=", partStat_},
                      {";ROLE=", role_},
                      {";RSVP=", rsvp_},
                      {";SCHEDULE-STATUS=", scheduleStatus_},
                      {";DELEGATED-FROM=", delegatedFrom_, true}});
}

void RIcsOrganizer::BuildText() { WriteAddressText(text_, address_, {{";CN=", cn_, NeedsQuotes(cn_)}, {";EMAIL=", email_, true}}); }
