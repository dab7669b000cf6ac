#include "foundation/settings/RegistryHelpers.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "foundation/settings/SettingsKeys.h"
#include "platform/timezone/ZoneKeySource.h"
#include "tests/platform/settings/ScopedFolderVariable.h"

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class RegistryHelpersTest : public ::testing::Test {
protected:
    fs::path HiveFile() const { return config_.Path() / "BrenmoorTech" / "settings.ini"; }

    std::string HiveText() const {
        std::ifstream in(HiveFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static bool KeyExists(const char16_t* path) {
        HKEY key = nullptr;
        if (platform::RegOpenKey(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) return false;
        platform::RegCloseKey(key);
        return true;
    }

    static void WriteText(const char16_t* subkey, const char16_t* name, const std::u16string& bytesAsUnits,
                          size_t byteCount) {
        HKEY key = nullptr;
        ASSERT_EQ(platform::RegCreateKey(HKEY_CURRENT_USER, subkey, &key), ERROR_SUCCESS);
        ASSERT_EQ(platform::RegSetValue(key, name, REG_SZ, reinterpret_cast<const BYTE*>(bytesAsUnits.data()),
                                        static_cast<DWORD>(byteCount)),
                  ERROR_SUCCESS);
        platform::RegCloseKey(key);
    }

    orvane::test::ScopedFolderVariable config_{"XDG_CONFIG_HOME"};
};

TEST_F(RegistryHelpersTest, KeyChainIsCreatedLevelByLevel) {
    EXPECT_EQ(CreateRegistryKey(u"Software\\BrenmoorTech", u"Orvane"), ERROR_FILE_NOT_FOUND)
        << "the parent has to exist";
    EXPECT_EQ(CreateRegistryKey(u"Software", u"BrenmoorTech"), ERROR_SUCCESS);
    EXPECT_EQ(CreateRegistryKey(u"Software\\BrenmoorTech", u"Orvane"), ERROR_SUCCESS);
    EXPECT_EQ(CreateRegistryKey(u"Software\\BrenmoorTech\\Orvane", u"Keys"), ERROR_SUCCESS);
    EXPECT_EQ(CreateRegistryKey(u"Software\\BrenmoorTech\\Orvane", u"Keys"), ERROR_SUCCESS) << "again: opened";
    EXPECT_TRUE(KeyExists(kAccountKeysKey));
}

TEST_F(RegistryHelpersTest, PasswordBytesRoundTripWithTheReadLimit) {
    const BYTE secret[] = {0x00, 0x0D, 0x0A, '=', 0xFF, 0x80, 'a', 0x00};
    // The Keys key does not exist yet: the write creates it.
    ASSERT_EQ(WriteRegistryBinary(kAccountKeysKey, u"guid-a", secret, sizeof secret), ERROR_SUCCESS);
    CByteArray back;
    ASSERT_EQ(ReadRegistryBinary(kAccountKeysKey, u"guid-a", back, 256), ERROR_SUCCESS);
    EXPECT_EQ(back.Bytes(), std::vector<std::uint8_t>(secret, secret + sizeof secret));

    std::vector<BYTE> large(257, 0x5A);
    ASSERT_EQ(WriteRegistryBinary(kAccountKeysKey, u"guid-b", large.data(), 257), ERROR_SUCCESS);
    CByteArray untouched;
    untouched.Add(7);
    EXPECT_EQ(ReadRegistryBinary(kAccountKeysKey, u"guid-b", untouched, 256), ERROR_MORE_DATA);
    EXPECT_EQ(untouched.GetSize(), 1) << "a failed read leaves the caller's bytes alone";
    EXPECT_EQ(ReadRegistryBinary(kAccountKeysKey, u"guid-missing", untouched, 256), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRegistryBinary(u"Software\\Missing", u"guid-a", untouched, 256), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryHelpersTest, TimeZoneSettingRoundTrip) {
    EXPECT_EQ(ReadTimeZoneSetting(), CStringW()) << "absent means the system's zone";
    ASSERT_EQ(WriteTimeZoneSetting(CStringW(u"Pacific Standard Time")), ERROR_SUCCESS);
    EXPECT_EQ(ReadTimeZoneSetting(), CStringW(u"Pacific Standard Time"));

    // Stored as REG_SZ with its terminating NUL.
    HKEY key = nullptr;
    ASSERT_EQ(platform::RegOpenKey(HKEY_CURRENT_USER, kOrvaneSettingsKey, &key), ERROR_SUCCESS);
    DWORD type = 0, bytes = 0;
    ASSERT_EQ(platform::RegQueryValue(key, u"TimeZone", &type, nullptr, &bytes), ERROR_SUCCESS);
    platform::RegCloseKey(key);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, 2u * (21 + 1));

    ASSERT_EQ(WriteTimeZoneSetting(CStringW()), ERROR_SUCCESS) << "\"System Setting\" writes an empty text";
    EXPECT_EQ(ReadTimeZoneSetting(), CStringW());
}

TEST_F(RegistryHelpersTest, StringReadsGrowPastTheFirstBufferAndNeverOverrun) {
    // Longer than the first 8192-byte buffer.
    std::u16string longText(10000, u'x');
    longText += u'\0';
    WriteText(kOrvaneSettingsKey, u"Long", longText, longText.size() * 2);
    CStringW out;
    ASSERT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Long", &out), ERROR_SUCCESS);
    EXPECT_EQ(out.GetLength(), 10000);

    // Exactly one first buffer of text with no terminator: the text ends with the value.
    const std::u16string unterminated(4096, u'y');
    WriteText(kOrvaneSettingsKey, u"Full", unterminated, unterminated.size() * 2);
    ASSERT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Full", &out), ERROR_SUCCESS);
    EXPECT_EQ(out.GetLength(), 4096);

    // The text ends at the first NUL; an odd last byte is no character.
    WriteText(kOrvaneSettingsKey, u"Embedded", std::u16string(u"ab\0cd", 5), 10);
    ASSERT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Embedded", &out), ERROR_SUCCESS);
    EXPECT_EQ(out, CStringW(u"ab"));
    WriteText(kOrvaneSettingsKey, u"Odd", std::u16string(u"ab"), 3);
    ASSERT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Odd", &out), ERROR_SUCCESS);
    EXPECT_EQ(out, CStringW(u"a"));

    out = u"kept";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Missing", &out), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(out, CStringW(u"kept"));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kOrvaneSettingsKey, u"Long", nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryHelpersTest, DebugLogFlagReadsFourBytesOfAnyType) {
    EXPECT_EQ(ReadDebugLogFlag(kOrvaneSettingsKey), 0u) << "no key";
    ASSERT_EQ(CreateRegistryKey(u"Software", u"BrenmoorTech"), ERROR_SUCCESS);
    ASSERT_EQ(CreateRegistryKey(u"Software\\BrenmoorTech", u"Orvane"), ERROR_SUCCESS);
    EXPECT_EQ(ReadDebugLogFlag(kOrvaneSettingsKey), 0u) << "no value";

    const DWORD on = 3;
    HKEY key = nullptr;
    ASSERT_EQ(platform::RegCreateKey(HKEY_CURRENT_USER, kTessivaSettingsKey, &key), ERROR_SUCCESS);
    ASSERT_EQ(platform::RegSetValue(key, u"DebugLog", REG_DWORD, reinterpret_cast<const BYTE*>(&on), 4), ERROR_SUCCESS);
    platform::RegCloseKey(key);
    EXPECT_EQ(ReadDebugLogFlag(kTessivaSettingsKey), 3u);
    EXPECT_EQ(ReadDebugLogFlag(kOrvaneSettingsKey), 0u);

    WriteText(kOrvaneSettingsKey, u"DebugLog", std::u16string(u"x"), 2);
    EXPECT_EQ(ReadDebugLogFlag(kOrvaneSettingsKey), 0x78u) << "the type is not checked";
    WriteText(kOrvaneSettingsKey, u"DebugLog", std::u16string(u"long"), 8);
    EXPECT_EQ(ReadDebugLogFlag(kOrvaneSettingsKey), 0u) << "more than 4 bytes does not fit";
}

TEST_F(RegistryHelpersTest, TreeDeleteRemovesEverythingBelowAndRestoresThePath) {
    for (const char16_t* path : {u"Software\\Tree\\a\\a1\\deepest", u"Software\\Tree\\a\\a2", u"Software\\Tree\\b"}) {
        const BYTE one = 1;
        ASSERT_EQ(WriteRegistryBinary(path, u"v", &one, 1), ERROR_SUCCESS);
    }
    ASSERT_EQ(CreateRegistryKey(u"Software", u"Sibling"), ERROR_SUCCESS);

    char16_t path[kRegistryPathBufferChars] = u"Software\\Tree";
    CaptureStdout();
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, path), 1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(std::u16string(path), u"Software\\Tree");
    EXPECT_FALSE(KeyExists(u"Software\\Tree"));
    EXPECT_TRUE(KeyExists(u"Software\\Sibling"));

    CaptureStdout();
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, path), 1);
    EXPECT_EQ(GetCapturedStdout(), "Key not found.\n");

    char16_t machinePath[kRegistryPathBufferChars] = {};
    std::char_traits<char16_t>::copy(machinePath, platform::kZoneListKeyPath,
                                     std::char_traits<char16_t>::length(platform::kZoneListKeyPath) + 1);
    CaptureStdout();
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, machinePath), 0) << "the machine root is read-only";
    GetCapturedStdout();
    EXPECT_EQ(std::u16string(machinePath), platform::kZoneListKeyPath);

    char16_t empty[kRegistryPathBufferChars] = {};
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, empty), 0) << "a whole root is never emptied";
    EXPECT_TRUE(KeyExists(u"Software\\Sibling"));
}

TEST_F(RegistryHelpersTest, TreeDeleteStopsWhereThePathBufferEnds) {
    // Levels of 200 characters: the third level's path no longer fits 520 characters.
    const std::u16string level(200, u'k');
    const std::u16string deep = u"Deep\\" + level + u"\\" + level + u"\\" + level;
    const BYTE one = 1;
    ASSERT_EQ(WriteRegistryBinary(deep.c_str(), u"v", &one, 1), ERROR_SUCCESS);

    char16_t path[kRegistryPathBufferChars] = u"Deep";
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, path), 0);
    EXPECT_EQ(std::u16string(path), u"Deep");
    EXPECT_TRUE(KeyExists(deep.c_str())) << "what could not be reached is left whole";
}

TEST_F(RegistryHelpersTest, DeleteAccountKeysOfAMissingNameChangesNothing) {
    const BYTE secret[] = {1, 2, 3};
    ASSERT_EQ(WriteRegistryBinary(kAccountKeysKey, u"guid-1", secret, 3), ERROR_SUCCESS);
    const std::string before = HiveText();

    CaptureStdout();
    EXPECT_EQ(DeleteAccountKeys(u"guid-1"), 0u) << "guid-1 is a value, not a subkey";
    EXPECT_EQ(DeleteAccountKeys(u"no-such-guid"), 0u);
    EXPECT_EQ(DeleteAccountKeys(u""), 0u);
    EXPECT_EQ(DeleteAccountKeys(nullptr), 0u);
    EXPECT_EQ(DeleteAccountKeys(u"\\"), 0u);
    EXPECT_EQ(DeleteAccountKeys(std::u16string(600, u'g').c_str()), 0u);
    GetCapturedStdout();
    EXPECT_EQ(HiveText(), before);

    ASSERT_EQ(WriteRegistryBinary(u"Software\\BrenmoorTech\\Orvane\\Keys\\guid-2\\inner", u"v", secret, 3),
              ERROR_SUCCESS);
    EXPECT_EQ(DeleteAccountKeys(u"guid-2"), 0u);
    EXPECT_FALSE(KeyExists(u"Software\\BrenmoorTech\\Orvane\\Keys\\guid-2"));
    EXPECT_EQ(HiveText(), before);
}

TEST_F(RegistryHelpersTest, MachineZoneListIsCountedAndEnumerated) {
    const auto zones = platform::ZoneKeyNames();
    EXPECT_EQ(CountRegistrySubkeys(platform::kZoneListKeyPath), static_cast<int>(zones.size()));
    CStringW name(u"kept");
    if (!zones.empty()) {
        ASSERT_EQ(EnumRegistrySubkey(name, platform::kZoneListKeyPath, 0), ERROR_SUCCESS);
        EXPECT_EQ(name.Str(), zones[0]);
    }
    EXPECT_EQ(EnumRegistrySubkey(name, u"SOFTWARE\\Nowhere", 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CountRegistrySubkeys(u"SOFTWARE\\Nowhere"), 0);
}

}  // namespace
