// Account grants: enciphered with the store's cipher into one binary value per account under
// the settings hive's Keys, beside the password; never in the database.
#include "store/ROrvaneDataManager.h"

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "foundation/text/Utf8Conversion.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

// A refresh token's image is far smaller; larger values are not read.
constexpr DWORD kMaxGrantBytes = 16 * 1024;

}  // namespace

CStringW ROrvaneDataManager::GrantValueName(const CStringA& guid) {
    return CStringW::FromUtf8((guid + ".OAuthGrant").AsView());
}

RResult ROrvaneDataManager::SaveAccountGrant(const AccountRecord& record) {
    if (record.guid.IsEmpty()) {
        return R_OK;
    }
    if (record.OAuthAuthenticationGrant.IsEmpty()) {
        return DeleteAccountGrant(record.guid);
    }
    CByteArray image;
    {
        platform::MutexLock lock(cryptoMutex);
        if (!crypto.EncryptString(CStringW::FromUtf8(record.OAuthAuthenticationGrant.AsView()), image)) {
            return R_E_BAD_FORMAT;
        }
    }
    return static_cast<RResult>(WriteRegistryBinary(kAccountKeysKey, GrantValueName(record.guid).GetString(),
                                                    image.GetData(), static_cast<DWORD>(image.GetSize())));
}

RResult ROrvaneDataManager::LoadAccountGrant(AccountRecord& record) {
    if (!record.OAuthAuthenticationGrant.IsEmpty()) {
        // Kept in clear by an earlier version: encipher it, then empty the column, once.
        if (const RResult saved = SaveAccountGrant(record); saved != R_OK) {
            return saved;
        }
        CStringA sql;
        sql.Format("update Accounts set OAuthAuthenticationGrant = %s where guid = %s;", SqlQuote("").GetString(),
                   SqlQuote(record.guid).GetString());
        StoreTransaction transaction(*this);
        static_cast<void>(transaction.Exec(sql));  // a failure is kept by the transaction and returned by Commit
        return transaction.Commit();
    }
    CByteArray image;
    if (const DWORD error = ReadRegistryBinary(kAccountKeysKey, GrantValueName(record.guid).GetString(), image, kMaxGrantBytes);
        error != 0) {
        return error == ERROR_FILE_NOT_FOUND ? R_OK : static_cast<RResult>(error);
    }
    CStringW grant;
    {
        platform::MutexLock lock(cryptoMutex);
        if (!crypto.DecryptString(image, grant)) {
            return R_E_BAD_FORMAT;
        }
    }
    ToUtf8String(grant, record.OAuthAuthenticationGrant);
    return R_OK;
}

RResult ROrvaneDataManager::DeleteAccountGrant(const CStringA& guid) {
    HKEY keys = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_CURRENT_USER, kAccountKeysKey, &keys);
    if (result == ERROR_SUCCESS) {
        result = platform::RegDeleteValue(keys, GrantValueName(guid).GetString());
        static_cast<void>(platform::RegCloseKey(keys));
    }
    // Nothing to delete is no failure.
    return result == ERROR_FILE_NOT_FOUND ? R_OK : static_cast<RResult>(result);
}
