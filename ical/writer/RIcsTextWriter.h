#pragma once
// The line writers of the iCalendar writer. Text is appended to a heap buffer that holds one
// NUL-terminated text (created on the first append). Values are written as stored (no TEXT
// escaping), except that a raw line break becomes \n; the texts of components are folded
// (FoldLongLines), once built or line by line as they are appended (RIcsLineFolding). A buffer
// that cannot grow is left as it was.
// Safe to share: plain functions on the buffer they are given.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RHeapBuffer.h"
#include "ical/value/IcsValueParsers.h"

class RIcsDateTime;

// Lines folded as they are appended, for a text that one writer builds line by line from an
// empty buffer: the writers given one fold a long line at once, just as FoldLongLinesIn would
// fold it in the whole text, so that the whole text needs no second pass. `unfolded` tells
// when a long line had to be left (it did not start a line, or the buffer could not grow):
// the text then still needs FoldLongLinesIn. One per text being built.
struct RIcsLineFolding {
    bool unfolded = false;
};

// Appends text; nothing for a null or empty text. R_E_INVALID_ARGUMENT for a null buffer
// pointer, R_E_OUT_OF_MEMORY when the buffer cannot be made or grown.
RResult AppendToHeapString(const char* text, RHeapBuffer** buffer, RIcsLineFolding* folding = nullptr);
// name, then ";" when the value starts with a parameter (NAME=...: as a raw RECURRENCE-ID keeps
// it), ":" unless the value starts with ':' or ';', the value and CR LF. Nothing for a null or
// empty value. Line breaks inside the value are written as \n, so no value can end its line.
void AppendPropertyLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding = nullptr);
// name, then ";" when the value starts with a parameter and ":" otherwise (whatever the value
// starts with), the value and CR LF: for raw values that keep their parameters (RECURRENCE-ID).
void AppendRawValueLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding = nullptr);
// name ":" value CR LF for a text value, whatever it starts with; line breaks as \n.
void AppendTextLine(const char* name, RHeapBuffer** buffer, const char* value, RIcsLineFolding* folding = nullptr);
// Lines longer than 75 octets are folded: each further piece goes on a line of its own behind
// CR LF and a space, and no piece ends inside a UTF-8 sequence. Lines end in CR LF or LF.
std::string FoldLongLines(std::string_view text);
// Folds the text of a buffer in place; a buffer whose lines are all short enough, or that
// cannot be replaced, stays as it is.
void FoldLongLinesIn(RHeapBuffer** buffer);
// True when the text starts with a parameter: a name of letters, digits and '-' followed by '='.
bool StartsWithParameter(const char* text);
// The text with each raw CR LF, CR or LF written as the two characters \n.
std::string WithoutLineBreaks(std::string_view text);
// name, ";VALUE=DATE" for a date-only value, the value's iCalendar form (see RIcsDateTime)
// behind ":" and CR LF. Nothing for a null value or an empty form.
void AppendDateTimeLine(const char* name, RIcsDateTime* value, RHeapBuffer** buffer,
                        RIcsLineFolding* folding = nullptr);
// "SEQUENCE:" n CR LF.
void AppendSequenceLine(RHeapBuffer** buffer, std::int32_t n);
// name ":" sign hours minutes (+0100, -0330) CR LF; seconds are not written.
void AppendUtcOffsetLine(RHeapBuffer** buffer, const char* name, const RIcsUtcOffset& offset);
// The entries of a 0-terminated list (at most capacity entries) in decimal, separated by ",".
void AppendIntList(const std::int32_t* list, std::size_t capacity, RHeapBuffer** buffer);
// The ordinal when not 0, then the days of the mask SU MO TU WE TH FR SA separated by ",".
void AppendByDay(RHeapBuffer** buffer, std::uint32_t mask, std::int32_t ordinal);
