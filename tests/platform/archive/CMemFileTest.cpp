#include "platform/archive/CMemFile.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CMemFile, WritesReadsAndSeeks) {
    CMemFile file(4);
    const std::uint8_t data[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(file.Write(data, sizeof data));
    EXPECT_EQ(file.GetLength(), 7u);
    EXPECT_EQ(file.GetPosition(), 7u);

    file.SeekToBegin();
    std::uint8_t out[10] = {};
    EXPECT_EQ(file.Read(out, 3), 3u);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(file.Read(out, 10), 4u) << "a read stops at the end";
    EXPECT_EQ(file.Read(out, 10), 0u);

    ASSERT_TRUE(file.Seek(-2, CMemFile::end));
    EXPECT_EQ(file.GetPosition(), 5u);
    ASSERT_TRUE(file.Seek(-1, CMemFile::current));
    EXPECT_EQ(file.GetPosition(), 4u);
    EXPECT_FALSE(file.Seek(-5, CMemFile::current));
    EXPECT_FALSE(file.Seek(-1, CMemFile::begin));
    EXPECT_EQ(file.GetPosition(), 4u);

    // Overwrite in the middle, then past the end: the gap reads as zeros.
    const std::uint8_t nine = 9;
    ASSERT_TRUE(file.Write(&nine, 1));
    ASSERT_TRUE(file.Seek(10, CMemFile::begin));
    ASSERT_TRUE(file.Write(&nine, 1));
    file.SeekToBegin();
    std::uint8_t all[11];
    ASSERT_EQ(file.Read(all, sizeof all), 11u);
    EXPECT_EQ(Bytes(all, all + 11), (Bytes{1, 2, 3, 4, 9, 6, 7, 0, 0, 0, 9}));
}

TEST(CMemFile, RefusesWritesThatCannotFit) {
    CMemFile file;
    const std::uint8_t byte = 1;
    ASSERT_TRUE(file.Seek(INT64_MAX, CMemFile::begin));
    EXPECT_FALSE(file.Write(&byte, 1));
    EXPECT_FALSE(file.Seek(1, CMemFile::current));
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_EQ(file.Remaining(), 0u);
}

}  // namespace
