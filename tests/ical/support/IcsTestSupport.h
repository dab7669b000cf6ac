#pragma once
// Helpers shared by the iCalendar model, parser and writer tests.
#include <string>
#include <string_view>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RRef.h"
#include "ical/model/RIcsCalendar.h"

namespace ics_test {

// A calendar parsed from text; result receives the parse's result code.
struct Parsed {
    explicit Parsed(std::string_view text) : calendar(MakeRef<RIcsCalendar>()) {
        const std::string copy(text);
        result = calendar->Parse(copy.c_str());
    }
    RIcsCalendar* operator->() const { return calendar.get(); }
    RRef<RIcsCalendar> calendar;
    RResult result = 0;
};

// Replaces every "\n" by the given line end, so one sample serves CR LF, LF and CR files.
inline std::string WithLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += lineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string Str(const char* text) { return text != nullptr ? text : "<null>"; }

}  // namespace ics_test
