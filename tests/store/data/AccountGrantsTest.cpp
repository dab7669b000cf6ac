// The account's sign-in grant: enciphered in the hive beside the password, never in the table.
#include <sqlite3.h>

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

bool GrantValue(const char* guid, std::string* bytes = nullptr) {
    CByteArray image;
    const bool found =
        ReadRegistryBinary(kAccountKeysKey, CStringW::FromUtf8(std::string(guid) + ".OAuthGrant").GetString(), image, 65536) == 0;
    if (bytes != nullptr) *bytes = std::string(image.Bytes().begin(), image.Bytes().end());
    return found;
}

class AccountGrantsTest : public OpenStoreFixture {
protected:
    void Exec(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open((dataDir / "OrvaneDB.sqlite").c_str(), &db);
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    CStringA ReadGrant(const char* guid) {
        AccountRecord read;
        read.Clear();
        EXPECT_EQ(R_OK, store->FindAccount(guid, &read));
        return read.OAuthAuthenticationGrant;
    }
};

TEST_F(AccountGrantsTest, GrantIsEncipheredInTheHiveAndNeverInTheTable) {
    AccountRecord account = MakeAccount("acc-1");
    account.OAuthAuthenticationGrant = "1//refresh-token-value";
    store->UpdateAccount(&account);

    EXPECT_EQ(0, Scalar("select count(*) from Accounts where OAuthAuthenticationGrant <> ''"));
    std::string image;
    ASSERT_TRUE(GrantValue("acc-1", &image));
    EXPECT_EQ(std::string::npos, image.find("refresh-token")) << "the hive holds the grant in clear";
    EXPECT_STREQ("1//refresh-token-value", ReadGrant("acc-1"));
    // The password is a value of its own and unchanged.
    AccountRecord read;
    read.Clear();
    ASSERT_EQ(R_OK, store->FindAccount("acc-1", &read));
    EXPECT_STREQ("secret", read.password);

    // An emptied grant (a failed sign-in) leaves nothing behind.
    account.OAuthAuthenticationGrant.Empty();
    store->UpdateAccount(&account);
    EXPECT_FALSE(GrantValue("acc-1"));
    EXPECT_STREQ("", ReadGrant("acc-1"));
}

TEST_F(AccountGrantsTest, AClearGrantLeftInTheTableIsMovedOnce) {
    MakeAccount("old");
    Exec("update Accounts set OAuthAuthenticationGrant = '1//from-before' where guid = 'old';");
    EXPECT_STREQ("1//from-before", ReadGrant("old"));
    EXPECT_EQ(0, Scalar("select count(*) from Accounts where OAuthAuthenticationGrant <> ''"));
    ASSERT_TRUE(GrantValue("old"));
    EXPECT_STREQ("1//from-before", ReadGrant("old"));
}

TEST_F(AccountGrantsTest, OneAccountsGrantNeverReachesAnotherAndGoesWithItsAccount) {
    AccountRecord first = MakeAccount("a");
    first.OAuthAuthenticationGrant = "grant-of-a";
    store->UpdateAccount(&first);
    MakeAccount("b");
    // The look-up reads "a" into the same record before it reaches "b".
    EXPECT_STREQ("", ReadGrant("b"));
    EXPECT_EQ(R_OK, store->DeleteAccount("a"));
    EXPECT_FALSE(GrantValue("a"));
}

}  // namespace
}  // namespace orvane::test
