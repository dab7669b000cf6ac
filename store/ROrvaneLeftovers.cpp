// Leftovers of work that a crash cut short, cleared when the store opens: temporary files of item
// writes whose writer no longer runs, and the folders, passwords and grants of accounts whose rows
// are gone (a delete removes the rows first and the rest after them).
#include "store/ROrvaneDataManager.h"

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "foundation/files/DirectoryTree.h"
#include "foundation/files/FileNames.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/settings/HiveTree.h"
#include "platform/settings/SettingsHive.h"
#include "platform/files/StaleTempFiles.h"
#include "store/files/DataFolderPaths.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

namespace fs = std::filesystem;

// The folders directly in `folder`, symbolic links left out.
std::set<std::string> FoldersIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
            names.insert(entry->path().filename().string());
        }
    }
    return names;
}

}  // namespace

void ROrvaneDataManager::RemoveLeftovers() {
    const fs::path accounts(accountsDir.ToUtf8().Str());
    // Item files live in calendar folders, two levels down.
    for (const std::string& account : FoldersIn(accounts)) {
        static_cast<void>(platform::RemoveStaleTempFiles((accounts / account).string()));  // a count only
        for (const std::string& calendar : FoldersIn(accounts / account)) {
            static_cast<void>(platform::RemoveStaleTempFiles((accounts / account / calendar).string()));
        }
    }

    // Inside a write transaction: no other connection adds an account (row and folder) while the
    // folders are compared with the rows.
    StoreTransaction transaction(*this);
    CppSQLite3Table rows;
    if (transaction.Failure() != R_OK ||
        ExecuteSql("select guid, localDirPath from Accounts;", SQL_MODE_GTBL, this, &rows) != R_OK) {
        return;  // without the rows nothing can be told to be an orphan
    }
    std::set<std::string> kept;
    std::vector<CStringA> guids;
    for (int row = 0; row < rows.numRows(); ++row) {
        rows.setRow(row);
        guids.emplace_back(rows.getStringField("guid"));
        const CStringA folder = rows.getStringField("localDirPath");
        if (IsStrictlyBelow(folder, accountsDir.ToUtf8())) {
            kept.insert(fs::path(folder.Str()).lexically_normal().filename().string());
        }
        CStringA named;
        SanitizeFileNameA(CStringA(rows.getStringField("guid")), &named);
        kept.insert(named.Str());
    }
    for (const std::string& folder : FoldersIn(accounts)) {
        if (kept.count(folder) == 0) {
            // A folder that cannot be removed now is tried again at the next open.
            static_cast<void>(DeleteDirectoryTree(CStringW::FromUtf8((accounts / folder).string()).GetString()));
        }
    }
    RemoveSecretsOfOtherAccounts(guids);
    static_cast<void>(transaction.Commit());  // it changed no row
}

void ROrvaneDataManager::RemoveSecretsOfOtherAccounts(const std::vector<CStringA>& accountGuids) {
    // Compared as the hive compares names, without regard to ASCII letter case.
    std::set<std::u16string> owned;
    for (const CStringA& guid : accountGuids) {
        owned.insert(platform::hive::FoldName(CStringW::FromUtf8(guid.AsView()).GetString()));  // the password
        owned.insert(platform::hive::FoldName(GrantValueName(guid).GetString()));
    }
    HKEY keys = nullptr;
    if (platform::RegOpenKey(HKEY_CURRENT_USER, kAccountKeysKey, &keys) != ERROR_SUCCESS) {
        return;  // no secret is stored at all
    }
    // Listed first, removed after: a removal moves the values that follow it.
    std::vector<std::u16string> orphans;
    std::vector<char16_t> name(platform::kMaxValueNameChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        if (platform::RegEnumValue(keys, index, name.data(), &chars) != ERROR_SUCCESS) {
            break;
        }
        std::u16string value(name.data(), chars);
        if (owned.count(platform::hive::FoldName(value)) == 0) {
            orphans.push_back(std::move(value));
        }
    }
    for (const std::u16string& orphan : orphans) {
        // One that cannot be removed now is tried again at the next open.
        static_cast<void>(platform::RegDeleteValue(keys, orphan.c_str()));
    }
    static_cast<void>(platform::RegCloseKey(keys));  // closing a handle cannot fail in a way that matters
}
