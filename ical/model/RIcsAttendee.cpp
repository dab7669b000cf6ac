#include "ical/model/RIcsAttendee.h"

#include <cstring>
#include <string>

#include "ical/model/RIcsFieldLimits.h"
#include "ical/parser/RIcsLexer.h"

namespace {

// Removes one pair of surrounding quote characters from a text longer than 2 characters.
void StripQuotes(std::string_view& text, char quote) {
    if (text.size() > 2 && text.front() == quote && text.back() == quote) {
        text = text.substr(1, text.size() - 2);
    }
}

}  // namespace

RResult RIcsAttendee::Parse(const char* value) {
    if (value == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    return Parse(std::string_view(value, std::strlen(value)));
}

RResult RIcsAttendee::Parse(std::string_view text) {
    text_.Drop();
    const std::size_t colon = text.find(':');
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || (colon != std::string_view::npos && equals > colon)) {
        AssignCut(address_, text, ics_limits::kAttendeeAddress);  // a bare address with its scheme
        return R_OK;
    }
    std::size_t pos = 0;
    std::string_view token;
    while (ReadTokenFromString(text, pos, token) == R_OK) {
        if (token == ":") {
            AssignCut(address_, text.substr(pos), ics_limits::kAttendeeAddress);
            return R_OK;
        }
        if (token == ";" || token == "=") {
            continue;
        }
        const std::string_view name = token;
        if (pos >= text.size() || text[pos] != '=') {
            continue;  // a parameter without a value
        }
        ++pos;
        // The value runs to the next ';' or ':'; a further '=' belongs to it. A quoted run is
        // taken whole, so that SENT-BY="mailto:a@x" or CN="Room: A" cannot end the parameters
        // early and leave their rest to be taken as the address; a quote never closed is an
        // ordinary character. The value is the run of text passed over, without leading blanks.
        const std::size_t valueStart = pos;
        while (pos < text.size() && text[pos] != ';' && text[pos] != ':') {
            if (text[pos] == '"') {
                const std::size_t close = text.find('"', pos + 1);
                pos = close != std::string_view::npos ? close + 1 : pos + 1;
                continue;
            }
            ++pos;
            while (pos < text.size() && text[pos] != ';' && text[pos] != ':' && text[pos] != '"') {
                ++pos;
            }
        }
        std::string_view parameterValue = text.substr(valueStart, pos - valueStart);
        const std::size_t first = parameterValue.find_first_not_of(" \t\r\n\f");
        parameterValue.remove_prefix(first == std::string_view::npos ? parameterValue.size() : first);
        SetParameter(parameterValue, name);
    }
    // Parameters without an address: dropped when the value ends in a delimiter, else kept.
    return !text.empty() && RIcsLexer::IsDelimiter(text.back()) ? R_E_END_OF_TEXT : R_OK;
}

RResult RIcsAttendee::SetAddress(std::string_view address) {
    text_.Drop();
    AssignCut(address_, address, ics_limits::kAttendeeAddress);
    return R_OK;
}

RResult RIcsAttendee::SetParameter(std::string_view value, std::string_view givenName) {
    const std::string_view name = givenName;  // parameter names compare without case
    std::string* field = nullptr;
    if (SameName(name, "CN")) {
        field = &cn_;
    } else if (SameName(name, "EMAIL")) {
        field = &email_;
    } else if (SameName(name, "CUTYPE")) {
        field = &cuType_;
    } else if (SameName(name, "ROLE")) {
        field = &role_;
    } else if (SameName(name, "RSVP")) {
        field = &rsvp_;
    } else if (SameName(name, "PARTSTAT")) {
        field = &partStat_;
    } else if (SameName(name, "SCHEDULE-STATUS")) {
        field = &scheduleStatus_;
    } else if (SameName(name, "DELEGATED-FROM")) {
        field = &delegatedFrom_;
    } else {
        return R_OK;
    }
    // Quotes go before the value is cut to its field, so that a long quoted value loses its
    // quotes and not its closing quote. Every field loses them: the writer quotes any value that
    // holds a delimiter, and the quotes are no part of the value it wrote.
    std::string_view text = value;
    if (field == &cn_) {
        StripQuotes(text, '\'');
    }
    StripQuotes(text, '"');
    AssignCut(*field, text, ics_limits::kAttendeeParameter);
    text_.Drop();
    return R_OK;
}

int CompareAttendeesByName(const void* a, const void* b) {
    const int order = std::strcmp(static_cast<const RIcsAttendee*>(a)->GetCn(), static_cast<const RIcsAttendee*>(b)->GetCn());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}
