#include "platform/settings/HiveFileFormat.h"

#include <gtest/gtest.h>

namespace platform::hive {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

void ExpectSameTree(const HiveKey& a, const HiveKey& b) {
    EXPECT_EQ(a.Name(), b.Name());
    ASSERT_EQ(a.Values().size(), b.Values().size());
    for (size_t i = 0; i < a.Values().size(); ++i) {
        EXPECT_EQ(a.Values()[i].name, b.Values()[i].name);
        EXPECT_EQ(a.Values()[i].type, b.Values()[i].type);
        EXPECT_EQ(a.Values()[i].data, b.Values()[i].data);
    }
    ASSERT_EQ(a.SubkeyCount(), b.SubkeyCount());
    for (size_t i = 0; i < a.SubkeyCount(); ++i) {
        ExpectSameTree(*a.SubkeyAt(i), *b.SubkeyAt(i));
    }
}

TEST(HiveFileFormat, EveryNameAndValueShapeReadsBackExactly) {
    HiveKey root;
    HiveKey& orvane = root.GetOrAddSubkey(u"Software").GetOrAddSubkey(u"BrenmoorTech").GetOrAddSubkey(u"Orvane");
    orvane.SetValue(u"DebugLog", REG_DWORD, Bytes({1, 0, 0, 0x80}));
    orvane.SetValue(u"TimeZone", REG_SZ, Utf16Bytes(std::u16string(u"Pacific Standard Time") + u'\0'));
    orvane.SetValue(u"", REG_SZ, Utf16Bytes(u"default value, no NUL"));
    orvane.SetValue(u"Short dword", REG_DWORD, Bytes({7, 0}));
    orvane.SetValue(u"Odd text", REG_SZ, Bytes({0x41, 0, 0x42}));
    orvane.SetValue(u"Lone surrogate", REG_SZ, Utf16Bytes(std::u16string(1, u'\xD800') + u"x\r\n=%[]\\#"));
    orvane.SetValue(u"Multi", 7, Bytes({0x41, 0, 0, 0, 0, 0}));
    orvane.SetValue(u"Empty binary", REG_BINARY, {});
    HiveKey& keys = orvane.GetOrAddSubkey(u"Keys");
    keys.SetValue(u"3f2a0c1e-guid", REG_BINARY, Bytes({0, 13, 10, '=', '%', 0xC3, 0xA9, 0xFF, '[', ']', '\\', '#', 0}));
    keys.SetValue(u"odd = name [x] \\ # %41 \r\n \x00e9\x4e2d", REG_BINARY, Bytes({1}));
    root.GetOrAddSubkey(u"Empty key with [odd] name = \\ \x00e9");
    root.SetValue(u"at the root", REG_DWORD, Bytes({2, 0, 0, 0}));

    const std::string text = WriteHiveText(root);
    for (unsigned char c : text) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << "byte " << int(c) << " in the file";
    }
    HiveKey readBack;
    EXPECT_EQ(ReadHiveText(text, readBack).corruptLines, 0);
    ExpectSameTree(root, readBack);
    EXPECT_EQ(WriteHiveText(readBack), text);
}

TEST(HiveFileFormat, CorruptLinesAreSkippedAndCounted) {
    const std::string text =
        "stray=dword:00000001\n"              // value before any section
        "[Good]\n"
        "A=dword:00000005\n"
        "B=dword:123\n"                       // wrong length
        "C=sz:bad%zz00\n"                     // broken escape
        "D=hex:0g\n"                          // not hexadecimal
        "E=hex(4294967296):00\n"              // type out of range
        "no equals sign\n"
        "F=unknown:00\n"
        "\x01\x02 binary junk\n"
        "[Broken\\\\Section]\n"
        "G=dword:00000001\n"                  // below a broken section
        "[Good\\Sub]\r\n"                     // CR LF tolerated
        "H=hex(0):ff\r\n"
        "I=hex:0102";                         // last line without its newline
    HiveKey root;
    EXPECT_EQ(ReadHiveText(text, root).corruptLines, 10);
    const HiveKey* good = root.FindSubkey(u"good");
    ASSERT_NE(good, nullptr);
    ASSERT_EQ(good->Values().size(), 1u);
    EXPECT_EQ(good->Values()[0].data, Bytes({5, 0, 0, 0}));
    const HiveKey* sub = good->FindSubkey(u"Sub");
    ASSERT_NE(sub, nullptr);
    ASSERT_NE(sub->FindValue(u"H"), nullptr);
    EXPECT_EQ(sub->FindValue(u"H")->type, REG_NONE);
    ASSERT_NE(sub->FindValue(u"I"), nullptr);
    EXPECT_EQ(sub->FindValue(u"I")->data, Bytes({1, 2}));
    EXPECT_EQ(root.FindSubkey(u"Broken"), nullptr) << "a broken section line creates no keys";
}

}  // namespace
}  // namespace platform::hive
