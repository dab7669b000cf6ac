#pragma once
// Helpers shared by the iCalendar model, parser and writer tests.
#include <string>
#include <string_view>

#include "foundation/ResultCodes.h"
#include "ical/model/RIcsCalendar.h"

namespace ics_test {

// Releases a reference-counted object at the end of a scope.
template <typename T>
struct Held {
    explicit Held(T* object = nullptr) : ptr(object) {}
    ~Held() { if (ptr != nullptr) ptr->Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return ptr; }
    T* get() const { return ptr; }
    T* ptr;
};

// A calendar parsed from text; result receives the parse's result code.
struct Parsed {
    explicit Parsed(std::string_view text) : calendar(new RIcsCalendar()) {
        const std::string copy(text);
        result = calendar->Parse(copy.c_str());
    }
    RIcsCalendar* operator->() const { return calendar.get(); }
    Held<RIcsCalendar> calendar;
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
