#include "foundation/files/FileNames.h"

#include <gtest/gtest.h>

namespace {

CStringW Sanitized(const CStringW& in) {
    CStringW out;
    SanitizeFileName(out, in);
    return out;
}

TEST(SanitizeFileName, ReplacesByTheLowEightBits) {
    EXPECT_EQ(Sanitized(u"a:b@c"), u"a_b_c");
    EXPECT_EQ(Sanitized(u"<>*?:;\"'/\\|@ok.ics"), u"____________ok.ics");
    // U+013C has the low byte of '<', U+4E2A that of '*'; U+00E9 matches nothing.
    EXPECT_EQ(Sanitized(u"\u013Cx\u4E2A\u00E9"), u"_x_\u00E9");
    EXPECT_EQ(Sanitized(u"."), u"_");
    EXPECT_EQ(Sanitized(u".."), u"__");
    EXPECT_EQ(Sanitized(u"..."), u"...");
    CStringW same(u"a/b");
    SanitizeFileName(same, same);
    EXPECT_EQ(same, u"a_b");
}

TEST(SanitizeFileNameA, ConvertsThroughWideText) {
    CStringA out;
    SanitizeFileNameA("K\xC3\xB6ln:\xC4\xBC", &out);  // "Köln:ļ", ļ being U+013C
    EXPECT_EQ(out, "K\xC3\xB6ln__");
    SanitizeFileNameA("bad\xFF@", &out);
    EXPECT_EQ(out, "bad\xEF\xBF\xBD_");
    SanitizeFileNameA("uid@host", nullptr);
}

}  // namespace
