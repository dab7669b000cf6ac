#pragma once
// UTF-16 text built from UTF-8 bytes, read line by line, with a cached UTF-8 copy.
#include <cstdint>

#include "platform/string/CString.h"

class RUtf8Text {
public:
    // Null reads as empty text.
    explicit RUtf8Text(const char* utf8 = nullptr);
    ~RUtf8Text();
    RUtf8Text(const RUtf8Text&) = delete;
    RUtf8Text& operator=(const RUtf8Text&) = delete;

    // Replaces the text with the NUL-terminated UTF-8 bytes (malformed sequences become U+FFFD),
    // drops the cached UTF-8 copy and puts the line reader back at the start. When memory runs
    // out the old text stays.
    void AssignUtf8(const char* utf8);

    // A NUL-terminated UTF-8 copy of the text, valid until the next call or destruction;
    // null when memory runs out.
    const char* GetUtf8();

    // Reads the first line (see ReadLine).
    void FirstLine(CStringW& out);

    // Reads the next line into `out`. Line ends are skipped first (CR, LF, FF). The line end is the
    // first of these patterns that occurs anywhere in the rest of the text, tried in this order:
    // CR LF; U+0D0A; U+0A0D (a CR LF pair stored as one unit, in either byte order); CR; LF.
    // The cursor stops on a CR or LF line end (the next call skips it) and just after a packed
    // pair. Text with no line end after it is not returned: `out` is then empty and the cursor
    // stays put.
    void ReadLine(CStringW& out);

    const CStringW& Text() const { return text_; }
    // Character index of the line reader.
    std::int32_t Cursor() const { return cursor_; }

private:
    static constexpr int kLineEndPatterns = 5;

    CStringW text_;
    std::int32_t cursor_ = 0;
    char* utf8_ = nullptr;
    // For each line-end pattern, a position from which on the pattern is known to be absent, so
    // that reading many lines does not search the whole rest of the text again for each one.
    std::int32_t absentFrom_[kLineEndPatterns];

    void ForgetSearches();
};
