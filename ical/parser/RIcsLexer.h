#pragma once
// The iCalendar lexer: one reading position over the whole text, shared by a component and all
// the components nested in it, so that parsing is linear in the text's length.
// Delimiters are ':', ';' and '='; white space is space, TAB, CR, LF and form feed.
// Folds (CR LF, CR or LF followed by a space or a TAB) are dropped as the text is read: every
// reader sees the text as if they had been removed first, a fold anywhere (even right after a
// property name) joining its lines, without a copy of the text being made.
// One thread only: a lexer belongs to the parse that made it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/ResultCodes.h"

class RIcsZoneMemo;

class RIcsLexer {
public:
    explicit RIcsLexer(std::string_view text) : text_(text), pos_(SkipFolds(0)) {}

    static bool IsDelimiter(char c) { return c == ':' || c == ';' || c == '='; }
    static bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
    static bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

    // Skips white space and reads one token: a delimiter on its own, or everything up to the next
    // delimiter. R_E_END_OF_TEXT when nothing is left; R_E_BUFFER_TOO_SMALL when the token has
    // more than maxChars characters (the position has then moved past it).
    RResult ReadToken(std::string& out, std::size_t maxChars);
    // ReadToken for the name that starts a content line. A line that ends before any delimiter
    // names nothing and is passed over (one stray line must not swallow the next line's name);
    // a token cut off by the end of the text is still returned. `out` views the text, or the
    // lexer's own copy of a name read across lines; it stays valid until the next ReadName.
    RResult ReadName(std::string_view& out, std::size_t maxChars) {
        const std::size_t start = pos_;
        if (start < text_.size() && !IsWhiteSpace(text_[start]) && !IsDelimiter(text_[start])) {
            // Most names end at a delimiter on their line.
            if (const std::size_t end = PlainNameEnd(start); end != std::string_view::npos) {
                pos_ = end;
                if (end - start > maxChars) {
                    out = {};
                    return R_E_BUFFER_TOO_SMALL;
                }
                out = text_.substr(start, end - start);
                return R_OK;
            }
        }
        return ReadNameAcrossLines(out, maxChars);
    }
    // Reads the value after a name up to the end of its (unfolded) line into Value().
    // R_E_END_OF_TEXT when the position is at the end of the text.
    RResult ReadValue() {
        // Most values follow their delimiter on the line their name was read on, and end in a line
        // break that the next line's name (or the end of the text) follows: the value is then the
        // run between the two, viewed in the text (copied only when asked for terminated).
        const std::size_t pos = pos_;
        const std::size_t end = lineEnd_;
        if (pos >= lineFrom_ && pos + 1 < end && IsDelimiter(text_[pos])) {
            const std::size_t size = text_.size();
            const std::size_t after =
                end == size ? size : end + (text_[end] == '\r' && end + 1 < size && text_[end + 1] == '\n' ? 2 : 1);
            if (after == size || !IsWhiteSpace(text_[after])) {
                valueView_ = text_.substr(pos + 1, end - pos - 1);
                pos_ = after;
                return R_OK;
            }
        }
        return ReadValueOffLine();
    }
    // The value read last: a view of the text, or of the lexer's own copy when folds were
    // joined; valid until the next ReadValue.
    std::string_view Value() const { return valueView_; }
    // The same value as a terminated string, copied out of the text on first use.
    const std::string& ValueString();
    // At a '"': the quoted text, quotes included and folds dropped, when at most maxChars
    // characters come before its closing '"' and no line break that is not a fold does; the
    // position moves past it. Otherwise false, position unchanged.
    bool ReadQuoted(std::string& out, std::size_t maxChars);

    // At a ';': when every parameter up to the ':' that starts the value is plain (";NAME=value"
    // or ";NAME=\"quoted value\"", at most maxChars characters each, with no white space, line
    // break or fold between the ';' and the ':' outside a quoted value), moves to the ':' and
    // returns true. Otherwise returns false with the position unchanged, for the caller to read
    // them token by token. Calls each(name, value) for the parameters in order (quotes kept) as
    // they are read, so that after a false the caller drops what it was given.
    template <typename Each>
    bool ReadPlainParameters(std::size_t maxChars, Each each);

    // Skips a property's parameters (";NAME=value", quoted values taken whole, folds included)
    // up to the ':' that starts its value, which stays at the position.
    void SkipParameters() {
        if (pos_ < text_.size() && text_[pos_] == ';') {
            SkipParameterRun();
        }
    }
    // Moves to the start of the next line that begins "BEGIN:VCALENDAR" (any case), after the
    // position; false (position at the end) when there is none.
    bool SeekNextCalendar();

    bool AtEnd() const { return pos_ >= text_.size(); }
    // The character at the position, or NUL at the end.
    char Current() const { return AtEnd() ? '\0' : text_[pos_]; }
    void Advance() { if (!AtEnd()) pos_ = Next(pos_); }
    // Back to the character before the position (folds passed over).
    void StepBack();

    // Nesting depth of the components being read; bounded so that deep nesting cannot exhaust the stack.
    static constexpr int kMaxDepth = 64;
    bool Enter() { return ++depth_ <= kMaxDepth; }
    void Leave() { --depth_; }
    int Depth() const { return depth_; }

    // The memo through which the parse shares the zones of VTIMEZONE blocks it has seen, or null.
    RIcsZoneMemo* ZoneMemo() const { return zoneMemo_; }
    void SetZoneMemo(RIcsZoneMemo* memo) { zoneMemo_ = memo; }
    std::size_t Position() const { return pos_; }
    // From the position, the text through the first line that reads exactly "END:VTIMEZONE",
    // ended by CR LF or LF and followed by the end of the text or by a line that does not
    // continue it; empty when there is none. A parse of the VTIMEZONE body there reads nothing
    // outside it, unless a nested component hides that line.
    std::string_view ZoneBlockAhead() const;
    // Moves past a block that ZoneBlockAhead gave.
    void PassOver(std::string_view block) { pos_ += block.size(); }

private:
    // Positions index the text as given; the position is never inside or at the start of a fold.
    char At(std::size_t index) const { return index < text_.size() ? text_[index] : '\0'; }
    // The length of the fold that starts at index, or 0 when none does.
    std::size_t FoldAt(std::size_t index) const {
        const char c = At(index);
        if (!IsLineBreak(c)) {
            return 0;
        }
        const std::size_t breakLength = c == '\r' && At(index + 1) == '\n' ? 2 : 1;
        const char next = At(index + breakLength);
        return next == ' ' || next == '\t' ? breakLength + 1 : 0;
    }
    std::size_t SkipFolds(std::size_t index) const {
        while (std::size_t fold = FoldAt(index)) {
            index += fold;
        }
        return index;
    }
    // The position of the character after the one at index.
    std::size_t Next(std::size_t index) const { return index < text_.size() ? SkipFolds(index + 1) : text_.size(); }
    // The position of the character before the one at index (index > 0), or npos when only
    // folds come before it.
    std::size_t Previous(std::size_t index) const;
    // Whether the character before index is a line break, or there is none.
    bool AfterLineBreak(std::size_t index) const {
        const std::size_t previous = Previous(index);
        return previous == std::string_view::npos || IsLineBreak(text_[previous]);
    }
    // The first line break at or after index, or the end of the text.
    std::size_t RunEnd(std::size_t index) const;
    // RunEnd, answered from the line the last name was read on when index lies on it.
    std::size_t LineEnd(std::size_t index) const {
        return index >= lineFrom_ && index <= lineEnd_ ? lineEnd_ : RunEnd(index);
    }
    // From start (a token character): the end of the name there when a delimiter (or the end of
    // the text) ends it on its line, otherwise npos; in the same pass the line's end is found
    // and kept as the known line.
    std::size_t PlainNameEnd(std::size_t start);
    // SkipParameters within the known line; false when it cannot tell (quoted text or the
    // parameters running on past the line's end), for the general reader to take over.
    bool SkipParametersOnLine();
    // SkipParameters at a ';'.
    void SkipParameterRun();
    // Reads the token that starts at the position (no delimiter, no white space there) up to the
    // next delimiter. With onlyLastLine only what follows its last line break is kept.
    void ScanToken(std::string& out, bool onlyLastLine);
    // ReadToken and ReadName: white space skipped, then a delimiter or a scanned token.
    RResult ReadDelimitedRun(std::string& out, std::size_t maxChars, bool onlyLastLine);
    // The general readers behind the one-line cases of ReadDelimitedRun and ReadValue; kept out
    // of line so that the common case stays small.
    [[gnu::noinline]] RResult ReadDelimitedRunAcrossLines(std::string& out, std::size_t maxChars, bool onlyLastLine);
    [[gnu::noinline]] RResult ReadValueAcrossLines();
    // ReadName and ReadValue beyond their common cases.
    [[gnu::noinline]] RResult ReadNameAcrossLines(std::string_view& out, std::size_t maxChars);
    [[gnu::noinline]] RResult ReadValueOffLine();
    // The end of the run of characters from index that a plain parameter name or value may hold:
    // no delimiter, quote or white space.
    std::size_t PlainRunEnd(std::size_t index) const;
    // Whether the text at index reads `word` (any case).
    bool MatchesAt(std::size_t index, std::string_view word) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string value_;           // the value when it had to be joined or was asked for terminated
    std::string_view valueView_;  // the value read last
    std::string name_;            // a name read across lines
    // No line break lies in [lineFrom_, lineEnd_); lineEnd_ is a line break or the end of the
    // text. Found with each name, so that its parameters and value need not look for it again.
    std::size_t lineFrom_ = 1;
    std::size_t lineEnd_ = 0;
    int depth_ = 0;
    RIcsZoneMemo* zoneMemo_ = nullptr;
};

template <typename Each>
bool RIcsLexer::ReadPlainParameters(std::size_t maxChars, Each each) {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    // One pass: each parameter is reported as soon as it is read whole.
    std::size_t at = pos_;
    while (at < size && data[at] == ';') {
        const std::size_t nameStart = ++at;
        at = PlainRunEnd(at);
        if (at == nameStart || at - nameStart > maxChars || at >= size || data[at] != '=') {
            return false;
        }
        const std::string_view name(data + nameStart, at - nameStart);
        const std::size_t valueStart = ++at;
        if (at < size && data[at] == '"') {
            // The closing quote comes before the line ends.
            const std::size_t lineEnd = LineEnd(at);
            const void* close = std::memchr(data + at + 1, '"', lineEnd - at - 1);
            if (close == nullptr) {
                return false;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
            if (at - valueStart > maxChars) {
                return false;
            }
        } else {
            at = PlainRunEnd(at);
            if (at == valueStart || at - valueStart > maxChars) {
                return false;
            }
        }
        if (at >= size || (data[at] != ';' && data[at] != ':')) {
            return false;
        }
        each(name, std::string_view(data + valueStart, at - valueStart));
    }
    if (at >= size || data[at] != ':') {
        return false;
    }
    pos_ = at;
    return true;
}

inline char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// ASCII upper case in place, for names that are kept (components, X- properties).
void ToUpperAscii(std::string& text);
// Whether two names of the same length are equal ignoring ASCII case, byte by byte.
bool SameNameFolded(std::string_view a, std::string_view b);
// Whether two names are equal ignoring ASCII case: names (components, properties, parameters)
// compare without case, and without an upper-case copy being made.
inline bool SameName(std::string_view a, std::string_view b) {
    const std::size_t size = a.size();
    if (size != b.size()) {
        return false;
    }
    // Names are nearly always written in the case they are compared with: equal bytes need no
    // case folding. Up to sixteen bytes are compared as two words that overlap where the name is
    // shorter than both together.
    const auto same = [&](auto word) {
        decltype(word) left[2];
        decltype(word) right[2];
        std::memcpy(&left[0], a.data(), sizeof word);
        std::memcpy(&left[1], a.data() + size - sizeof word, sizeof word);
        std::memcpy(&right[0], b.data(), sizeof word);
        std::memcpy(&right[1], b.data() + size - sizeof word, sizeof word);
        return ((left[0] ^ right[0]) | (left[1] ^ right[1])) == 0;
    };
    if (size >= sizeof(std::uint64_t) && size <= 2 * sizeof(std::uint64_t)) {
        if (same(std::uint64_t{})) {
            return true;
        }
    } else if (size >= sizeof(std::uint32_t) && size < sizeof(std::uint64_t)) {
        if (same(std::uint32_t{})) {
            return true;
        }
    } else if (size >= sizeof(std::uint16_t) && size < sizeof(std::uint32_t)) {
        if (same(std::uint16_t{})) {
            return true;
        }
    }
    return SameNameFolded(a, b);
}
// Whether a name starts with prefix, ignoring ASCII case.
inline bool StartsWithName(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && SameName(name.substr(0, prefix.size()), prefix);
}

// Drops the folds (CR LF, CR or LF followed by a space) that a token read across lines keeps.
void RemoveFolds(std::string& text);

// The same two readers over a stored text with an explicit position (stored EXDATE and ATTENDEE
// lines, attendee values). The token reader has no length limit; the line reader skips one
// delimiter, unfolds only CR + space and LF + space, stops at the next line break and skips the
// line breaks that follow. Both give R_E_END_OF_TEXT at the end of the text.
RResult ReadTokenFromString(std::string_view text, std::size_t& pos, std::string& out);
// The same token as a view of the text.
RResult ReadTokenFromString(std::string_view text, std::size_t& pos, std::string_view& out);
RResult ReadLineValueFromString(std::string_view text, std::size_t& pos, std::string& out);
