#include "foundation/text/UrlSegments.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(UrlSegments, AppendsWithOneSlash) {
    char buffer[32] = "";
    EXPECT_EQ(EnsureTrailingSlash(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(AppendUrlSegment(buffer, sizeof buffer, ".well-known"), 0);
    EXPECT_EQ(AppendUrlSegment(buffer, sizeof buffer, "caldav"), 0);
    EXPECT_EQ(EnsureTrailingSlash(buffer, sizeof buffer), 0);
    EXPECT_EQ(EnsureTrailingSlash(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, ".well-known/caldav/");
    EXPECT_EQ(AppendUrlSegment(buffer, sizeof buffer, buffer + 12), 0);  // a segment from the buffer itself
    EXPECT_STREQ(buffer, ".well-known/caldav/caldav/");
}

TEST(UrlSegments, FillsExactlyToCapacityAndRefusesOneMore) {
    char area[16];
    std::memset(area, '#', sizeof area);  // guard bytes past the 8-byte buffer
    const size_t capacity = 8;
    std::strcpy(area, "/ab");

    EXPECT_EQ(AppendUrlSegment(area, capacity, "cdef"), R_E_BUFFER_TOO_SMALL);  // 8 characters + NUL
    EXPECT_STREQ(area, "/ab");
    EXPECT_EQ(AppendUrlSegment(area, capacity, "cde"), 0);  // 7 characters + NUL
    EXPECT_STREQ(area, "/ab/cde");
    EXPECT_EQ(EnsureTrailingSlash(area, capacity), R_E_BUFFER_TOO_SMALL);
    EXPECT_STREQ(area, "/ab/cde");
    for (size_t i = capacity; i < sizeof area; ++i) {
        EXPECT_EQ(area[i], '#') << "byte " << i;
    }
}

TEST(UrlSegments, RefusesBadArguments) {
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendUrlSegment(unterminated, sizeof unterminated, "x"), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(EnsureTrailingSlash(unterminated, sizeof unterminated), R_E_INVALID_ARGUMENT);
    char buffer[8] = "a";
    EXPECT_EQ(AppendUrlSegment(buffer, 0, "x"), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(AppendUrlSegment(nullptr, 8, "x"), R_E_INVALID_ARGUMENT);
    EXPECT_EQ(AppendUrlSegment(buffer, sizeof buffer, nullptr), R_E_INVALID_ARGUMENT);
    EXPECT_STREQ(buffer, "a");
}

}  // namespace
