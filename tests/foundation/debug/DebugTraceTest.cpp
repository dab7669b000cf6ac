#include "foundation/debug/DebugTrace.h"

#include <regex>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(DebugTrace, OneTimeStampedLinePerCallAndLongMessagesWhole) {
    const bool wasOn = IsDebugTraceOn();
    SetDebugTraceOn(true);
    testing::internal::CaptureStderr();
    DebugTrace("Error %d :: %s", 19, "constraint failed");
    const std::string big(100000, 'z');  // past the 81920-byte line of the original
    DebugTrace("%s", big.c_str());
    const std::string out = testing::internal::GetCapturedStderr();
    SetDebugTraceOn(wasOn);

    std::smatch parts;
    ASSERT_TRUE(std::regex_search(out, parts,
                                  std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} Error 19 :: constraint failed\n)")))
        << out.substr(0, 80);
    const std::string second = out.substr(static_cast<size_t>(parts.length(0)));
    EXPECT_EQ(second.size(), 24u + big.size() + 1);
    EXPECT_EQ(second.substr(24), big + "\n");
}

}  // namespace
