#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

constexpr char kHostile[] = "x'); DROP TABLE Accounts;--";

bool PasswordValueExists(const char* guid, CByteArray* bytes = nullptr) {
    CByteArray image;
    const bool found = ReadRegistryBinary(kAccountKeysKey, CStringW::FromUtf8(guid).GetString(), image, 4096) == 0;
    if (bytes != nullptr) {
        *bytes = image;
    }
    return found;
}

class AccountsTest : public OpenStoreFixture {};

TEST_F(AccountsTest, PasswordRoundTripsEncipheredThroughTheHive) {
    MakeAccount("acc-1", "pa55'word");
    CByteArray image;
    ASSERT_TRUE(PasswordValueExists("acc-1", &image));
    const std::string stored(image.Bytes().begin(), image.Bytes().end());
    EXPECT_EQ(std::string::npos, stored.find("pa55")) << "the hive holds the password in clear";
    EXPECT_EQ(0, Scalar("select count(*) from pragma_table_info('Accounts') where name = 'password'"));

    // A second store keyed from the same pass phrase reads it back.
    ROrvaneDataManager* other = new ROrvaneDataManager();
    ASSERT_EQ(R_OK, other->Open(CStringW::FromUtf8(dataDir.string())));
    AccountRecord read;
    read.Clear();
    ASSERT_EQ(R_OK, other->FindAccount("acc-1", &read));
    EXPECT_STREQ("pa55'word", read.password);
    EXPECT_STREQ("Work", read.description);
    EXPECT_EQ(15, read.refreshInterval);
    EXPECT_EQ(1, read.enabled);
    other->Release();

    // Changing the password rewrites the value.
    read.password = "new";
    EXPECT_EQ(R_OK, store->UpdateAccount(&read));
    AccountRecord again;
    again.Clear();
    ASSERT_EQ(R_OK, store->GetAccount(0, &again));
    EXPECT_STREQ("new", again.password);
}

TEST_F(AccountsTest, MissingOrOversizedPasswordValueLeavesRecordPassword) {
    MakeAccount("acc-1");
    HKEY keys = nullptr;
    ASSERT_EQ(0u, platform::RegOpenKey(HKEY_CURRENT_USER, kAccountKeysKey, &keys));
    platform::RegDeleteValue(keys, u"acc-1");
    platform::RegCloseKey(keys);
    AccountRecord read;
    read.Clear();
    read.password = "as before";
    EXPECT_EQ(R_OK, store->GetAccount(0, &read));
    EXPECT_STREQ("as before", read.password);

    const std::string big(300, 'b');
    WriteRegistryBinary(kAccountKeysKey, u"acc-1", big.data(), static_cast<DWORD>(big.size()));
    EXPECT_NE(R_OK, store->LoadAccountPassword(&read));
    EXPECT_STREQ("as before", read.password);
}

TEST_F(AccountsTest, HostileTextsAreStoredAndReadBackUnchanged) {
    AccountRecord account;
    account.Clear();
    account.guid = kHostile;
    account.description = kHostile;
    account.username = "o'brien";
    account.OAuthAuthenticationGrant = "'";
    EXPECT_EQ(R_OK, store->AddAccount(&account));
    account.address = "https://o'host.example/";
    EXPECT_EQ(R_OK, store->UpdateAccount(&account));

    EXPECT_EQ(1, Scalar("select count(*) from sqlite_master where name = 'Accounts'"));
    AccountRecord read;
    read.Clear();
    ASSERT_EQ(R_OK, store->FindAccount(kHostile, &read));
    EXPECT_STREQ(kHostile, read.description);
    EXPECT_STREQ("o'brien", read.username);
    EXPECT_STREQ("'", read.OAuthAuthenticationGrant);
    EXPECT_STREQ("https://o'host.example/", read.address);
    // The folder name is made safe and stays inside the Accounts folder.
    EXPECT_EQ((dataDir / "Accounts").string(), std::filesystem::path(read.localDirPath.Str()).parent_path().string());
    EXPECT_TRUE(std::filesystem::is_directory(read.localDirPath.Str()));
}

TEST_F(AccountsTest, DeleteRemovesRowsFolderAndPasswordValueOfThatAccountOnly) {
    MakeAccount("gone");
    MakeAccount("kept");
    CalendarRecord goneCalendar = MakeCalendar("gone", "cal");
    MakeCalendar("kept", "cal");
    CalendarItemRecord item;
    item.guid = "item";
    item.parentCalendarGuid = "cal";
    item.parentAccountGuid = "gone";
    ASSERT_EQ(R_OK, store->AddCalendarItem("item", "", "cal", "gone", item));
    item.parentAccountGuid = "kept";
    ASSERT_EQ(R_OK, store->AddCalendarItem("item", "", "cal", "kept", item));
    ASSERT_TRUE(std::filesystem::is_directory(goneCalendar.localDirPath.Str()));

    EXPECT_EQ(R_OK, store->DeleteAccount("gone"));
    EXPECT_EQ(0, Scalar("select count(*) from Accounts where guid = 'gone'"));
    EXPECT_EQ(0, Scalar("select count(*) from Calendars where parentAccountGuid = 'gone'"));
    EXPECT_EQ(0, Scalar("select count(*) from CalendarItems where parentAccountGuid = 'gone'"));
    EXPECT_FALSE(std::filesystem::exists(dataDir / "Accounts" / "gone"));
    EXPECT_FALSE(PasswordValueExists("gone"));

    EXPECT_EQ(1, Scalar("select count(*) from Calendars where parentAccountGuid = 'kept'"));
    EXPECT_EQ(1, Scalar("select count(*) from CalendarItems where parentAccountGuid = 'kept'"));
    EXPECT_TRUE(std::filesystem::is_directory(dataDir / "Accounts" / "kept" / "cal"));
    EXPECT_TRUE(PasswordValueExists("kept"));
}

TEST_F(AccountsTest, StoredFolderOutsideTheDataFolderIsNeverDeleted) {
    MakeAccount("acc-1");
    const std::filesystem::path outside = folder.Path() / "precious";
    std::filesystem::create_directories(outside);
    for (const std::string& path : {outside.string(), (dataDir / "Accounts").string(),
                                    (dataDir / "Accounts" / ".." / ".." / "precious").string()}) {
        std::string sql = "update Accounts set localDirPath = '" + path + "';";
        ASSERT_EQ(R_OK, ExecuteSql(sql.c_str(), SQL_MODE_EXEC, store, nullptr));
        ASSERT_EQ(R_OK, store->DeleteAccount("acc-1"));
        MakeAccount("acc-1");
    }
    EXPECT_TRUE(std::filesystem::is_directory(outside));
    EXPECT_TRUE(std::filesystem::is_directory(dataDir / "Accounts"));
}

TEST_F(AccountsTest, GuidsThatNameNoFolderGetNone) {
    EXPECT_STREQ("", MakeAccount("").localDirPath);
    EXPECT_EQ((dataDir / "Accounts" / "__").string(), MakeAccount("..").localDirPath.Str());
    EXPECT_EQ(R_OK, store->DeleteAccount(".."));
    EXPECT_EQ(R_OK, store->DeleteAccount(""));
    EXPECT_TRUE(std::filesystem::is_directory(dataDir / "Accounts"));
    AccountRecord slash = MakeAccount("../../escape");
    EXPECT_EQ((dataDir / "Accounts" / ".._.._escape").string(), slash.localDirPath.Str());
}

}  // namespace
}  // namespace orvane::test
