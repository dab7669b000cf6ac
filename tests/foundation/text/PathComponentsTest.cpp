#include "foundation/text/PathComponents.h"

#include <gtest/gtest.h>

namespace {

CStringW Last(const CStringW& path) {
    CStringW out(u"stale");
    GetLastPathComponent(path, out);
    return out;
}

CStringW Parent(CStringW path) {
    GetParentPath(path);
    return path;
}

TEST(PathComponents, LastComponentAndParent) {
    EXPECT_EQ(Last(u"a/b/c/"), u"c");
    EXPECT_EQ(Last(u"abc"), u"abc");
    EXPECT_EQ(Last(u"/cal/home\\x.ics"), u"x.ics");
    EXPECT_EQ(Last(u"/abc"), u"/abc");  // a lone leading separator is no split point
    EXPECT_EQ(Last(u"a/b//"), u"");
    EXPECT_EQ(Last(u""), u"");

    EXPECT_EQ(Parent(u"a/b/c/"), u"a/b");
    EXPECT_EQ(Parent(u"abc"), u"");
    EXPECT_EQ(Parent(u"/abc"), u"");
    EXPECT_EQ(Parent(u"a\\b\\c.ics"), u"a\\b");
    EXPECT_EQ(Parent(u"a//b"), u"a");
}

TEST(PathComponents, NarrowTwinsKeepUtf8) {
    CStringA out;
    GetLastPathComponentA("/dav/K\xC3\xB6ln.ics", &out);
    EXPECT_EQ(out, "K\xC3\xB6ln.ics");
    GetLastPathComponentA("a/b", nullptr);
    CStringA path("/feeds/K\xC3\xB6ln.ics");
    GetParentPathA(path);
    EXPECT_EQ(path, "/feeds");
}

TEST(PathComponents, AppendWritesOneSlashAndHonoursBothSeparators) {
    CStringW path;
    AppendPathComponent(path, u"x");
    EXPECT_EQ(path, u"/x");
    AppendPathComponent(path, u"y");
    EXPECT_EQ(path, u"/x/y");
    CStringW backslash(u"C:\\data\\");
    AppendPathComponent(backslash, u"z");
    EXPECT_EQ(backslash, u"C:\\data\\z");
    CStringA narrow("/accounts/");
    AppendPathComponentA(narrow, "0f1e");
    EXPECT_EQ(narrow, "/accounts/0f1e");
}

}  // namespace
