#include "platform/settings/SettingsHive.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/timezone/ZoneKeySource.h"
#include "tests/platform/settings/ScopedFolderVariable.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// An open key that closes itself.
struct Key {
    HKEY handle = nullptr;
    ~Key() {
        if (handle != nullptr) RegCloseKey(handle);
    }
    HKEY* Out() { return &handle; }
    operator HKEY() const { return handle; }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SettingsHiveTest : public ::testing::Test {
protected:
    fs::path HiveFile() const { return config_.Path() / "BrenmoorTech" / "settings.ini"; }

    DWORD SetDword(const char16_t* path, const char16_t* name, DWORD value) {
        Key key;
        DWORD rc = RegCreateKey(HKEY_CURRENT_USER, path, key.Out());
        if (rc != ERROR_SUCCESS) return rc;
        return RegSetValue(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    // The DWORD value, or the error number plus 0x10000000 so that a failure never looks like a value.
    DWORD GetDword(const char16_t* path, const char16_t* name) {
        Key key;
        DWORD rc = RegOpenKey(HKEY_CURRENT_USER, path, key.Out());
        if (rc != ERROR_SUCCESS) return 0x10000000 + rc;
        DWORD value = 0, bytes = sizeof value, type = 0;
        rc = RegQueryValue(key, name, &type, reinterpret_cast<BYTE*>(&value), &bytes);
        return rc == ERROR_SUCCESS ? value : 0x10000000 + rc;
    }

    orvane::test::ScopedFolderVariable config_{"XDG_CONFIG_HOME"};
};

TEST_F(SettingsHiveTest, SettingsSurviveARestartOfTheProgram) {
    // The child process writes and ends; this process, which never wrote, reads from the file.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool ok = SetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog", 1) == ERROR_SUCCESS &&
                        SetDword(u"Software\\BrenmoorTech\\Orvane\\Keys", u"guid-1", 0xDEADBEEF) == ERROR_SUCCESS;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_TRUE(fs::exists(HiveFile()));
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 1u);
    EXPECT_EQ(GetDword(u"software\\BRENMOORTECH\\orvane\\keys", u"GUID-1"), 0xDEADBEEFu) << "names ignore case";
}

TEST_F(SettingsHiveTest, QueryFollowsTheBufferRules) {
    Key key;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, u"Software\\Test", key.Out()), ERROR_SUCCESS);
    const BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(RegSetValue(key, u"Ten", REG_BINARY, data, sizeof data), ERROR_SUCCESS);

    DWORD type = 0, bytes = 0;
    EXPECT_EQ(RegQueryValue(key, u"Ten", &type, nullptr, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(bytes, 10u);

    BYTE small[4] = {};
    bytes = sizeof small;
    EXPECT_EQ(RegQueryValue(key, u"Ten", nullptr, small, &bytes), ERROR_MORE_DATA);
    EXPECT_EQ(bytes, 10u);
    EXPECT_EQ(small[0], 0) << "nothing copied into a buffer that is too small";

    BYTE big[16] = {};
    bytes = sizeof big;
    EXPECT_EQ(RegQueryValue(key, u"ten", nullptr, big, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, 10u);
    EXPECT_EQ(0, std::memcmp(big, data, 10));

    EXPECT_EQ(RegQueryValue(key, u"Eleven", &type, nullptr, &bytes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key, u"TEN"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValue(key, u"Ten", &type, nullptr, &bytes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key, u"Ten"), ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsHiveTest, BinaryBytesOfEveryKindRoundTrip) {
    std::vector<BYTE> data = {0, '\r', '\n', '=', '[', ']', '%', '\\', '#', ';', '"', 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0xFF, 0x80, 0};
    for (int b = 0; b < 256; ++b) data.push_back(static_cast<BYTE>(b));
    const char16_t* name = u"guid=with \"odd\" [name] \x00e9\r\n";
    {
        Key key;
        ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, u"Software\\BrenmoorTech\\Orvane\\Keys", key.Out()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValue(key, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        // A text value with an odd byte count and no terminator keeps its exact bytes too.
        const BYTE oddText[3] = {'a', 0, 'b'};
        ASSERT_EQ(RegSetValue(key, u"odd", REG_SZ, oddText, 3), ERROR_SUCCESS);
    }
    Key key;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, u"Software\\BrenmoorTech\\Orvane\\Keys", key.Out()), ERROR_SUCCESS);
    std::vector<BYTE> back(data.size() + 8);
    DWORD bytes = static_cast<DWORD>(back.size()), type = 0;
    ASSERT_EQ(RegQueryValue(key, name, &type, back.data(), &bytes), ERROR_SUCCESS);
    back.resize(bytes);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(back, data);
    BYTE odd[8] = {};
    bytes = sizeof odd;
    ASSERT_EQ(RegQueryValue(key, u"odd", &type, odd, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    ASSERT_EQ(bytes, 3u);
    EXPECT_EQ(odd[2], 'b');
}

TEST_F(SettingsHiveTest, KeysAreCreatedEnumeratedAndDeletedLikeRegistryKeys) {
    Key openMissing;
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, u"Software\\Nothing", openMissing.Out()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(openMissing.handle, nullptr);

    Key parent;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, u"Software\\Parent", parent.Out()), ERROR_SUCCESS);
    for (const char16_t* name : {u"beta", u"Alpha", u"gamma\\deep"}) {
        Key child;
        ASSERT_EQ(RegCreateKey(parent, name, child.Out()), ERROR_SUCCESS);
    }
    DWORD count = 0;
    ASSERT_EQ(RegQuerySubkeyCount(parent, &count), ERROR_SUCCESS);
    EXPECT_EQ(count, 3u);

    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
        char16_t name[260];
        DWORD chars = 260;
        const DWORD rc = RegEnumKey(parent, i, name, &chars);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        names.emplace_back(name, chars);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
    char16_t tiny[5];
    DWORD tinyChars = 5;
    EXPECT_EQ(RegEnumKey(parent, 0, tiny, &tinyChars), ERROR_MORE_DATA) << "\"Alpha\" needs 6 characters";

    EXPECT_EQ(RegDeleteKey(parent, u"gamma"), ERROR_ACCESS_DENIED) << "a key with subkeys stays";
    EXPECT_EQ(RegDeleteKey(parent, u"gamma\\deep"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parent, u"GAMMA"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parent, u"gamma"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(parent, u""), ERROR_INVALID_PARAMETER);

    // A handle whose key was deleted does not bring it back.
    Key alpha;
    ASSERT_EQ(RegOpenKey(parent, u"Alpha", alpha.Out()), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKey(HKEY_CURRENT_USER, u"Software\\Parent\\Alpha"), ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValue(alpha, u"v", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);
    Key create;
    EXPECT_EQ(RegCreateKey(alpha, u"x", create.Out()), ERROR_KEY_DELETED);
    Key reopened;
    EXPECT_EQ(RegOpenKey(parent, u"Alpha", reopened.Out()), ERROR_FILE_NOT_FOUND);

    Key bad;
    EXPECT_EQ(RegCreateKey(HKEY_CURRENT_USER, u"Software\\\\Twice", bad.Out()), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKey(HKEY_CURRENT_USER, u"\\Software", bad.Out()), ERROR_INVALID_PARAMETER);
    Key trailing;
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, u"Software\\Parent\\", trailing.Out()), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKey(HKEY_CURRENT_USER, std::u16string(256, u'k').c_str(), bad.Out()), ERROR_INVALID_PARAMETER);
}

TEST_F(SettingsHiveTest, TwoThreadsWritingDifferentValuesLoseNothing) {
    constexpr int kPerThread = 100;
    auto writer = [this](int first) {
        for (int i = first; i < first + kPerThread; ++i) {
            const std::u16string name = u"value-" + std::u16string(1, static_cast<char16_t>(u'A' + i / 26 % 26)) +
                                        std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"-" +
                                        std::u16string(1, static_cast<char16_t>(u'0' + i / 100));
            EXPECT_EQ(SetDword(u"Software\\Concurrent", name.c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS);
        }
    };
    std::thread a(writer, 0), b(writer, kPerThread);
    a.join();
    b.join();

    Key key;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, u"Software\\Concurrent", key.Out()), ERROR_SUCCESS);
    for (int i = 0; i < 2 * kPerThread; ++i) {
        const std::u16string name = u"value-" + std::u16string(1, static_cast<char16_t>(u'A' + i / 26 % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"-" +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i / 100));
        EXPECT_EQ(GetDword(u"Software\\Concurrent", name.c_str()), static_cast<DWORD>(i)) << i;
    }
    // Nothing half-written is left next to the file.
    for (const auto& entry : fs::directory_iterator(HiveFile().parent_path())) {
        const std::string file = entry.path().filename().string();
        EXPECT_TRUE(file == "settings.ini" || file == "settings.ini.lock") << file;
    }
    struct stat info {};
    ASSERT_EQ(stat(HiveFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SettingsHiveTest, CorruptFileReadsAsAbsentAndIsKeptAsideBeforeTheRewrite) {
    fs::create_directories(HiveFile().parent_path());
    // Sized by the literal, not by its first NUL, so the zeros reach the file.
    static const char kCorrupt[] =
        "[Software\\BrenmoorTech\\Orvane]\n"
        "DebugLog=dword:00000001\n"
        "TimeZone=sz:\x01\x02garbage\xff\n"
        "\x00\x00\x00 half a sector of zeros\n"
        "[Software\\Other\n";
    const std::string original(kCorrupt, sizeof kCorrupt - 1);
    ASSERT_NE(original.find("[Software\\Other"), std::string::npos);
    std::ofstream(HiveFile(), std::ios::binary).write(original.data(), static_cast<std::streamsize>(original.size()));

    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 1u) << "good lines still read";
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"TimeZone"), 0x10000000u + ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetDword(u"Software\\Other", u"x"), 0x10000000u + ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadFile(HiveFile()), original) << "reading never rewrites";

    ASSERT_EQ(SetDword(u"Software\\BrenmoorTech\\Orvane", u"Added", 5), ERROR_SUCCESS);
    const fs::path kept = HiveFile().string() + ".corrupt";
    ASSERT_TRUE(fs::exists(kept));
    EXPECT_EQ(ReadFile(kept), original);
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 1u);
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"Added"), 5u);

    // The rewritten file is clean: a later write keeps no second copy.
    ASSERT_EQ(SetDword(u"Software\\BrenmoorTech\\Orvane", u"Again", 6), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(HiveFile().string() + ".corrupt-2"));
    EXPECT_EQ(ReadFile(kept), original);
}

TEST_F(SettingsHiveTest, AnEditByAnotherProgramIsSeenByTheNextRead) {
    fs::create_directories(HiveFile().parent_path());
    const auto edit = [&](char digit) {
        std::ofstream(HiveFile(), std::ios::binary) << "[Software\\BrenmoorTech\\Orvane]\nDebugLog=dword:0000000"
                                                    << digit << "\n";
    };
    // Edited in place, with the same size, at once after a read: no newer time stamp need tell.
    edit('1');
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 1u);
    edit('2');
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 2u);
    // A file left alone for a while, read, then edited.
    const timespec longAgo[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, HiveFile().c_str(), longAgo, 0), 0);
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 2u);
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 2u);
    edit('3');
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 3u);
}

TEST_F(SettingsHiveTest, AFileThatCannotBeReadIsNeverReplaced) {
    fs::create_directories(HiveFile());  // a folder where the file should be
    EXPECT_EQ(GetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog"), 0x10000000u + ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetDword(u"Software\\BrenmoorTech\\Orvane", u"DebugLog", 1), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_directory(HiveFile()));
}

TEST_F(SettingsHiveTest, MachineRootServesOnlyTheZoneListAndIsReadOnly) {
    Key list;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, kZoneListKeyPath, list.Out()), ERROR_SUCCESS);
    const auto zones = ZoneKeyNames();
    DWORD count = 0;
    ASSERT_EQ(RegQuerySubkeyCount(list, &count), ERROR_SUCCESS);
    EXPECT_EQ(count, zones.size());
    for (DWORD i = 0; i < zones.size(); ++i) {
        char16_t name[260];
        DWORD chars = 260;
        ASSERT_EQ(RegEnumKey(list, i, name, &chars), ERROR_SUCCESS);
        EXPECT_EQ(std::u16string(name, chars), zones[i]);
    }
    char16_t name[260];
    DWORD chars = 260;
    EXPECT_EQ(RegEnumKey(list, static_cast<DWORD>(zones.size()), name, &chars), ERROR_NO_MORE_ITEMS);
    if (!zones.empty()) {
        Key zone;
        ASSERT_EQ(RegOpenKey(list, zones[0].c_str(), zone.Out()), ERROR_SUCCESS);
        DWORD type = 0;
        std::vector<std::uint8_t> expected;
        ASSERT_TRUE(ReadZoneKeyValue(zones[0], u"TZI", type, expected));
        BYTE tzi[64];
        DWORD bytes = sizeof tzi;
        ASSERT_EQ(RegQueryValue(zone, u"TZI", &type, tzi, &bytes), ERROR_SUCCESS);
        EXPECT_EQ(std::vector<std::uint8_t>(tzi, tzi + bytes), expected);
        EXPECT_EQ(RegQueryValue(zone, u"NoSuchValue", &type, tzi, &bytes), ERROR_FILE_NOT_FOUND);
    }

    Key other;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Elsewhere", other.Out()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, (std::u16string(kZoneListKeyPath) + u"\\No Such Zone").c_str(), other.Out()),
              ERROR_FILE_NOT_FOUND);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValue(list, u"x", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKey(list, u"New Zone", other.Out()), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, kZoneListKeyPath), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(HiveFile())) << "the machine root never touches the user's file";
}

// A save cut short by a crash leaves "settings.ini.tmp-<pid>-<n>"; the next change of the hive
// removes those whose writer is gone and leaves those of writers that still run.
TEST_F(SettingsHiveTest, ChangeRemovesTemporaryFilesOfWritersThatAreGone) {
    const pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    fs::create_directories(HiveFile().parent_path());
    const fs::path dead = HiveFile().string() + ".tmp-" + std::to_string(gone) + "-3";
    const fs::path running = HiveFile().string() + ".tmp-" + std::to_string(getppid()) + "-0";
    const fs::path other = HiveFile().parent_path() / ("notes.txt.tmp-" + std::to_string(gone) + "-1");
    for (const fs::path& file : {dead, running, other}) {
        std::ofstream(file) << "half a hive";
    }
    ASSERT_EQ(ERROR_SUCCESS, SetDword(u"Software\\BrenmoorTech", u"Value", 1));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(other)) << "only the hive's own temporary files are its business";
}

}  // namespace
}  // namespace platform
