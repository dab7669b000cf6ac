// What a crash leaves is cleared when the store next opens: temporary files of item writes
// whose writer is gone, and the folders, passwords and grants of accounts whose rows a delete had
// already removed.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "tests/store/data/OpenStoreFixture.h"

namespace orvane::test {
namespace {

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

class LeftoversTest : public OpenStoreFixture {
protected:
    RResult Reopen() {
        store->Release();
        store = new ROrvaneDataManager();
        return store->Open(CStringW::FromUtf8(dataDir.string()));
    }
    static void Touch(const std::filesystem::path& file) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "half written";
    }
};

TEST_F(LeftoversTest, TemporaryItemFilesOfEndedWritersGo) {
    MakeAccount("acc");
    MakeCalendar("acc", "cal");
    ASSERT_EQ(R_OK, store->WriteCalendarItemFile("kept", "item.ics", "cal", "acc"));
    const std::filesystem::path calendar = dataDir / "Accounts" / "acc" / "cal";
    const std::string gone = std::to_string(EndedProcess());
    const std::filesystem::path dead = calendar / ("item.ics.tmp-" + gone + "-7");
    const std::filesystem::path running = calendar / ("other.ics.tmp-" + std::to_string(getppid()) + "-0");
    const std::filesystem::path mine = calendar / ("third.ics.tmp-" + std::to_string(getpid()) + "-0");
    const std::filesystem::path unlike = calendar / "notes.tmp-abc";
    for (const auto& file : {dead, running, mine, unlike}) {
        Touch(file);
    }
    // An item write leaves nothing of its own behind.
    int before = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(calendar)) {
        ++before;
    }
    EXPECT_EQ(5, before);

    ASSERT_EQ(R_OK, Reopen());
    EXPECT_FALSE(std::filesystem::exists(dead));
    for (const auto& file : {running, mine, unlike, calendar / "item.ics"}) {
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
    }
}

TEST_F(LeftoversTest, FoldersOfAccountsWithoutARowGoOnlyWhenTheRowsCouldBeRead) {
    MakeAccount("kept");
    MakeCalendar("kept", "cal");
    const std::filesystem::path accounts = dataDir / "Accounts";
    // A delete cut short after its rows were gone left the folder with its item files.
    Touch(accounts / "deleted" / "cal" / "item.ics");
    Touch(accounts / "stray-file.txt");

    // While the Accounts table cannot be read, nothing can be told to be an orphan.
    ASSERT_EQ(R_OK, ExecuteSql("alter table Accounts rename to AccountsAside;", SQL_MODE_EXEC, store, nullptr));
    testing::internal::CaptureStderr();
    ASSERT_EQ(R_OK, Reopen());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::exists(accounts / "deleted" / "cal" / "item.ics"));
    EXPECT_TRUE(std::filesystem::exists(accounts / "kept" / "cal"));

    ASSERT_EQ(R_OK, ExecuteSql("alter table AccountsAside rename to Accounts;", SQL_MODE_EXEC, store, nullptr));
    ASSERT_EQ(R_OK, Reopen());
    EXPECT_FALSE(std::filesystem::exists(accounts / "deleted"));
    EXPECT_TRUE(std::filesystem::exists(accounts / "kept" / "cal"));
    EXPECT_TRUE(std::filesystem::exists(accounts / "stray-file.txt")) << "only folders are account folders";
}

TEST_F(LeftoversTest, PasswordsAndGrantsOfAccountsWithoutARowGo) {
    for (const char* guid : {"Kept", "deleted"}) {
        AccountRecord account;
        account.Clear();
        account.guid = guid;
        account.username = "me";
        account.password = (std::string(guid) + "-secret").c_str();
        account.OAuthAuthenticationGrant = (std::string(guid) + "-grant").c_str();
        ASSERT_EQ(R_OK, store->AddAccount(&account));
    }
    // A delete cut short after its rows were gone left the account's secrets in the settings.
    ASSERT_EQ(R_OK, ExecuteSql("delete from Accounts where guid = 'deleted';", SQL_MODE_EXEC, store, nullptr));
    ASSERT_EQ(R_OK, Reopen());
    AccountRecord deleted;
    deleted.Clear();
    deleted.guid = "deleted";
    EXPECT_NE(R_OK, store->LoadAccountPassword(&deleted));
    EXPECT_STREQ("", deleted.password);
    CByteArray image;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegistryBinary(kAccountKeysKey, u"deleted.OAuthGrant", image, 65536));
    AccountRecord kept;
    kept.Clear();
    ASSERT_EQ(R_OK, store->FindAccount("Kept", &kept));
    EXPECT_STREQ("Kept-secret", kept.password);
    EXPECT_STREQ("Kept-grant", kept.OAuthAuthenticationGrant);
}

}  // namespace
}  // namespace orvane::test
