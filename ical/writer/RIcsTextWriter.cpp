#include "ical/writer/RIcsTextWriter.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ical/value/RIcsDateTime.h"

namespace {

// Makes the buffer's text ready for n more octets: room for them and a terminator behind the
// text's end, which is its terminator or, in a buffer made elsewhere without one, its size.
// Returns where they go (CloseText finishes them), or null when the buffer cannot be made or
// grown, leaving it as it was.
char* OpenText(RHeapBuffer** buffer, std::size_t n) {
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
        return nullptr;
    }
    RHeapBuffer* held = *buffer;
    if (held == nullptr) {
        held = RHeapBuffer::Create(static_cast<int>(n) + 1);
        if (held == nullptr) {
            return nullptr;
        }
        held->size = 0;
        *buffer = held;
        return held->data;
    }
    const int end = held->size >= 1 && held->data[held->size - 1] == '\0' ? held->size - 1 : held->size;
    const int more = static_cast<int>(n) + 1 - (held->size - end);
    if (more > held->capacity - held->size && RHeapBuffer::Reserve(held, more) != 0) {
        return nullptr;  // grown only when it must, as most lines fit
    }
    return held->data + end;
}

// Ends the text after the n octets written at `at` (from OpenText) with its terminator.
void CloseText(RHeapBuffer* buffer, const char* at, std::size_t n) {
    const auto end = static_cast<std::size_t>(at - buffer->data) + n;
    buffer->data[end] = '\0';
    buffer->size = static_cast<std::int32_t>(end + 1);
}

char* Put(char* at, std::string_view piece) {
    if (!piece.empty()) {  // an empty view may have no data at all
        std::memcpy(at, piece.data(), piece.size());
    }
    return at + piece.size();
}

}  // namespace

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

// Calls fold(at, cut) for each piece of the line text[start, end) that a fold follows; returns
// where its last piece starts.
template <typename Fold>
std::size_t CutLine(std::string_view text, std::size_t start, std::size_t end, Fold fold) {
    std::size_t at = start;
    std::size_t room = kMaxLineOctets;
    while (end - at > room) {
        std::size_t cut = at + room;
        while (cut > at && IsUtf8Continuation(text[cut])) {
            --cut;
        }
        if (cut == at) {
            cut = at + room;  // no character starts within reach: not UTF-8, cut by octets
        }
        fold(at, cut);
        at = cut;
        room = kMaxLineOctets - 1;  // the space that starts a continuation counts
    }
    return at;
}

constexpr std::string_view kFold = "\r\n ";

// Where the first line longer than a line may be starts, looking from `start` (where a line
// starts) on; text.size() when there is none.
std::size_t FirstLongLine(std::string_view text, std::size_t start) {
    while (start < text.size()) {
        const LineSpan line = LineAt(text, start);
        if (line.end - start > kMaxLineOctets) {
            return start;
        }
        start = line.next;
    }
    return text.size();
}

// Folds the lines of the buffer's text, its first `length` octets, from `first` (where a line
// starts) on, and ends the folded text with its terminator; the octets before `first` stay as
// they are. False, with the buffer as it was, when it cannot grow.
// In place: the text from `first` on is moved up by the room its folds take, then copied back
// down piece by piece, each fold written where it belongs. The writing end never overtakes the
// reading end, as the folds still to come are the gap between them.
bool FoldFrom(RHeapBuffer* held, std::size_t first, std::size_t length) {
    const std::string_view text(held->data, length);
    std::size_t folds = 0;
    for (std::size_t start = first; start < length;) {
        const LineSpan line = LineAt(text, start);
        CutLine(text, start, line.end, [&folds](std::size_t, std::size_t) { ++folds; });
        start = line.next;
    }
    const std::size_t gap = folds * kFold.size();
    const std::size_t folded = length + gap;
    if (folded > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1)) {
        return false;
    }
    const int more = static_cast<int>(folded + 1) - held->size;
    if (more > 0 && RHeapBuffer::Reserve(held, more) != 0) {
        return false;
    }
    char* data = held->data;
    std::memmove(data + first + gap, data + first, length - first);
    // The unfolded text, at its new place; only positions from `first` on are read.
    const std::string_view moved(data + gap, length);
    char* out = data + first;
    for (std::size_t start = first; start < length;) {
        const LineSpan line = LineAt(moved, start);
        const std::size_t last = CutLine(moved, start, line.end, [&](std::size_t at, std::size_t cut) {
            std::memmove(out, moved.data() + at, cut - at);
            out += cut - at;
            std::memcpy(out, kFold.data(), kFold.size());
            out += kFold.size();
        });
        std::memmove(out, moved.data() + last, line.next - last);
        out += line.next - last;
        start = line.next;
    }
    data[folded] = '\0';
    held->size = static_cast<std::int32_t>(folded + 1);
    return true;
}

// Folds the long lines of the text that was just appended at `start` (from OpenText) when it
// starts a line of the buffer's text; otherwise, or when the buffer cannot grow, they are left
// to FoldLongLinesIn.
void FoldAppended(RHeapBuffer* held, const char* start, RIcsLineFolding& folding) {
    const auto from = static_cast<std::size_t>(start - held->data);
    const auto length = static_cast<std::size_t>(held->size) - 1;
    if (from > 0 && held->data[from - 1] != '\n') {
        folding.unfolded = true;
        return;
    }
    const std::size_t first = FirstLongLine(std::string_view(held->data, length), from);
    if (first < length && !FoldFrom(held, first, length)) {
        folding.unfolded = true;
    }
}

}  // namespace

std::string FoldLongLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t start = 0; start < text.size();) {
        const LineSpan line = LineAt(text, start);
        const std::size_t last = CutLine(text, start, line.end, [&](std::size_t at, std::size_t cut) {
            out.append(text.substr(at, cut - at));
            out += kFold;
        });
        out.append(text.substr(last, line.next - last));
        start = line.next;
    }
    return out;
}

void FoldLongLinesIn(RHeapBuffer** buffer) {
    if (buffer == nullptr || *buffer == nullptr || (*buffer)->size < 1) {
        return;
    }
    RHeapBuffer* held = *buffer;
    const std::size_t length = strnlen(held->data, static_cast<std::size_t>(held->size));
    const std::size_t first = FirstLongLine(std::string_view(held->data, length), 0);
    if (first < length) {
        (void)FoldFrom(held, first, length);  // a buffer that cannot grow stays as it was
    }
}

RResult AppendToHeapString(const char* text, RHeapBuffer** buffer, RIcsLineFolding* folding) {
    if (text == nullptr || text[0] == '\0') {
        return R_OK;
    }
    if (buffer == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const std::size_t length = std::strlen(text);
    char* at = OpenText(buffer, length);
    if (at == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    Put(at, std::string_view(text, length));
    CloseText(*buffer, at, length);
    if (folding != nullptr) {
        FoldAppended(*buffer, at, *folding);
    }
    return R_OK;
}

namespace {

// name, separator, the value with its line breaks as \n, and CR LF, made room for at once, so
// that a buffer that cannot grow gets no part of the line.
void AppendLine(RHeapBuffer** buffer, const char* name, std::string_view separator, const char* value,
                RIcsLineFolding* folding) {
    if (buffer == nullptr) {
        return;
    }
    const std::size_t plain = std::strcspn(value, "\r\n");
    std::string escaped;
    std::string_view body(value, plain);
    if (value[plain] != '\0') {
        escaped = WithoutLineBreaks(value);
        body = escaped;
    }
    const std::string_view nameText = name != nullptr ? std::string_view(name) : std::string_view();
    const std::size_t n = nameText.size() + separator.size() + body.size() + 2;
    char* const start = OpenText(buffer, n);
    if (start == nullptr) {
        return;
    }
    char* at = Put(start, nameText);
    at = Put(at, separator);
    at = Put(at, body);
    at[0] = '\r';
    at[1] = '\n';
    CloseText(*buffer, start, n);
    if (folding != nullptr && n - 2 > kMaxLineOctets) {
        FoldAppended(*buffer, start, *folding);
    }
}

}  // namespace

void AppendPropertyLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    std::string_view separator;
    if (StartsWithParameter(value)) {
        separator = ";";
    } else if (value[0] != ':' && value[0] != ';') {
        separator = ":";
    }
    AppendLine(buffer, name, separator, value, folding);
}

void AppendRawValueLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    AppendLine(buffer, name, StartsWithParameter(value) ? ";" : ":", value, folding);
}

void AppendTextLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding) {
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    AppendLine(buffer, name, ":", value, folding);
}

void AppendDateTimeLine(const char* name, RIcsDateTime* value, RHeapBuffer** buffer, RIcsLineFolding* folding) {
    if (value == nullptr) {
        return;
    }
    const char* text = value->GetIcsValue(true);
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    const bool colon = text[0] != ':' && text[0] != ';';
    std::string_view separator = colon ? ":" : "";
    if (value->dateOnly) {
        separator = colon ? ";VALUE=DATE:" : ";VALUE=DATE";
    }
    AppendLine(buffer, name, separator, text, folding);  // a zone name read with a line break in it keeps to its line
}

void AppendSequenceLine(RHeapBuffer** buffer, std::int32_t n) {
    char line[32] = "SEQUENCE:";
    constexpr std::size_t kName = sizeof "SEQUENCE:" - 1;
    char* const end = std::to_chars(line + kName, line + sizeof line - 3, n).ptr;
    std::memcpy(end, "\r\n", 3);
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
