#include "ical/parser/RIcsLexer.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void ToUpperAscii(std::string& text) {
    for (char& c : text) {
        c = UpperAscii(c);
    }
}

bool SameNameFolded(std::string_view a, std::string_view b) {
    const std::size_t size = a.size();
    for (std::size_t i = 0; i < size; ++i) {
        if (a[i] != b[i] && UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::size_t RIcsLexer::Previous(std::size_t index) const {
    // Every fold ends in a space or a TAB right after a line break, and only there.
    while (index > 0) {
        const std::size_t before = index - 1;
        const char c = text_[before];
        if ((c != ' ' && c != '\t') || before == 0) {
            return before;
        }
        if (text_[before - 1] == '\n') {
            index = before >= 2 && text_[before - 2] == '\r' ? before - 2 : before - 1;
        } else if (text_[before - 1] == '\r') {
            index = before - 1;
        } else {
            return before;
        }
    }
    return std::string_view::npos;
}

void RIcsLexer::StepBack() {
    const std::size_t previous = Previous(pos_);
    if (previous != std::string_view::npos) {
        pos_ = previous;
    }
}

bool RIcsLexer::MatchesAt(std::size_t index, std::string_view word) const {
    // Most lines differ in their first character; text that reads the word as it stands needs
    // no fold checks. Only what is left is read character by character.
    if (index >= text_.size() || word.empty() || UpperAscii(text_[index]) != word[0]) {
        return word.empty();
    }
    if (text_.size() - index >= word.size() && SameName(text_.substr(index, word.size()), word)) {
        return true;
    }
    for (const char c : word) {
        if (index >= text_.size() || UpperAscii(text_[index]) != c) {
            return false;
        }
        index = Next(index);
    }
    return true;
}

bool RIcsLexer::SkipParametersOnLine() {
    // No line break, and so no fold, comes before the line's end: each character is the next.
    const std::size_t end = lineEnd_;
    if (pos_ < lineFrom_ || pos_ >= end) {
        return false;
    }
    const char* const data = text_.data();
    for (std::size_t at = pos_; at < end;) {
        const char c = data[at];
        if (c == ':') {
            pos_ = at;
            return true;
        }
        if (c == '"') {
            // Quoted text runs to its closing quote, which may hold ':' and ';'.
            const void* close = std::memchr(data + at + 1, '"', end - at - 1);
            if (close == nullptr) {
                return false;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
            continue;
        }
        ++at;
    }
    return false;
}

void RIcsLexer::SkipParameterRun() {
    if (SkipParametersOnLine()) {
        return;
    }
    while (Current() == ';') {
        pos_ = Next(pos_);
        // The name, then after '=' the value: quoted text runs to its closing quote.
        while (!AtEnd() && text_[pos_] != ':' && text_[pos_] != ';' && !IsLineBreak(text_[pos_])) {
            if (text_[pos_] == '"') {
                const std::size_t close = text_.find('"', pos_ + 1);
                if (close != std::string_view::npos) {
                    // The closing quote counts when no line break other than folds comes first.
                    std::size_t lineEnd = text_.find_first_of("\r\n", pos_ + 1);
                    while (lineEnd < close) {
                        const std::size_t fold = FoldAt(lineEnd);
                        if (fold == 0) {
                            break;
                        }
                        lineEnd = text_.find_first_of("\r\n", lineEnd + fold);
                    }
                    if (lineEnd > close) {
                        pos_ = Next(close);
                        continue;
                    }
                }
            }
            pos_ = Next(pos_);
        }
    }
}

bool RIcsLexer::SeekNextCalendar() {
    static constexpr std::string_view kBegin = "BEGIN:VCALENDAR";
    if (!AtEnd() && AfterLineBreak(pos_) && MatchesAt(pos_, kBegin)) {
        return true;
    }
    // Otherwise a line start: the character after a line break that is no fold.
    std::size_t at = pos_;
    for (;;) {
        at = RunEnd(at);
        if (at == text_.size()) {
            pos_ = text_.size();
            return false;
        }
        if (const std::size_t fold = FoldAt(at)) {
            at += fold;
            continue;
        }
        at = Next(at);
        if (MatchesAt(at, kBegin)) {
            pos_ = at;
            return true;
        }
    }
}

std::string_view RIcsLexer::ZoneBlockAhead() const {
    // Looked for by the name, whose first letter is rare in a zone's lines, unlike those of END.
    static constexpr std::string_view kStart = "\nEND:";
    static constexpr std::string_view kName = "VTIMEZONE";
    std::size_t found = pos_;
    do {
        found = text_.find(kName, found + kStart.size());
        if (found == std::string_view::npos) {
            return {};
        }
    } while (text_.substr(found - kStart.size(), kStart.size()) != kStart);
    std::size_t end = found + kName.size();
    if (At(end) == '\r') {
        ++end;
    }
    if (At(end) != '\n') {
        return {};
    }
    ++end;
    // White space after it could fold the line on or be passed over with it.
    if (end < text_.size() && IsWhiteSpace(text_[end])) {
        return {};
    }
    return text_.substr(pos_, end - pos_);
}

namespace {

// The characters that end a run of plain token characters: delimiters and line breaks. Looked up
// in a table, since every name and parameter of the text is scanned with it.
constexpr auto kTokenStops = [] {
    std::array<bool, 256> stops{};
    for (const unsigned char c : {':', ';', '=', '\r', '\n'}) {
        stops[c] = true;
    }
    return stops;
}();
constexpr bool IsTokenStop(char c) { return kTokenStops[static_cast<unsigned char>(c)]; }

// The characters a plain parameter name or value cannot hold.
constexpr auto kParameterStops = [] {
    std::array<bool, 256> stops{};
    for (const unsigned char c : {':', ';', '=', '"', ' ', '\t', '\r', '\n', '\f'}) {
        stops[c] = true;
    }
    return stops;
}();

}  // namespace

std::size_t RIcsLexer::PlainRunEnd(std::size_t index) const {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    while (index < size && !kParameterStops[static_cast<unsigned char>(data[index])]) {
        ++index;
    }
    return index;
}

void RIcsLexer::ScanToken(std::string& out, bool onlyLastLine) {
    std::size_t runStart = pos_;
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    while (pos_ < size) {
        std::size_t at = pos_;
        while (at < size && !IsTokenStop(data[at])) {
            ++at;
        }
        pos_ = at;
        if (at == size) {
            break;
        }
        const char c = data[at];
        if (IsDelimiter(c)) {
            break;
        }
        if (const std::size_t fold = FoldAt(pos_)) {
            out.append(text_.substr(runStart, pos_ - runStart));
            pos_ += fold;
            runStart = pos_;
            continue;
        }
        // A line break that is no fold belongs to the token.
        ++pos_;
        if (onlyLastLine) {
            out.clear();
            runStart = pos_;
        }
    }
    out.append(text_.substr(runStart, pos_ - runStart));
}

RResult RIcsLexer::ReadToken(std::string& out, std::size_t maxChars) {
    return ReadDelimitedRun(out, maxChars, false);
}

RResult RIcsLexer::ReadNameAcrossLines(std::string_view& out, std::size_t maxChars) {
    // A token that runs over the end of a line without a delimiter: the name is what follows.
    const RResult result = ReadDelimitedRunAcrossLines(name_, maxChars, true);
    out = name_;
    return result;
}

std::size_t RIcsLexer::PlainNameEnd(std::size_t start) {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    lineFrom_ = start;
    std::size_t at = start;
#if defined(__SSE2__)
    // Sixteen characters at a time: one mask of the characters that end a name, one of the line
    // breaks among them; a line break can only come at or after the name's end.
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i colons = _mm_set1_epi8(':');
    const __m128i semicolons = _mm_set1_epi8(';');
    const __m128i equals = _mm_set1_epi8('=');
    for (; at + sizeof(__m128i) <= size; at += sizeof(__m128i)) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(chunk, crs), _mm_cmpeq_epi8(chunk, lfs));
        const __m128i separators = _mm_or_si128(_mm_cmpeq_epi8(chunk, colons), _mm_cmpeq_epi8(chunk, semicolons));
        const __m128i delimiters = _mm_or_si128(separators, _mm_cmpeq_epi8(chunk, equals));
        const auto ends = static_cast<unsigned>(_mm_movemask_epi8(delimiters));
        const auto breakBits = static_cast<unsigned>(_mm_movemask_epi8(breaks));
        if ((ends | breakBits) != 0) {
            const auto stop = std::countr_zero(ends | breakBits);
            if (breakBits != 0) {
                lineEnd_ = at + static_cast<std::size_t>(std::countr_zero(breakBits));
                // A line break before any delimiter: the name runs over lines.
                return (ends >> stop & 1U) != 0 ? at + static_cast<std::size_t>(stop) : std::string_view::npos;
            }
            // The line runs on: only its end is looked for from here.
            const std::size_t end = at + static_cast<std::size_t>(stop);
            for (at += sizeof(__m128i); at + sizeof(__m128i) <= size; at += sizeof(__m128i)) {
                const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
                const auto found = static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(next, crs), _mm_cmpeq_epi8(next, lfs))));
                if (found != 0) {
                    lineEnd_ = at + static_cast<std::size_t>(std::countr_zero(found));
                    return end;
                }
            }
            lineEnd_ = RunEnd(at);
            return end;
        }
    }
#endif
    while (at < size && !IsTokenStop(data[at])) {
        ++at;
    }
    lineEnd_ = RunEnd(at);
    return at == size || IsDelimiter(data[at]) ? at : std::string_view::npos;
}

RResult RIcsLexer::ReadDelimitedRun(std::string& out, std::size_t maxChars, bool onlyLastLine) {
    // Most tokens start at the position and end at a delimiter on the same line.
    const std::size_t start = pos_;
    const std::size_t end = start < text_.size() && !IsWhiteSpace(text_[start]) && !IsDelimiter(text_[start])
                                ? PlainNameEnd(start)
                                : std::string_view::npos;
    if (end != std::string_view::npos) {
        pos_ = end;
        if (end - start > maxChars) {
            out.clear();
            return R_E_BUFFER_TOO_SMALL;
        }
        out.assign(text_.substr(start, end - start));
        return R_OK;
    }
    return ReadDelimitedRunAcrossLines(out, maxChars, onlyLastLine);
}

RResult RIcsLexer::ReadDelimitedRunAcrossLines(std::string& out, std::size_t maxChars, bool onlyLastLine) {
    out.clear();
    while (!AtEnd() && IsWhiteSpace(text_[pos_])) {
        pos_ = Next(pos_);
    }
    if (AtEnd()) {
        return R_E_END_OF_TEXT;
    }
    if (IsDelimiter(text_[pos_])) {
        out.push_back(text_[pos_]);
        pos_ = Next(pos_);
        return R_OK;
    }
    ScanToken(out, onlyLastLine);
    if (out.empty()) {
        return R_E_END_OF_TEXT;  // only line breaks and the end of the text followed
    }
    if (out.size() > maxChars) {
        out.clear();
        return R_E_BUFFER_TOO_SMALL;
    }
    return R_OK;
}

std::size_t RIcsLexer::RunEnd(std::size_t index) const {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
#if defined(__SSE2__)
    // Sixteen characters at a time: the mask has a bit for each CR or LF among them.
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    while (index + sizeof(__m128i) <= size) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + index));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, crs), _mm_cmpeq_epi8(chunk, lfs)));
        if (found != 0) {
            return index + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(found)));
        }
        index += sizeof(__m128i);
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        // Eight characters at a time: a byte of the word equals CR or LF when its difference
        // from that character is zero, and the lowest flagged byte is the first such one.
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
        while (index + sizeof(std::uint64_t) <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + index, sizeof word);
            const std::uint64_t cr = word ^ (kOnes * '\r');
            const std::uint64_t lf = word ^ (kOnes * '\n');
            const std::uint64_t found = (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighs;
            if (found != 0) {
                return index + static_cast<std::size_t>(std::countr_zero(found) / 8);
            }
            index += sizeof(std::uint64_t);
        }
    }
    while (index < size && !IsLineBreak(data[index])) {
        ++index;
    }
    return index;
}

bool RIcsLexer::ReadQuoted(std::string& out, std::size_t maxChars) {
    if (Current() != '"') {
        return false;
    }
    std::string quoted(1, '"');
    // The scan is bounded even over a long run of folds; steps counts the characters passed.
    std::size_t at = Next(pos_);
    // The quotes do not count against maxChars: a value of maxChars characters that the writer
    // quoted must read back.
    for (std::size_t steps = 1; at < text_.size() && quoted.size() < maxChars + 2 && steps < 4 * maxChars;) {
        const char c = text_[at];
        if (IsLineBreak(c)) {
            // Only a fold (a line break followed by a space) continues the quoted text; it is dropped.
            const std::size_t second = Next(at);
            const bool crLf = c == '\r' && At(second) == '\n';
            const std::size_t after = crLf ? Next(second) : second;
            if (At(after) != ' ') {
                return false;
            }
            at = Next(after);
            steps += crLf ? 3 : 2;
            continue;
        }
        quoted.push_back(c);
        at = Next(at);
        ++steps;
        if (c == '"') {
            out = std::move(quoted);
            pos_ = at;
            return true;
        }
    }
    return false;
}

void RemoveFolds(std::string& text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (RIcsLexer::IsLineBreak(text[i])) {
            const std::size_t breakLength = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
            if (i + breakLength < text.size() && text[i + breakLength] == ' ') {
                i += breakLength + 1;
                continue;
            }
        }
        text[kept++] = text[i++];
    }
    text.resize(kept);
}

const std::string& RIcsLexer::ValueString() {
    if (valueView_.data() != value_.data()) {
        value_.assign(valueView_);
        valueView_ = value_;
    }
    return value_;
}

RResult RIcsLexer::ReadValueOffLine() {
    // The same common case away from the known line; the lexer's own copy is touched only when
    // lines have to be joined.
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    const std::size_t pos = pos_;
    if (pos + 1 < size && IsDelimiter(data[pos]) && !IsLineBreak(data[pos + 1])) {
        const std::size_t start = pos + 1;
        const std::size_t end = LineEnd(start);
        const std::size_t after = end == size ? size : end + (data[end] == '\r' && At(end + 1) == '\n' ? 2 : 1);
        if (after == size || !IsWhiteSpace(data[after])) {
            valueView_ = text_.substr(start, end - start);  // copied only when asked for terminated
            pos_ = after;
            return R_OK;
        }
    }
    value_.clear();
    valueView_ = value_;
    if (AtEnd()) {
        return R_E_END_OF_TEXT;
    }
    const RResult result = ReadValueAcrossLines();
    valueView_ = value_;
    return result;
}

RResult RIcsLexer::ReadValueAcrossLines() {
    // A fold directly after the delimiter: delimiter, one line break, space.
    if (IsDelimiter(text_[pos_])) {
        const std::size_t second = Next(pos_);
        if (IsLineBreak(At(second))) {
            const std::size_t third = Next(second);
            if (At(third) == ' ') {
                pos_ = Next(third);
            }
        }
    }
    if (IsDelimiter(At(pos_))) {
        const std::size_t second = Next(pos_);
        if (IsLineBreak(At(second))) {
            pos_ = Next(second);
            return R_OK;
        }
        pos_ = second;
    }
    std::size_t runStart = pos_;
    while (!AtEnd()) {
        pos_ = LineEnd(pos_);
        if (AtEnd()) {
            break;
        }
        value_.append(text_.substr(runStart, pos_ - runStart));
        if (const std::size_t fold = FoldAt(pos_)) {
            pos_ += fold;
            runStart = pos_;
            continue;
        }
        // A line break, then a space or another line break and a space, still continues the value.
        // Most lines end in CR LF or LF and the next line's name: nothing to look further for.
        const std::size_t after = pos_ + (text_[pos_] == '\r' && At(pos_ + 1) == '\n' ? 2 : 1);
        if (after < text_.size() && !IsLineBreak(text_[after]) && text_[after] != ' ' && text_[after] != '\t') {
            runStart = pos_;
            break;
        }
        const std::size_t second = Next(pos_);
        const std::size_t third = Next(second);
        if (IsLineBreak(At(second)) && At(third) == ' ') {
            pos_ = Next(third);
        } else if (At(second) == ' ') {
            pos_ = third;
        } else {
            runStart = pos_;
            break;
        }
        runStart = pos_;
    }
    if (runStart < pos_) {
        value_.append(text_.substr(runStart, pos_ - runStart));
    }
    while (!AtEnd() && IsLineBreak(text_[pos_])) {
        pos_ = Next(pos_);
    }
    return R_OK;
}

RResult ReadTokenFromString(std::string_view text, std::size_t& pos, std::string_view& out) {
    out = {};
    while (pos < text.size() && RIcsLexer::IsWhiteSpace(text[pos])) {
        ++pos;
    }
    if (pos >= text.size()) {
        return R_E_END_OF_TEXT;
    }
    const std::size_t start = pos;
    if (RIcsLexer::IsDelimiter(text[pos])) {
        ++pos;
    } else {
        while (pos < text.size() && !RIcsLexer::IsDelimiter(text[pos])) {
            ++pos;
        }
    }
    out = text.substr(start, pos - start);
    return R_OK;
}

RResult ReadTokenFromString(std::string_view text, std::size_t& pos, std::string& out) {
    std::string_view token;
    const RResult result = ReadTokenFromString(text, pos, token);
    out.assign(token);
    return result;
}

RResult ReadLineValueFromString(std::string_view text, std::size_t& pos, std::string& out) {
    out.clear();
    if (pos >= text.size()) {
        return R_E_END_OF_TEXT;
    }
    if (RIcsLexer::IsDelimiter(text[pos])) {
        ++pos;
    }
    while (pos < text.size()) {
        const char c = text[pos];
        if (RIcsLexer::IsLineBreak(c)) {
            if (pos + 1 < text.size() && text[pos + 1] == ' ') {
                pos += 2;
                continue;
            }
            break;
        }
        out.push_back(c);
        ++pos;
    }
    while (pos < text.size() && RIcsLexer::IsLineBreak(text[pos])) {
        ++pos;
    }
    return R_OK;
}
