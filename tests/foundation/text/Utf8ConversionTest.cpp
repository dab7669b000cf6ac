#include "foundation/text/Utf8Conversion.h"

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(Utf8Conversion, CopiesWholeTextAndReplacesUnpairedSurrogates) {
    // Three-byte characters need more than the minimum 2 x length + 2 bytes.
    const CStringW wide(u"\u65E5\u672C\u8A9E\u65E5\u672C\u8A9E\u65E5\u672C\u8A9E\u65E5");
    char* utf8 = WideToUtf8(wide);
    ASSERT_NE(utf8, nullptr);
    EXPECT_EQ(std::strlen(utf8), 30u);
    EXPECT_EQ(CStringW::FromUtf8(utf8), wide);
    std::free(utf8);

    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    CStringA out("old");
    ToUtf8String(CStringW(lone), out);
    EXPECT_EQ(out, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    ToUtf8String(CStringW(u"\U0001F600"), out);
    EXPECT_EQ(out, "\xF0\x9F\x98\x80");
}

}  // namespace
