#pragma once
// iCalendar texts made up for the tests: `count` single events whose UIDs are prefix-0, prefix-1, ...
#include <string>

#include "ical/model/RIcsCalendar.h"
#include "store/ROrvaneDataManager.h"

namespace orvane::test {

// The VEVENT blocks alone, to be wrapped with CalendarOf.
inline std::string EventBlocks(const std::string& prefix, int count, const std::string& summary = "Planned") {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "BEGIN:VEVENT\r\nUID:" + prefix + "-" + std::to_string(i) + "\r\nSUMMARY:" + summary +
                "\r\nDTSTART:20201201T090000\r\nDTEND:20201201T100000\r\nEND:VEVENT\r\n";
    }
    return text;
}

inline std::string CalendarOf(const std::string& blocks) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + blocks + "END:VCALENDAR\r\n";
}

inline std::string EventsText(const std::string& prefix, int count, const std::string& summary = "Planned") {
    return CalendarOf(EventBlocks(prefix, count, summary));
}

// Parses the text and imports it into calendar "cal" of account "acc"; the import's result, or
// the parser's when it fails.
inline RResult ImportText(ROrvaneDataManager* store, const std::string& text, const char* calendar = "cal") {
    RIcsCalendar* parsed = new RIcsCalendar();
    RResult result = parsed->Parse(text.c_str());
    if (result == R_OK) {
        result = store->ImportIcsCalendar("acc", calendar, "import.ics", "", "", parsed);
    }
    parsed->Release();
    return result;
}

}  // namespace orvane::test
