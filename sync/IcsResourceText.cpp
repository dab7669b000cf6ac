#include "sync/IcsResourceText.h"

#include <algorithm>
#include <cctype>

namespace {

// Logical lines: a physical line and the continuation lines after it, each ending CR LF.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (continuation && !lines.empty()) {
            lines.back().append(line).append("\r\n");
        } else if (!line.empty()) {
            lines.emplace_back(line).append("\r\n");
        }
    }
    return lines;
}

// The line without its folds and its line end.
std::string Unfolded(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            continue;
        }
        if (raw[i] == '\n') {
            if (i + 1 < raw.size() && (raw[i + 1] == ' ' || raw[i + 1] == '\t')) {
                ++i;
            }
            continue;
        }
        out += raw[i];
    }
    return out;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// The property name of an unfolded line: up to the first ';' or ':'.
std::string PropertyName(std::string_view line) {
    return Upper(line.substr(0, std::min(line.find_first_of(";:"), line.size())));
}

// The value after the name and its first delimiter (parameters included), as the parser reads it.
std::string ValueAfterName(std::string_view line) {
    const std::size_t at = line.find_first_of(";:");
    return at == std::string_view::npos ? std::string() : std::string(line.substr(at + 1));
}

// The plain value: after the first ':' that is not inside a quoted parameter.
std::string PlainValue(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            return std::string(line.substr(i + 1));
        }
    }
    return std::string();
}

bool IsBegin(std::string_view unfolded, std::string& component) {
    if (unfolded.size() > 6 && Upper(unfolded.substr(0, 6)) == "BEGIN:") {
        component = Upper(unfolded.substr(6));
        return true;
    }
    return false;
}

bool IsEnd(std::string_view unfolded, std::string& component) {
    if (unfolded.size() > 4 && Upper(unfolded.substr(0, 4)) == "END:") {
        component = Upper(unfolded.substr(4));
        return true;
    }
    return false;
}

// Collects the lines of a component from `index` (its BEGIN line) to its END, nesting counted;
// `index` ends on the END line (or the last line when it is missing).
std::string TakeComponent(const std::vector<std::string>& lines, std::size_t& index) {
    std::string raw;
    int depth = 0;
    for (; index < lines.size(); ++index) {
        const std::string unfolded = Unfolded(lines[index]);
        std::string component;
        raw += lines[index];
        if (IsBegin(unfolded, component)) {
            ++depth;
        } else if (IsEnd(unfolded, component) && --depth == 0) {
            break;
        }
    }
    return raw;
}

IcsRawEvent ReadEvent(const std::vector<std::string>& lines, std::size_t& index) {
    IcsRawEvent event;
    ++index;  // past BEGIN:VEVENT
    for (; index < lines.size(); ++index) {
        const std::string unfolded = Unfolded(lines[index]);
        std::string component;
        if (IsEnd(unfolded, component)) {
            break;  // END:VEVENT (a stray END of anything else ends the event too)
        }
        if (IsBegin(unfolded, component)) {
            event.entries.push_back({"BEGIN:" + component, TakeComponent(lines, index)});
            continue;
        }
        IcsRawEntry entry{PropertyName(unfolded), lines[index]};
        if (entry.name == "UID") {
            event.uid = PlainValue(unfolded);
        } else if (entry.name == "RECURRENCE-ID") {
            event.recurrenceId = ValueAfterName(unfolded);
        }
        event.entries.push_back(std::move(entry));
    }
    return event;
}

std::string ZoneId(std::string_view raw) {
    for (const std::string& line : LogicalLines(raw)) {
        const std::string unfolded = Unfolded(line);
        if (PropertyName(unfolded) == "TZID") {
            std::string value = PlainValue(unfolded);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            return value;
        }
    }
    return std::string();
}

bool IsWrittenByProgram(const std::string& name, bool writeEnd, bool dropSeriesRules) {
    static const char* const kAlways[] = {"UID",      "SUMMARY",     "DTSTART",     "RRULE",   "EXDATE",
                                          "RECURRENCE-ID", "LOCATION", "DESCRIPTION", "URL",     "TRANSP",
                                          "SEQUENCE", "DTSTAMP",     "CREATED",     "LAST-MODIFIED"};
    for (const char* always : kAlways) {
        if (name == always) {
            return true;
        }
    }
    if (writeEnd && (name == "DTEND" || name == "DURATION")) {
        return true;
    }
    return dropSeriesRules && (name == "RDATE" || name == "EXRULE");
}

}  // namespace

std::string RecurrenceIdDigits(std::string_view recurrenceId) {
    const std::size_t colon = recurrenceId.rfind(':');
    std::string_view digits = colon == std::string_view::npos ? recurrenceId : recurrenceId.substr(colon + 1);
    // A UTC marker is part of the instant, kept; white space is not.
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) {
        digits.remove_suffix(1);
    }
    return std::string(digits);
}

const IcsRawEvent* IcsResourceParts::FindEvent(std::string_view uid, std::string_view recurrenceId) const {
    const std::string wanted = recurrenceId.empty() ? std::string() : RecurrenceIdDigits(recurrenceId);
    for (const IcsRawEvent& event : events) {
        if (event.uid != uid) {
            continue;
        }
        if (wanted.empty() ? event.recurrenceId.empty()
                           : (!event.recurrenceId.empty() && RecurrenceIdDigits(event.recurrenceId) == wanted)) {
            return &event;
        }
    }
    return nullptr;
}

IcsResourceParts SplitIcsResource(std::string_view text) {
    IcsResourceParts parts;
    const std::vector<std::string> lines = LogicalLines(text);
    std::size_t index = 0;
    std::string component;
    for (; index < lines.size(); ++index) {
        if (IsBegin(Unfolded(lines[index]), component) && component == "VCALENDAR") {
            break;
        }
    }
    if (index == lines.size()) {
        return parts;
    }
    parts.valid = true;
    for (++index; index < lines.size(); ++index) {
        const std::string unfolded = Unfolded(lines[index]);
        if (IsEnd(unfolded, component) && component == "VCALENDAR") {
            break;
        }
        if (IsBegin(unfolded, component)) {
            if (component == "VEVENT") {
                parts.events.push_back(ReadEvent(lines, index));
            } else if (component == "VTIMEZONE") {
                std::string raw = TakeComponent(lines, index);
                parts.zones.push_back({ZoneId(raw), std::move(raw)});
            } else {
                parts.others.push_back(TakeComponent(lines, index));
            }
            continue;
        }
        parts.calendarProperties.push_back({PropertyName(unfolded), lines[index]});
    }
    return parts;
}

std::string MergeIcsEvent(const IcsRawEvent* base, std::string_view generated, bool writeEnd, bool dropSeriesRules) {
    if (base == nullptr) {
        return std::string(generated);
    }
    std::string out = "BEGIN:VEVENT\r\n";
    // The program's own lines first (those of the generated event that it writes).
    for (const std::string& line : LogicalLines(generated)) {
        const std::string name = PropertyName(Unfolded(line));
        if (name != "BEGIN" && name != "END" && IsWrittenByProgram(name, writeEnd, false)) {
            out += line;
        }
    }
    for (const IcsRawEntry& entry : base->entries) {
        if (!IsWrittenByProgram(entry.name, writeEnd, dropSeriesRules)) {
            out += entry.raw;
        }
    }
    out += "END:VEVENT\r\n";
    return out;
}
