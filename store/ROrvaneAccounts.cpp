// The Accounts table. Every text reaches SQL quoted with its apostrophes doubled.
#include "store/ROrvaneDataManager.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "foundation/files/DirectoryTree.h"
#include "store/files/DataFolderPaths.h"
#include "store/files/FileResult.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

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
    // An account without a stored grant reads with none; one that cannot be moved out of the
    // row still reads with it.
    static_cast<void>(LoadAccountGrant(*out));
    // An account without a stored password reads with the password the record had.
    static_cast<void>(LoadAccountPassword(out));
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

RResult ROrvaneDataManager::AddAccount(AccountRecord* record) {
    if (record == nullptr) {
        return R_E_INVALID_ARGUMENT;
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
        record->showInSeparateWindow, record->enabled, SqlQuote(record->localDirPath).GetString(), SqlQuote("").GetString());
    StoreTransaction transaction(*this);
    if (const RResult inserted = transaction.Exec(sql); inserted != R_OK) {
        return inserted;
    }
    // The row, the folder and the password land together: a step that fails undoes the others.
    bool madeFolder = false;
    if (!folder.IsEmpty()) {
        std::error_code error;
        madeFolder = std::filesystem::create_directories(std::filesystem::path(folder.Str()), error);
        if (error) {
            return transaction.Fail(ResultFromErrno(error.value()));
        }
    }
    const auto undoFolder = [&] {
        if (madeFolder) {
            static_cast<void>(DeleteStoredFolder(folder));  // best effort: the row is not stored either way
        }
    };
    if (const RResult saved = SaveAccountPassword(record); saved != R_OK) {
        undoFolder();
        return transaction.Fail(saved);
    }
    if (const RResult saved = SaveAccountGrant(*record); saved != R_OK) {
        undoFolder();
        static_cast<void>(DeleteAccountPassword(record));  // best effort, as above
        return transaction.Fail(saved);
    }
    const RResult committed = transaction.Commit();
    if (committed != R_OK) {
        undoFolder();
        static_cast<void>(DeleteAccountPassword(record));  // best effort, as above
        static_cast<void>(DeleteAccountGrant(record->guid));
    }
    return committed;
}

RResult ROrvaneDataManager::UpdateAccount(AccountRecord* record) {
    if (record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringA address = record->address.GetLength() >= kShortestAddress ? record->address : CStringA();
    CStringA sql;
    sql.Format(
        "update Accounts set description = %s, username = %s, refreshInterval = %d, address = %s, "
        "showInSeparateWindow = %d, enabled = %d, OAuthAuthenticationGrant = %s where guid = %s;",
        SqlQuote(record->description).GetString(), SqlQuote(record->username).GetString(), record->refreshInterval,
        SqlQuote(address).GetString(), record->showInSeparateWindow, record->enabled,
        SqlQuote("").GetString(), SqlQuote(record->guid).GetString());
    StoreTransaction transaction(*this);
    if (const RResult updated = transaction.Exec(sql); updated != R_OK) {
        return updated;
    }
    if (const RResult saved = SaveAccountPassword(record); saved != R_OK) {
        return transaction.Fail(saved);
    }
    if (const RResult saved = SaveAccountGrant(*record); saved != R_OK) {
        return transaction.Fail(saved);
    }
    return transaction.Commit();
}

RResult ROrvaneDataManager::DeleteAccount(const char* guid) {
    if (guid == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    AccountRecord account;
    account.Clear();
    const bool found = FindAccount(guid, &account) == R_OK;
    // The rows first, in one transaction: a delete cut short leaves either the whole account or
    // none of its rows. Its folder and password go only once the rows are gone; a folder left
    // behind by a crash is removed at the next open.
    const CStringA key = SqlQuote(guid);
    {
        StoreTransaction transaction(*this);
        CStringA sql;
        sql.Format("delete from CalendarItems where parentAccountGuid=%s;", key.GetString());
        static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
        sql.Format("delete from Calendars where parentAccountGuid=%s;", key.GetString());
        static_cast<void>(transaction.Exec(sql));
        sql.Format("delete from Accounts where guid = %s;", key.GetString());
        static_cast<void>(transaction.Exec(sql));
        transaction.TouchAccount(guid);
        if (const RResult committed = transaction.Commit(); committed != R_OK) {
            return committed;
        }
    }
    RResult result = R_OK;
    if (found) {
        result = DeleteStoredFolder(account.localDirPath);
    } else {
        // No row, but a password value of that guid may have outlived an earlier deletion.
        account.guid = guid;
    }
    if (const RResult deleted = DeleteAccountPassword(&account); result == R_OK) {
        result = deleted;
    }
    if (const RResult deleted = DeleteAccountGrant(account.guid); result == R_OK) {
        result = deleted;
    }
    return result;
}

RResult ROrvaneDataManager::DeleteStoredFolder(const CStringA& path) const {
    // The path comes from a stored row: whatever it says, nothing outside the Accounts folder
    // is ever deleted.
    if (!IsStrictlyBelow(path, accountsDir.ToUtf8())) {
        return R_OK;
    }
    const int error = DeleteDirectoryTree(CStringW::FromUtf8(path.AsView()).GetString());
    return error == ENOENT ? R_OK : ResultFromErrno(error);
}
