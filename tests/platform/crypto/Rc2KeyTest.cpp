#include "platform/crypto/Rc2Key.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/HexBytes.h"

namespace {

using orvane::test::Bytes;
using orvane::test::FromHex;

platform::Rc2Key MakeKey(const std::string& keyHex, unsigned effectiveBits) {
    const Bytes key = FromHex(keyHex);
    auto made = platform::Rc2Key::Create(key, effectiveBits);
    EXPECT_TRUE(made.has_value());
    return *made;
}

struct Rfc2268Vector {
    const char* key;
    unsigned effectiveBits;
    const char* plain;
    const char* cipher;
};

TEST(Rc2Key, MatchesTheRfc2268Vectors) {
    const Rfc2268Vector vectors[] = {
        {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
        {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
        {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
        {"88", 64, "0000000000000000", "61a8a244adacccf0"},
        {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
        {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
        {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
        {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
         "5b78d3a43dfff1f1"},
    };
    for (const auto& v : vectors) {
        SCOPED_TRACE(std::string(v.key) + " / " + std::to_string(v.effectiveBits));
        auto key = MakeKey(v.key, v.effectiveBits);
        const Bytes plain = FromHex(v.plain);
        Bytes out(8), back(8);
        key.EncryptBlock(plain.data(), out.data());
        EXPECT_EQ(out, FromHex(v.cipher));
        key.DecryptBlock(out.data(), back.data());
        EXPECT_EQ(back, plain);
    }
}

TEST(Rc2Key, RefusesKeysOutsideTheCipherLimits) {
    const Bytes none;
    const Bytes one(1, 0x88), longest(128, 1), tooLong(129, 1);
    EXPECT_FALSE(platform::Rc2Key::Create(none, 64));
    EXPECT_FALSE(platform::Rc2Key::Create(tooLong, 64));
    EXPECT_FALSE(platform::Rc2Key::Create(one, 0));
    EXPECT_FALSE(platform::Rc2Key::Create(one, 1025));
    EXPECT_TRUE(platform::Rc2Key::Create(one, 1));
    EXPECT_TRUE(platform::Rc2Key::Create(longest, 1024));
}

TEST(Rc2Key, FinalEncryptionPadsToTheNextBlockAndRoundTrips) {
    auto key = MakeKey("88bca90e90875a7f0f79c384627bafb2", 40);
    for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 16u, 100u}) {
        SCOPED_TRACE(n);
        Bytes buffer(n + 8);
        for (std::size_t i = 0; i < n; ++i) buffer[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const Bytes plain(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        std::size_t length = n;
        ASSERT_TRUE(key.EncryptFinal(buffer, length));
        EXPECT_EQ(length, (n / 8 + 1) * 8);
        EXPECT_EQ(length, platform::Rc2Key::EncipheredLength(n));
        ASSERT_TRUE(key.DecryptFinal(buffer, length));
        EXPECT_EQ(length, n);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)), plain);
    }
}

TEST(Rc2Key, EncryptionNeedsRoomForThePadding) {
    auto key = MakeKey("88", 64);
    Bytes buffer(8, 0x41);
    std::size_t length = 8;  // a whole block needs a whole extra block
    EXPECT_FALSE(key.EncryptFinal(buffer, length));
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(buffer, Bytes(8, 0x41));
    length = 9;  // more data than the buffer holds
    EXPECT_FALSE(key.EncryptFinal(buffer, length));
}

TEST(Rc2Key, DecryptionRefusesBadLengthsAndBadPadding) {
    auto key = MakeKey("88bca90e90875a", 64);
    Bytes buffer(24, 0);
    for (std::size_t bad : {0u, 7u, 9u, 23u, 32u}) {
        std::size_t length = bad;
        EXPECT_FALSE(key.DecryptFinal(buffer, length)) << bad;
        EXPECT_EQ(length, bad);
    }
    // Single blocks whose plain text ends in impossible padding: 0, 9, and 03 after a 02.
    for (const char* plainHex : {"4141414141414100", "0909090909090909", "4141414141020303"}) {
        Bytes block(8);
        key.EncryptBlock(FromHex(plainHex).data(), block.data());
        std::size_t length = 8;
        EXPECT_FALSE(key.DecryptFinal(block, length)) << plainHex;
        EXPECT_EQ(length, 8u);
        EXPECT_EQ(block, Bytes(8, 0)) << "a refused plain text is wiped";
    }
    // A full block of padding is valid and leaves nothing.
    Bytes block(8);
    key.EncryptBlock(FromHex("0808080808080808").data(), block.data());
    std::size_t length = 8;
    EXPECT_TRUE(key.DecryptFinal(block, length));
    EXPECT_EQ(length, 0u);
}

}  // namespace
