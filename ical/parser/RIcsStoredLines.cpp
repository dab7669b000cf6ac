// Readers of the lines the store keeps for a component: its EXDATE lines and ATTENDEE lines.
#include <cstring>
#include <new>
#include <string>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsComponent.h"
#include "ical/model/RIcsFieldLimits.h"
#include "ical/parser/RIcsLexer.h"

namespace {

// Calls handle(value) for each stored line "NAME" delimiter value, until the end of the text or
// the first read error; values are cut to maxChars. handle returns false to stop the reading.
template <typename Handler>
void ForEachStoredLine(const char* lines, std::size_t maxChars, Handler handle) {
    if (lines == nullptr) {
        return;
    }
    const std::string_view text(lines, std::strlen(lines));
    std::size_t pos = 0;
    std::string name;
    std::string value;
    for (;;) {
        while (pos < text.size() && RIcsLexer::IsDelimiter(text[pos])) {
            ++pos;
        }
        if (ReadTokenFromString(text, pos, name) != R_OK) {
            return;
        }
        const bool bare = pos < text.size() && text[pos] == ':';  // no parameters before the value
        if (ReadLineValueFromString(text, pos, value) != R_OK) {
            return;
        }
        if (!handle(std::string(CutToLimit(value, maxChars)), bare)) {
            return;
        }
    }
}

}  // namespace

RResult RIcsComponent::SetExDatesFromLines(const char* lines) {
    // Stored values keep the parser's limit, so what was parsed comes back whole.
    ForEachStoredLine(lines, ics_limits::kExDate, [this](const std::string& value, bool) {
        AddExDate(value.c_str());
        return true;
    });
    return R_OK;
}

RResult RIcsComponent::SetAttendeesFromLines(const char* lines) {
    ForEachStoredLine(lines, ics_limits::kStoredAttendeeLine, [this](const std::string& value, bool bare) {
        auto* attendee = new (std::nothrow) RIcsAttendee();
        if (attendee == nullptr) {
            return false;
        }
        const bool parsed = (bare ? attendee->SetAddress(value) : attendee->Parse(value.c_str())) == R_OK;
        if (parsed) {
            AddAttendee(attendee);
        }
        attendee->Release();
        return parsed;
    });
    return R_OK;
}
