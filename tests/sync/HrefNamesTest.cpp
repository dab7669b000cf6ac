#include "sync/HrefNames.h"

#include <gtest/gtest.h>

TEST(HrefNames, PercentEscapesDecodeAndBrokenOnesStay) {
    EXPECT_EQ(DecodePercent("/bob%40example.test/a%20b%26c.ics"), "/bob@example.test/a b&c.ics");
    EXPECT_EQ(DecodePercent("%C3%A9t%C3%A9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DecodePercent("100%"), "100%");
    EXPECT_EQ(DecodePercent("%4"), "%4");
    EXPECT_EQ(DecodePercent("%zz%41"), "%zzA");
    EXPECT_EQ(DecodePercent(nullptr), "");
}

TEST(HrefNames, PathsMatchWhateverEscapingSchemeOrTrailingSlashTheServerUsed) {
    EXPECT_TRUE(SameServerPath("/bob%40example.test/work/", "/bob@example.test/work/"));
    EXPECT_TRUE(SameServerPath("/alice/calendars/c1", "/alice/calendars/c1/"));
    EXPECT_TRUE(SameServerPath("http://127.0.0.1:5232/alice/c1/", "/alice/c1/"));
    EXPECT_FALSE(SameServerPath("/alice/c1/", "/alice/c10/"));
    EXPECT_FALSE(SameServerPath("/alice/c1/", "/ALICE/c1/"));
    EXPECT_EQ(HrefPath("/a/b.ics?x=1#f"), "/a/b.ics");
}

TEST(HrefNames, AResourceIsKeyedByItsDecodedLastComponent) {
    EXPECT_EQ(LastHrefComponent("/alice/work/a%40b.ics"), "a%40b.ics");
    EXPECT_EQ(ResourceKey("/alice/work/a%40b.ics"), "a@b.ics");
    EXPECT_EQ(ResourceKey("a@b.ics"), "a@b.ics");
    EXPECT_EQ(ResourceKey("https://h.example/alice/work/%C3%BC%20x.ics"), "\xC3\xBC x.ics");
}
