#include "foundation/text/GuidString.h"

#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(GuidString, LowerCaseWithDashesNoBracesAndDistinct) {
    const std::regex shape("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        CStringA guid;
        ASSERT_EQ(NewGuidStringA(guid), 0);
        EXPECT_TRUE(std::regex_match(guid.Str(), shape)) << guid.Str();
        seen.insert(guid.Str());
    }
    EXPECT_EQ(seen.size(), 100u);
    CStringW wide;
    ASSERT_EQ(NewGuidString(wide), 0);
    EXPECT_TRUE(std::regex_match(wide.ToUtf8().Str(), shape));
}

}  // namespace
