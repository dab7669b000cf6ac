#include "platform/archive/CArchive.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Image(const CStringW& text) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    ar << text;
    EXPECT_FALSE(ar.Failed());
    return file.Detach();
}

// Reads one string from `image`; the text starts as a sentinel so that untouched output shows.
bool ReadBack(const Bytes& image, CStringW& text) {
    CMemFile file;
    file.Write(image.data(), image.size());
    file.SeekToBegin();
    CArchive ar(file, CArchive::load);
    ar >> text;
    return !ar.Failed();
}

Bytes Prefix(const Bytes& image, std::size_t n) { return Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n)); }

TEST(CArchiveString, ImageHasTheMarkAndTheShortestLength) {
    EXPECT_EQ(Image(u""), (Bytes{0xFF, 0xFE, 0xFF, 0x00}));
    EXPECT_EQ(Image(u"aé€"), (Bytes{0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0xE9, 0x00, 0xAC, 0x20}));

    const Bytes image300 = Image(CStringW(u'x', 300));
    ASSERT_EQ(image300.size(), 6u + 600u);
    EXPECT_EQ(Prefix(image300, 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
    EXPECT_EQ(image300[6], 'x');
    EXPECT_EQ(image300[7], 0);

    EXPECT_EQ(Prefix(Image(CStringW(u'x', 254)), 4), (Bytes{0xFF, 0xFE, 0xFF, 0xFE}));
    EXPECT_EQ(Prefix(Image(CStringW(u'x', 255)), 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(Prefix(Image(CStringW(u'x', 0xFFFD)), 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}));
    EXPECT_EQ(Prefix(Image(CStringW(u'x', 0xFFFE)), 10),
              (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
}

TEST(CArchiveString, EveryLengthFormReadsBack) {
    for (int n : {0, 1, 254, 255, 300, 0xFFFD, 0xFFFE, 0x10005}) {
        SCOPED_TRACE(n);
        CStringW text;
        for (int i = 0; i < n; ++i) text += static_cast<char16_t>(0xD7FF - i % 5000);
        CStringW back(u"sentinel");
        ASSERT_TRUE(ReadBack(Image(text), back));
        EXPECT_TRUE(back == text);
    }
    CStringW back;
    ASSERT_TRUE(ReadBack(Image(u"\U0001F600 ok"), back));
    EXPECT_TRUE(back == u"\U0001F600 ok");
}

TEST(CArchiveString, TruncatedImagesFailAndLeaveTheTextAlone) {
    for (const Bytes& image : {Image(u"abc"), Image(CStringW(u'y', 300)), Image(CStringW(u'z', 0x10000))}) {
        for (std::size_t cut = 0; cut < image.size(); cut += (cut < 16 ? 1 : 97)) {
            CStringW text(u"sentinel");
            EXPECT_FALSE(ReadBack(Prefix(image, cut), text)) << cut;
            EXPECT_TRUE(text == u"sentinel");
        }
    }
}

TEST(CArchiveString, LyingOrUnsupportedLengthsFail) {
    const Bytes lies[] = {
        {0xFF, 0xFE, 0xFF, 0x10, 0x61, 0x00},                          // 16 characters promised, 1 given
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF},  // about 4 billion characters
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0, 0, 0, 0},  // 64-bit length
        {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00},                    // narrow, 32-bit length of 65536
    };
    for (const Bytes& image : lies) {
        CStringW text(u"sentinel");
        EXPECT_FALSE(ReadBack(image, text));
        EXPECT_TRUE(text == u"sentinel");
    }
}

TEST(CArchiveString, NarrowImagesReadAsUtf8) {
    CStringW text;
    ASSERT_TRUE(ReadBack(Bytes{0x03, 'a', 'b', 'c'}, text));
    EXPECT_TRUE(text == u"abc");
    ASSERT_TRUE(ReadBack(Bytes{0x02, 0xC3, 0xA9}, text));
    EXPECT_TRUE(text == u"é");
    Bytes narrow300{0xFF, 0x2C, 0x01};
    narrow300.resize(3 + 300, 'q');
    ASSERT_TRUE(ReadBack(narrow300, text));
    EXPECT_TRUE(text == CStringW(u'q', 300));
}

TEST(CArchive, NumbersAreLittleEndianAndModesAreEnforced) {
    CMemFile file;
    {
        CArchive ar(file, CArchive::store);
        ar << std::uint8_t{0x12} << std::uint16_t{0x3456} << std::uint32_t{0x789ABCDE} << std::int32_t{-2};
        EXPECT_FALSE(ar.Failed());
        std::uint8_t byte = 0;
        ar >> byte;
        EXPECT_TRUE(ar.Failed()) << "a storing archive cannot read";
    }
    const Bytes expected{0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Bytes(file.Data(), file.Data() + file.GetLength()), expected);

    file.SeekToBegin();
    CArchive ar(file, CArchive::load);
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    std::uint32_t c = 0;
    std::int32_t d = 0, past = 7;
    ar >> a >> b >> c >> d;
    EXPECT_FALSE(ar.Failed());
    EXPECT_EQ(a, 0x12);
    EXPECT_EQ(b, 0x3456);
    EXPECT_EQ(c, 0x789ABCDEu);
    EXPECT_EQ(d, -2);
    ar >> past;
    EXPECT_TRUE(ar.Failed());
    EXPECT_EQ(past, 0) << "reads past the end give zero";
    ar << std::uint8_t{1};
    EXPECT_EQ(file.GetLength(), expected.size()) << "a loading archive cannot write";
}

}  // namespace
