#include "foundation/memory/RHeapBuffer.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Contents(const RHeapBuffer* buffer) { return std::string(buffer->data, static_cast<size_t>(buffer->size)); }

TEST(RHeapBuffer, AppendGrowsKeepsBytesAndRefusalsChangeNothing) {
    EXPECT_EQ(RHeapBuffer::Create(-1), nullptr);
    EXPECT_EQ(RHeapBuffer::Append(nullptr, "abc", 3), ERROR_SUCCESS);

    RHeapBuffer* buffer = RHeapBuffer::Create(0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(RHeapBuffer::Append(buffer, "BEGIN:", 6), ERROR_SUCCESS);
    EXPECT_EQ(RHeapBuffer::Append(buffer, "X\0Y", 3), ERROR_SUCCESS);  // bytes, not text
    EXPECT_EQ(RHeapBuffer::Append(buffer, "ignored", 0), ERROR_SUCCESS);
    const std::string expected("BEGIN:X\0Y", 9);
    EXPECT_EQ(Contents(buffer), expected);

    EXPECT_NE(RHeapBuffer::Append(buffer, "d", -1), ERROR_SUCCESS);
    EXPECT_NE(RHeapBuffer::Append(buffer, nullptr, 3), ERROR_SUCCESS);
    EXPECT_EQ(RHeapBuffer::Append(buffer, "d", std::numeric_limits<int>::max()), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Contents(buffer), expected);

    const std::string big(100000, 'z');
    EXPECT_EQ(RHeapBuffer::Append(buffer, big.data(), static_cast<int>(big.size())), ERROR_SUCCESS);
    EXPECT_EQ(Contents(buffer), expected + big);
    RHeapBuffer::Free(buffer);
}

}  // namespace
