#include "ical/writer/RIcsTextWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ical/value/RIcsDateTime.h"

RResult AppendToHeapString(const char* text, RHeapBuffer** buffer) {
    if (text == nullptr || text[0] == '\0') {
        return R_OK;
    }
    if (buffer == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
        return R_E_OUT_OF_MEMORY;
    }
    const int n = static_cast<int>(length);
    if (*buffer == nullptr) {
        RHeapBuffer* created = RHeapBuffer::Create(n + 1);
        if (created == nullptr) {
            return R_E_OUT_OF_MEMORY;
        }
        std::memcpy(created->data, text, length + 1);
        *buffer = created;
        return R_OK;
    }
    RHeapBuffer* held = *buffer;
    const int oldSize = held->size;
    if (oldSize < 1 || held->data[oldSize - 1] != '\0') {
        // A buffer made elsewhere without a terminator: the text and its terminator are added.
        return RHeapBuffer::Append(held, text, n + 1) == 0 ? R_OK : R_E_OUT_OF_MEMORY;
    }
    // The stored text ends in its terminator; the new text replaces it and brings its own.
    if (RHeapBuffer::Append(held, text, n) != 0) {
        return R_E_OUT_OF_MEMORY;
    }
    std::memmove(held->data + oldSize - 1, held->data + oldSize, length);
    held->data[oldSize - 1 + n] = '\0';
    return R_OK;
}

bool StartsWithParameter(const char* text) {
    if (text == nullptr) {
        return false;
    }
    const char* at = text;
    while ((*at >= 'A' && *at <= 'Z') || (*at >= 'a' && *at <= 'z') || (*at >= '0' && *at <= '9') || *at == '-') {
        ++at;
    }
    return at != text && *at == '=';
}

std::string WithoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

constexpr std::size_t kMaxLineOctets = 75;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The end of the line that starts at `start` (its CR LF or LF excluded) and where the next one starts.
struct LineSpan {
    std::size_t end;
    std::size_t next;
};

LineSpan LineAt(std::string_view text, std::size_t start) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) {
        return {text.size(), text.size()};
    }
    const std::size_t end = newline > start && text[newline - 1] == '\r' ? newline - 1 : newline;
    return {end, newline + 1};
}

}  // namespace

std::string FoldLongLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t start = 0; start < text.size();) {
        const LineSpan line = LineAt(text, start);
        std::size_t at = start;
        std::size_t room = kMaxLineOctets;
        while (line.end - at > room) {
            std::size_t cut = at + room;
            while (cut > at && IsUtf8Continuation(text[cut])) {
                --cut;
            }
            if (cut == at) {
                cut = at + room;  // no character starts within reach: not UTF-8, cut by octets
            }
            out.append(text.substr(at, cut - at));
            out += "\r\n ";
            at = cut;
            room = kMaxLineOctets - 1;  // the space that starts a continuation counts
        }
        out.append(text.substr(at, line.next - at));
        start = line.next;
    }
    return out;
}

void FoldLongLinesIn(RHeapBuffer** buffer) {
    if (buffer == nullptr || *buffer == nullptr || (*buffer)->size < 1) {
        return;
    }
    const std::string_view text((*buffer)->data, strnlen((*buffer)->data, static_cast<std::size_t>((*buffer)->size)));
    bool anyLong = false;
    for (std::size_t start = 0; start < text.size() && !anyLong;) {
        const LineSpan line = LineAt(text, start);
        anyLong = line.end - start > kMaxLineOctets;
        start = line.next;
    }
    if (!anyLong) {
        return;
    }
    const std::string folded = FoldLongLines(text);
    RHeapBuffer* replaced = RHeapBuffer::Create(static_cast<int>(folded.size()) + 1);
    if (replaced == nullptr) {
        return;
    }
    std::memcpy(replaced->data, folded.c_str(), folded.size() + 1);
    RHeapBuffer::Free(*buffer);
    *buffer = replaced;
}

namespace {

void AppendValueAndEnd(const char* value, RHeapBuffer** buffer) {
    if (std::strpbrk(value, "\r\n") != nullptr) {
        AppendToHeapString(WithoutLineBreaks(value).c_str(), buffer);
    } else {
        AppendToHeapString(value, buffer);
    }
    AppendToHeapString("\r\n", buffer);
}

}  // namespace

void AppendPropertyLine(const char* name, RHeapBuffer** buffer, const char* value) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    AppendToHeapString(name, buffer);
    if (StartsWithParameter(value)) {
        AppendToHeapString(";", buffer);
    } else if (value[0] != ':' && value[0] != ';') {
        AppendToHeapString(":", buffer);
    }
    AppendValueAndEnd(value, buffer);
}

void AppendRawValueLine(const char* name, RHeapBuffer** buffer, const char* value) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    AppendToHeapString(name, buffer);
    AppendToHeapString(StartsWithParameter(value) ? ";" : ":", buffer);
    AppendValueAndEnd(value, buffer);
}

void AppendTextLine(const char* name, RHeapBuffer** buffer, const char* value) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    AppendToHeapString(name, buffer);
    AppendToHeapString(":", buffer);
    AppendValueAndEnd(value, buffer);
}

void AppendDateTimeLine(const char* name, RIcsDateTime* value, RHeapBuffer** buffer) {
    if (value == nullptr) {
        return;
    }
    const char* text = value->GetIcsValue(true);
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    AppendToHeapString(name, buffer);
    if (value->dateOnly) {
        AppendToHeapString(";VALUE=DATE", buffer);
    }
    if (text[0] != ':' && text[0] != ';') {
        AppendToHeapString(":", buffer);
    }
    AppendValueAndEnd(text, buffer);  // a zone name read with a line break in it keeps to its line
}

void AppendSequenceLine(RHeapBuffer** buffer, std::int32_t n) {
    char line[32];
    std::snprintf(line, sizeof line, "SEQUENCE:%d\r\n", static_cast<int>(n));
    AppendToHeapString(line, buffer);
}

void AppendUtcOffsetLine(RHeapBuffer** buffer, const char* name, const RIcsUtcOffset& offset) {
    const bool negative = offset.hours < 0 || offset.minutes < 0;
    char value[32];
    std::snprintf(value, sizeof value, ":%c%02d%02d\r\n", negative ? '-' : '+', std::abs(static_cast<int>(offset.hours)),
                  std::abs(static_cast<int>(offset.minutes)));
    AppendToHeapString(name, buffer);
    AppendToHeapString(value, buffer);
}

void AppendIntList(const std::int32_t* list, std::size_t capacity, RHeapBuffer** buffer) {
    if (list == nullptr) {
        return;
    }
    char number[16];
    for (std::size_t i = 0; i < capacity && list[i] != 0; ++i) {
        std::snprintf(number, sizeof number, i == 0 ? "%d" : ",%d", static_cast<int>(list[i]));
        AppendToHeapString(number, buffer);
    }
}

void AppendByDay(RHeapBuffer** buffer, std::uint32_t mask, std::int32_t ordinal) {
    static constexpr const char* kDays[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    if (ordinal != 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(ordinal));
        AppendToHeapString(number, buffer);
    }
    for (unsigned day = 0; day < 7; ++day) {
        if ((mask & (1u << day)) == 0) {
            continue;
        }
        AppendToHeapString(kDays[day], buffer);
        // A comma when a later day of the week follows.
        if ((mask & ~((2u << day) - 1) & 0x7Fu) != 0) {
            AppendToHeapString(",", buffer);
        }
    }
}
