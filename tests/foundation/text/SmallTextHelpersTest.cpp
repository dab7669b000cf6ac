#include <gtest/gtest.h>

#include "foundation/text/CalendarColor.h"
#include "foundation/text/QuoteStripping.h"

namespace {

TEST(QuoteStripping, RemovesOnePairOnlyFromLongerTexts) {
    char quoted[] = "\"x\"", pair[] = "\"\"", nested[] = "''Jo''", oneSided[] = "'Jo";
    StripDoubleQuotes(quoted);
    StripDoubleQuotes(pair);
    StripSingleQuotes(nested);
    StripSingleQuotes(oneSided);
    StripSingleQuotes(nullptr);
    EXPECT_STREQ(quoted, "x");
    EXPECT_STREQ(pair, "\"\"");
    EXPECT_STREQ(nested, "'Jo'");
    EXPECT_STREQ(oneSided, "'Jo");
}

TEST(CalendarColor, ReadsRedGreenBlueAndKeepsBadPairsInTheirChannel) {
    EXPECT_EQ(ParseCalendarColor(u"#FF000080"), 0x0000FFu);
    EXPECT_EQ(ParseCalendarColor(u"#12abCDff"), 0xCDAB12u);
    EXPECT_EQ(ParseCalendarColor(u"#FF0000"), 0u);
    EXPECT_EQ(ParseCalendarColor(u"#-1FFFFFF"), 0xFFFF00u);
    EXPECT_EQ(ParseCalendarColor(u"#1GZZ00FF"), 0x000001u);
    EXPECT_EQ(ParseCalendarColor(u"#\u00FF\u0100FFFF00"), 0xFFFF00u);
}

}  // namespace
