#include "foundation/text/RUtf8Text.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <string_view>

#include "foundation/text/Utf8Conversion.h"
#include "platform/string/Utf.h"

namespace {

constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kFormFeed = u'\f';

// In the order they are tried; the earlier pattern wins even when a later one occurs first.
constexpr std::u16string_view kLineEnds[] = {u"\r\n", u"\u0D0A", u"\u0A0D", u"\r", u"\n"};

bool IsPackedLineEnd(std::u16string_view pattern) { return pattern == u"\u0D0A" || pattern == u"\u0A0D"; }

bool IsSkippedLineEnd(char16_t c) { return c == kCarriageReturn || c == kLineFeed || c == kFormFeed; }

}  // namespace

static_assert(sizeof kLineEnds / sizeof kLineEnds[0] == 5, "one remembered search per pattern");

RUtf8Text::RUtf8Text(const char* utf8) {
    ForgetSearches();
    AssignUtf8(utf8);
}

RUtf8Text::~RUtf8Text() { std::free(utf8_); }

void RUtf8Text::ForgetSearches() {
    for (auto& position : absentFrom_) {
        position = std::numeric_limits<std::int32_t>::max();
    }
}

void RUtf8Text::AssignUtf8(const char* utf8) {
    try {
        text_ = CStringW(platform::Utf8ToUtf16(utf8 != nullptr ? std::string_view(utf8) : std::string_view()));
    } catch (const std::bad_alloc&) {
        return;
    }
    std::free(utf8_);
    utf8_ = nullptr;
    cursor_ = 0;
    ForgetSearches();
}

const char* RUtf8Text::GetUtf8() {
    std::free(utf8_);
    utf8_ = WideToUtf8(text_);
    return utf8_;
}

void RUtf8Text::FirstLine(CStringW& out) {
    cursor_ = 0;
    ReadLine(out);
}

void RUtf8Text::ReadLine(CStringW& out) {
    out.Empty();
    const std::u16string_view text = text_.AsView();
    const auto length = static_cast<std::int32_t>(text.size());
    if (cursor_ < 0 || cursor_ > length) {
        throw platform::InvalidArgumentError("RUtf8Text cursor beyond the text");
    }
    while (cursor_ < length && IsSkippedLineEnd(text[static_cast<size_t>(cursor_)])) {
        ++cursor_;
    }
    if (cursor_ == length) {
        return;
    }
    for (int i = 0; i < kLineEndPatterns; ++i) {
        if (cursor_ >= absentFrom_[i]) {
            continue;
        }
        const size_t found = text.find(kLineEnds[i], static_cast<size_t>(cursor_));
        if (found == std::u16string_view::npos) {
            absentFrom_[i] = cursor_;
            continue;
        }
        const auto end = static_cast<std::int32_t>(found);
        out = text_.Mid(cursor_, end - cursor_);
        // The next call skips CR and LF itself; a packed pair is no CR or LF, so it is stepped
        // over here, or every later call would stop on it and give an empty line.
        cursor_ = IsPackedLineEnd(kLineEnds[i]) ? end + 1 : end;
        return;
    }
}
