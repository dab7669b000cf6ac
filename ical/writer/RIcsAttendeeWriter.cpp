// The texts of attendees and organizers: parameters, ":" and the address.
#include "ical/model/RIcsAttendee.h"
#include "ical/writer/RIcsTextWriter.h"

#include <initializer_list>

namespace {

// A value holding ',', ';' or ':' must be quoted to stay one parameter value ("Doe, Jo"); a
// quoted value cannot hold a quote, so quotes inside a value are left out.
void AppendParameter(const char* prefix, const std::string& value, RHeapBuffer** out, bool quoted = false) {
    std::string text;
    for (char c : value) {
        if (c != '"') text.push_back(c);
    }
    if (text.empty()) {
        return;
    }
    // Leading blanks are dropped from an unquoted value when it is read, and a pair of
    // surrounding apostrophes from an unquoted name, so they are quoted too.
    const bool inApostrophes = text.size() > 2 && text.front() == '\'' && text.back() == '\'';
    quoted = quoted || inApostrophes || text.find_first_of(",;:") != std::string::npos || text.find_first_of(" \t\f") == 0;
    AppendToHeapString(prefix, out);
    if (quoted) {
        AppendToHeapString("\"", out);
    }
    AppendToHeapString(text.c_str(), out);
    if (quoted) {
        AppendToHeapString("\"", out);
    }
}

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
    AppendToHeapString(":", out);
    AppendToHeapString(address.c_str(), out);
}

}  // namespace

const char* RIcsAttendee::GetText() {
    return text_.Get([this](RHeapBuffer**) { BuildText(); });
}

void RIcsAttendee::BuildText() {
    WriteAddressText(text_, address_,
                     {{";CN=", cn_},
                      {";EMAIL=", email_, true},
                      {";CUTYPE=", cuType_},
                      {";PARTSTAT=", partStat_},
                      {";ROLE=", role_},
                      {";RSVP=", rsvp_},
                      {";SCHEDULE-STATUS=", scheduleStatus_},
                      {";DELEGATED-FROM=", delegatedFrom_, true}});
}

void RIcsOrganizer::BuildText() { WriteAddressText(text_, address_, {{";CN=", cn_}, {";EMAIL=", email_, true}}); }
