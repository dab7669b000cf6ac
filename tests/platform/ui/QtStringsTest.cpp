// Template filling in one pass and string conversions with characters outside the BMP.
#include <gtest/gtest.h>

#include "platform/ui/QtStrings.h"

using namespace platform::ui;

TEST(QtStrings, TemplatesAreFilledInOnePassSoValuesShowLiterally) {
    EXPECT_EQ(FillTemplate("Account: %s\nEvent: %s", {"%s & %1", "<b>x</b>"}),
              "Account: %s & %1\nEvent: <b>x</b>");
    EXPECT_EQ(FillTemplate("%d%% of %s", {"-2146959349"}), "-2146959349% of ");
    EXPECT_EQ(FillTemplate("trailing %", {}), "trailing %");
    const CStringW wide = CStringW::FromUtf8("Caf\xC3\xA9 \xF0\x9F\x93\x85");
    EXPECT_EQ(ToQString(wide), QString::fromUtf8("Caf\xC3\xA9 \xF0\x9F\x93\x85"));
    EXPECT_EQ(ToCStringW(ToQString(wide)), wide);
    EXPECT_EQ(ToQString(CStringA("\xC3\xA9")), QString::fromUtf8("\xC3\xA9"));
    EXPECT_EQ(ToCStringA(ToQString(wide)), CStringA("Caf\xC3\xA9 \xF0\x9F\x93\x85"));
}
