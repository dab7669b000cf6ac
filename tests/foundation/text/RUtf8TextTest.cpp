#include "foundation/text/RUtf8Text.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::u16string>;

// Every line the reader gives, up to the first empty one.
Lines ReadAll(RUtf8Text& text) {
    Lines lines;
    CStringW line;
    for (text.FirstLine(line); !line.IsEmpty(); text.ReadLine(line)) {
        lines.push_back(line.Str());
    }
    return lines;
}

Lines ReadAll(std::u16string_view wide) {
    RUtf8Text text(CStringW(wide).ToUtf8().GetString());
    return ReadAll(text);
}

TEST(RUtf8TextReadLine, CursorStopsOnLineEndAndUnterminatedTextIsNotReturned) {
    RUtf8Text text("\r\n\r\nabc\r\n");
    CStringW line;
    text.FirstLine(line);
    EXPECT_EQ(line, u"abc");
    EXPECT_EQ(text.Cursor(), 7);  // on the final CR
    text.ReadLine(line);
    EXPECT_TRUE(line.IsEmpty());
    EXPECT_EQ(text.Cursor(), 9);

    RUtf8Text open("one\ntwo");
    open.FirstLine(line);
    EXPECT_EQ(line, u"one");
    for (int i = 0; i < 2; ++i) {
        open.ReadLine(line);
        EXPECT_TRUE(line.IsEmpty());
        EXPECT_EQ(open.Cursor(), 4);
    }
}

TEST(RUtf8TextReadLine, EachKindOfLineEnd) {
    EXPECT_EQ(ReadAll(u"a\nb\n"), (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadAll(u"a\rb\r"), (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadAll(u"\f\fa\fb\n"), Lines{u"a\fb"});  // FF is skipped but ends no line
    // A CR LF pair stored as one unit, in either byte order, is stepped over, so later lines are read.
    RUtf8Text packed(CStringW(u"a\u0D0Ab\u0D0A").ToUtf8().GetString());
    CStringW line;
    packed.FirstLine(line);
    EXPECT_EQ(packed.Cursor(), 2);
    packed.ReadLine(line);
    EXPECT_EQ(line, u"b");
    EXPECT_EQ(ReadAll(u"x\u0A0Dy\u0A0D"), (Lines{u"x", u"y"}));
}

TEST(RUtf8TextReadLine, EarlierPatternWinsWhereverItIs) {
    EXPECT_EQ(ReadAll(u"a\nb\r\nc"), Lines{u"a\nb"});
    EXPECT_EQ(ReadAll(u"a\nb\rc\n"), (Lines{u"a\nb", u"c"}));  // no CR LF: the lone CR wins
    EXPECT_EQ(ReadAll(u"x\u0A0Dy\u0D0A"), Lines{u"x\u0A0Dy"});
}

TEST(RUtf8TextReadLine, ManyLinesAndRestart) {
    std::string body;
    for (int i = 0; i < 2000; ++i) {
        body += "line" + std::to_string(i) + "\n";
    }
    RUtf8Text text(body.c_str());
    EXPECT_EQ(ReadAll(text).size(), 2000u);
    const Lines again = ReadAll(text);  // remembered searches must not cut a restarted read
    ASSERT_EQ(again.size(), 2000u);
    EXPECT_EQ(again.back(), u"line1999");
}

TEST(RUtf8TextAssign, ReplacesTextAndCopyAndRestartsReader) {
    RUtf8Text text("first line\nsecond\n");
    CStringW line;
    text.FirstLine(line);
    text.ReadLine(line);
    EXPECT_STREQ(text.GetUtf8(), "first line\nsecond\n");
    text.AssignUtf8("x\r\n");
    EXPECT_EQ(text.Cursor(), 0);
    text.ReadLine(line);  // the old cursor lay past the new text
    EXPECT_EQ(line, u"x");
    EXPECT_STREQ(text.GetUtf8(), "x\r\n");
    text.AssignUtf8(nullptr);
    EXPECT_STREQ(text.GetUtf8(), "");
}

TEST(RUtf8TextAssign, MalformedUtf8BecomesReplacementCharacters) {
    // Truncated two- and three-byte sequences, a byte that never starts one, an encoded surrogate.
    RUtf8Text text("a\xC3" "b\xFF\xE2\x82" "c\xED\xA0\x80\n");
    EXPECT_EQ(text.Text(), u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\n");
    EXPECT_EQ(CStringW::FromUtf8(text.GetUtf8()), text.Text());

    const std::string astral = "Caf\xC3\xA9 \xF0\x9F\x8E\x89";
    text.AssignUtf8(astral.c_str());
    EXPECT_EQ(text.Text(), u"Caf\u00E9 \U0001F389");
    EXPECT_EQ(std::string(text.GetUtf8()), astral);
}

}  // namespace
