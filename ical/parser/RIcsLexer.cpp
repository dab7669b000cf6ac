#include "ical/parser/RIcsLexer.h"

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

void ToUpperAscii(std::string& text) {
    for (char& c : text) {
        c = UpperAscii(c);
    }
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string UnfoldLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (RIcsLexer::IsLineBreak(c)) {
            const std::size_t breakLength = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
            const std::size_t next = i + breakLength;
            if (next < text.size() && (text[next] == ' ' || text[next] == '\t')) {
                i = next + 1;
                continue;
            }
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

void RIcsLexer::SkipParameters() {
    while (Current() == ';') {
        ++pos_;
        // The name, then after '=' the value: quoted text runs to its closing quote.
        while (!AtEnd() && text_[pos_] != ':' && text_[pos_] != ';' && !IsLineBreak(text_[pos_])) {
            if (text_[pos_] == '"') {
                const std::size_t close = text_.find('"', pos_ + 1);
                const std::size_t lineEnd = text_.find_first_of("\r\n", pos_ + 1);
                if (close != std::string_view::npos && (lineEnd == std::string_view::npos || close < lineEnd)) {
                    pos_ = close + 1;
                    continue;
                }
            }
            ++pos_;
        }
    }
}

bool RIcsLexer::SeekNextCalendar() {
    static constexpr std::string_view kBegin = "BEGIN:VCALENDAR";
    for (std::size_t at = pos_; at < text_.size(); ++at) {
        const bool lineStart = at == 0 || IsLineBreak(text_[at - 1]);
        if (lineStart && text_.size() - at >= kBegin.size() && SameName(text_.substr(at, kBegin.size()), kBegin)) {
            pos_ = at;
            return true;
        }
    }
    pos_ = text_.size();
    return false;
}

RResult RIcsLexer::ReadToken(std::string& out, std::size_t maxChars) {
    out.clear();
    while (!AtEnd() && IsWhiteSpace(text_[pos_])) {
        ++pos_;
    }
    if (AtEnd()) {
        return R_E_END_OF_TEXT;
    }
    if (IsDelimiter(text_[pos_])) {
        out.push_back(text_[pos_++]);
        return R_OK;
    }
    const std::size_t start = pos_;
    while (!AtEnd() && !IsDelimiter(text_[pos_])) {
        ++pos_;
    }
    if (pos_ - start > maxChars) {
        return R_E_BUFFER_TOO_SMALL;
    }
    out.assign(text_.substr(start, pos_ - start));
    return R_OK;
}

RResult RIcsLexer::ReadName(std::string& out, std::size_t maxChars) {
    const RResult result = ReadToken(out, std::string::npos);
    if (result != R_OK) {
        return result;
    }
    const std::size_t lineBreak = out.find_last_of("\r\n");
    if (lineBreak != std::string::npos) {
        // The token ran over the end of a line that has no delimiter: the name is what follows.
        out.erase(0, lineBreak + 1);
        if (out.empty()) {
            return R_E_END_OF_TEXT;  // only the end of the text follows
        }
    }
    return out.size() > maxChars ? R_E_BUFFER_TOO_SMALL : R_OK;
}

bool RIcsLexer::ReadQuoted(std::string& out, std::size_t maxChars) {
    if (Current() != '"') {
        return false;
    }
    std::string quoted(1, '"');
    // The scan is bounded even over a long run of folds.
    for (std::size_t i = pos_ + 1; i < text_.size() && quoted.size() < maxChars && i - pos_ < 4 * maxChars;) {
        const char c = text_[i];
        if (IsLineBreak(c)) {
            // Only a fold (a line break followed by a space) continues the quoted text; it is dropped.
            const std::size_t breakLength = c == '\r' && At(i + 1) == '\n' ? 2 : 1;
            if (At(i + breakLength) != ' ') {
                return false;
            }
            i += breakLength + 1;
            continue;
        }
        quoted.push_back(c);
        ++i;
        if (c == '"') {
            out = std::move(quoted);
            pos_ = i;
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

RResult RIcsLexer::ReadValue() {
    value_.clear();
    if (AtEnd()) {
        return R_E_END_OF_TEXT;
    }
    // A fold directly after the delimiter: delimiter, one line break, space.
    if (IsDelimiter(At(pos_)) && IsLineBreak(At(pos_ + 1)) && At(pos_ + 2) == ' ') {
        pos_ += 3;
    }
    if (IsDelimiter(At(pos_)) && IsLineBreak(At(pos_ + 1))) {
        pos_ += 2;
        return R_OK;
    }
    if (IsDelimiter(At(pos_))) {
        ++pos_;
    }
    std::size_t runStart = pos_;
    while (!AtEnd()) {
        const char c = text_[pos_];
        if (!IsLineBreak(c)) {
            ++pos_;
            continue;
        }
        value_.append(text_.substr(runStart, pos_ - runStart));
        if (IsLineBreak(At(pos_ + 1)) && At(pos_ + 2) == ' ') {
            pos_ += 3;
        } else if (At(pos_ + 1) == ' ') {
            pos_ += 2;
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
        ++pos_;
    }
    return R_OK;
}

RResult ReadTokenFromString(std::string_view text, std::size_t& pos, std::string& out) {
    out.clear();
    while (pos < text.size() && RIcsLexer::IsWhiteSpace(text[pos])) {
        ++pos;
    }
    if (pos >= text.size()) {
        return R_E_END_OF_TEXT;
    }
    if (RIcsLexer::IsDelimiter(text[pos])) {
        out.push_back(text[pos++]);
        return R_OK;
    }
    const std::size_t start = pos;
    while (pos < text.size() && !RIcsLexer::IsDelimiter(text[pos])) {
        ++pos;
    }
    out.assign(text.substr(start, pos - start));
    return R_OK;
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
