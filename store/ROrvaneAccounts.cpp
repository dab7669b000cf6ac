// The Accounts table. Every text reaches SQL quoted with its apostrophes doubled.
#include "store/ROrvaneDataManager.h"

#include <filesystem>
#include <system_error>

#include "foundation/files/DirectoryTree.h"
#include "store/files/DataFolderPaths.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"

namespace {

constexpr char kSelectAccounts[] = "select * from Accounts order by 1;";

// An address of seven characters or fewer (say "http://") names no server.
constexpr int kShortestAddress = 8;

}  // namespace

int ROrvaneDataManager::GetAccountCount() {
    CppSQLite3Table table;
    SelectRows(kSelectAccounts, this, table);
    return table.numRows();
}

RResult ROrvaneDataManager::GetAccount(int position, AccountRecord* out) {
    if (out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    if (position < 0) {
        return R_E_INVALID_INDEX;
    }
    CppSQLite3Table table;
    SelectRows(kSelectAccounts, this, table);
    if (position >= table.numRows()) {
        return R_E_INVALID_INDEX;
    }
    table.setRow(position);
    out->guid = table.getStringField("guid");
    out->description = table.getStringField("description");
    out->username = table.getStringField("username");
    out->refreshInterval = table.getIntField("refreshInterval");
    out->address = table.getStringField("address");
    out->showInSeparateWindow = table.getIntField("showInSeparateWindow");
    out->enabled = table.getIntField("enabled");
    out->localDirPath = table.getStringField("localDirPath");
    out->OAuthAuthenticationGrant = table.getStringField("OAuthAuthenticationGrant");
    LoadAccountPassword(out);
    return R_OK;
}

RResult ROrvaneDataManager::FindAccount(const char* guid, AccountRecord* out) {
    if (guid == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const int count = GetAccountCount();
    for (int i = 0; i < count; ++i) {
        if (GetAccount(i, out) != R_OK) {
            break;
        }
        if (out->guid == guid) {
            return R_OK;
        }
    }
    return STG_E_PATHNOTFOUND;
}

void ROrvaneDataManager::AddAccount(AccountRecord* record) {
    if (record == nullptr) {
        return;
    }
    // A guid that makes no usable folder name gets no folder; its row and password still store.
    CStringA folder;
    if (BuildChildPath(accountsDir.ToUtf8(), record->guid, folder) != R_OK) {
        folder.Empty();
    }
    record->localDirPath = folder;
    // The address column is written by the first update, not by the insert.
    CStringA sql;
    sql.Format(
        "insert into Accounts (guid, description, username, refreshInterval, address, showInSeparateWindow, enabled, "
        "localDirPath, OAuthAuthenticationGrant) values (%s, %s, %s, %d, %s, %d, %d, %s, %s);",
        SqlQuote(record->guid).GetString(), SqlQuote(record->description).GetString(),
        SqlQuote(record->username).GetString(), record->refreshInterval, SqlQuote("").GetString(),
        record->showInSeparateWindow, record->enabled, SqlQuote(record->localDirPath).GetString(),
        SqlQuote(record->OAuthAuthenticationGrant).GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    SaveAccountPassword(record);
    if (!folder.IsEmpty()) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(folder.Str()), ignored);
    }
}

void ROrvaneDataManager::UpdateAccount(AccountRecord* record) {
    if (record == nullptr) {
        return;
    }
    const CStringA address = record->address.GetLength() >= kShortestAddress ? record->address : CStringA();
    CStringA sql;
    sql.Format(
        "update Accounts set description = %s, username = %s, refreshInterval = %d, address = %s, "
        "showInSeparateWindow = %d, enabled = %d, OAuthAuthenticationGrant = %s where guid = %s;",
        SqlQuote(record->description).GetString(), SqlQuote(record->username).GetString(), record->refreshInterval,
        SqlQuote(address).GetString(), record->showInSeparateWindow, record->enabled,
        SqlQuote(record->OAuthAuthenticationGrant).GetString(), SqlQuote(record->guid).GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    SaveAccountPassword(record);
}

RResult ROrvaneDataManager::DeleteAccount(const char* guid) {
    if (guid == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    AccountRecord account;
    account.Clear();
    const bool found = FindAccount(guid, &account) == R_OK;
    const CStringA key = SqlQuote(guid);
    CStringA sql;
    sql.Format("delete from CalendarItems where parentAccountGuid=%s;", key.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    sql.Format("delete from Calendars where parentAccountGuid=%s;", key.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    sql.Format("delete from Accounts where guid = %s;", key.GetString());
    ExecuteSql(sql, SQL_MODE_EXEC, this, nullptr);
    if (found) {
        DeleteStoredFolder(account.localDirPath);
        DeleteAccountPassword(&account);
    } else {
        // No row, but a password value of that guid may have outlived an earlier deletion.
        AccountRecord orphan;
        orphan.guid = guid;
        DeleteAccountPassword(&orphan);
    }
    return R_OK;
}

void ROrvaneDataManager::DeleteStoredFolder(const CStringA& path) const {
    // The path comes from a stored row: whatever it says, nothing outside the Accounts folder
    // is ever deleted.
    if (!IsStrictlyBelow(path, accountsDir.ToUtf8())) {
        return;
    }
    DeleteDirectoryTree(CStringW::FromUtf8(path.AsView()).GetString());
}
