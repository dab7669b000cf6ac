#include "foundation/crypto/CCrypto.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/HexBytes.h"

namespace {

using orvane::test::Bytes;
using orvane::test::FromHex;

CByteArray ToArray(const Bytes& bytes) {
    CByteArray array;
    array.Bytes() = bytes;
    return array;
}

// Known answers for the pass phrase u"0123456789", worked out apart from this code with Python:
// hashlib.md5 of the phrase's UTF-16LE bytes is 5004beac5ab44529cba683078c7da610, so the RC2 key
// is 5004beac5a followed by 11 zero bytes. Each image (FF FE FF, the length in UTF-16 units, which
// is 10 for the last text, then the UTF-16LE text) was padded PKCS#5-style and enciphered with
// pycryptodome (Debian's python3-pycryptodome, whose RC2 gives the RFC 2268 answers) as
// ARC2.new(key, ARC2.MODE_CBC, iv=bytes(8), effective_keylen=40).
const char16_t kPhrase[] = u"0123456789";
struct KnownAnswer {
    const char16_t* text;
    const char* cipherHex;
};
const KnownAnswer kKnownAnswers[] = {
    {u"", "9abff4fe56f4c096"},
    {u"secret", "91f603c42136dd11d3aa0297345efb00fae681cc0335937a"},
    {u"P\u00e4ssw\u00f6rd\U0001F600", "3dc8d0a5b29ae6f0344dab8afcf12cccf59c0b1b92d631a72215e747dcd1129b"},
};

class KeyedCrypto : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(crypto.DeriveKey(kPhrase)); }
    MFC::CCrypto crypto;
};

TEST_F(KeyedCrypto, EnciphersToTheKnownAnswers) {
    for (const auto& known : kKnownAnswers) {
        CByteArray out;
        ASSERT_TRUE(crypto.EncryptString(known.text, out));
        EXPECT_EQ(out.Bytes(), FromHex(known.cipherHex));

        CStringW back;
        ASSERT_TRUE(crypto.DecryptString(ToArray(FromHex(known.cipherHex)), back));
        EXPECT_TRUE(back == known.text);
    }
}

TEST_F(KeyedCrypto, EncipheringEmptiesTheMemoryFile) {
    CByteArray out;
    ASSERT_TRUE(crypto.EncryptString(CStringW(u'x', 300), out));
    EXPECT_EQ(out.GetSize(), 608) << "606 image bytes round up to 608";
    // Nothing is left behind, so the memory file alone enciphers to one block of padding.
    CByteArray empty;
    ASSERT_TRUE(crypto.EncryptMemFile(empty));
    EXPECT_EQ(empty.GetSize(), 8);
    CStringW untouched(u"kept");
    EXPECT_FALSE(crypto.DecryptString(empty, untouched)) << "no string image inside";
    EXPECT_TRUE(untouched == u"kept");
}

TEST_F(KeyedCrypto, RoundTripsTextOfEveryLengthForm) {
    for (int n : {1, 7, 254, 255, 0xFFFD, 0xFFFE, 70000}) {
        SCOPED_TRACE(n);
        CStringW text;
        for (int i = 0; i < n; ++i) text += static_cast<char16_t>(u'A' + i % 26);
        CByteArray out;
        ASSERT_TRUE(crypto.EncryptString(text, out));
        CStringW back;
        ASSERT_TRUE(crypto.DecryptString(out, back));
        EXPECT_TRUE(back == text);
    }
}

TEST_F(KeyedCrypto, BadCipherTextFailsAndLeavesTheTextAlone) {
    const Bytes good = FromHex(kKnownAnswers[1].cipherHex);
    const Bytes cuts[] = {
        {},
        Bytes(good.begin(), good.begin() + 16),  // whole blocks, but the padding is gone
        Bytes(good.begin(), good.end() - 1),      // not a multiple of 8
        Bytes(good.begin(), good.begin() + 5),
    };
    for (const Bytes& cut : cuts) {
        CStringW text(u"kept");
        EXPECT_FALSE(crypto.DecryptString(ToArray(cut), text)) << cut.size();
        EXPECT_TRUE(text == u"kept");
    }
}

TEST_F(KeyedCrypto, TheWrongKeyNeverYieldsTheText) {
    CByteArray out;
    ASSERT_TRUE(crypto.EncryptString(u"secret", out));
    for (const char16_t* other : {u"9876543210", u"012345678", u"\U0001F510\U0001F511"}) {
        MFC::CCrypto wrong;
        ASSERT_TRUE(wrong.DeriveKey(other));
        CStringW text(u"kept");
        if (wrong.DecryptString(out, text)) {
            EXPECT_FALSE(text == u"secret");
        } else {
            EXPECT_TRUE(text == u"kept");
        }
    }
}

TEST_F(KeyedCrypto, TheKeyDependsOnTheLastPhraseAlone) {
    CByteArray first, again;
    ASSERT_TRUE(crypto.EncryptString(u"secret", first));
    ASSERT_TRUE(crypto.DeriveKey(u"\U0001F600 other phrase"));
    ASSERT_TRUE(crypto.DeriveKey(kPhrase));
    ASSERT_TRUE(crypto.EncryptString(u"secret", again));
    EXPECT_TRUE(first == again);
}

TEST(CCrypto, NothingWorksBeforeAKeyIsDerived) {
    MFC::CCrypto crypto;
    struct Nothing : CObject {
        void Serialize(CArchive&) override {}
    } object;
    CByteArray out;
    out.Add(7);
    CStringW text(u"kept");
    const CByteArray cipher = ToArray(FromHex(kKnownAnswers[1].cipherHex));
    EXPECT_FALSE(crypto.EncryptString(u"secret", out));
    EXPECT_FALSE(crypto.EncryptObject(&object, out));
    EXPECT_FALSE(crypto.EncryptMemFile(out));
    EXPECT_FALSE(crypto.DecryptString(cipher, text));
    EXPECT_FALSE(crypto.DecryptObject(cipher, &object));
    EXPECT_FALSE(crypto.DecryptToMemFile(cipher));
    EXPECT_EQ(out.GetSize(), 1);
    EXPECT_TRUE(text == u"kept");
}

// A small record of its own, as any serialisable object would write itself.
struct Record : CObject {
    std::uint32_t number = 0;
    CStringW name;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) {
            ar << number << name;
        } else {
            ar >> number >> name;
        }
    }
};

struct OneByte : CObject {
    std::uint8_t value = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) ar << value;
        else ar >> value;
    }
};

TEST_F(KeyedCrypto, ObjectsRoundTripThroughTheirOwnSerialisation) {
    Record record;
    record.number = 0xC0FFEE;
    record.name = u"calendar \U0001F4C5";
    CByteArray out;
    ASSERT_TRUE(crypto.EncryptObject(&record, out));
    EXPECT_EQ(out.GetSize(), 32) << "4 + 4 + 22 image bytes round up to 32";
    Record back;
    ASSERT_TRUE(crypto.DecryptObject(out, &back));
    EXPECT_EQ(back.number, 0xC0FFEEu);
    EXPECT_TRUE(back.name == record.name);

    // Images shorter than half a block still get room for their padding.
    OneByte tiny;
    tiny.value = 0x5A;
    ASSERT_TRUE(crypto.EncryptObject(&tiny, out));
    EXPECT_EQ(out.GetSize(), 8);
    OneByte tinyBack;
    ASSERT_TRUE(crypto.DecryptObject(out, &tinyBack));
    EXPECT_EQ(tinyBack.value, 0x5A);

    EXPECT_FALSE(crypto.EncryptObject(nullptr, out));
    EXPECT_FALSE(crypto.DecryptObject(out, nullptr));
    // An object that wants more than the image holds fails.
    EXPECT_FALSE(crypto.DecryptObject(out, &back));
}

}  // namespace
