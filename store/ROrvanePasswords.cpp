// Account passwords: enciphered with the store's cipher into one binary value per account guid
// under the settings hive's Keys; never in the database.
#include "store/ROrvaneDataManager.h"

#include "foundation/settings/RegistryHelpers.h"
#include "foundation/settings/SettingsKeys.h"
#include "foundation/text/Utf8Conversion.h"

namespace {

// Larger values are not read: a password's image is far smaller.
constexpr DWORD kMaxPasswordBytes = 256;

}  // namespace

RResult ROrvaneDataManager::SaveAccountPassword(AccountRecord* record) {
    if (record == nullptr || record->guid.IsEmpty()) {
        return R_OK;
    }
    const CStringW valueName = CStringW::FromUtf8(record->guid.AsView());
    const CStringW password = CStringW::FromUtf8(record->password.AsView());
    CByteArray image;
    {
        platform::MutexLock lock(cryptoMutex);
        if (!crypto.EncryptString(password, image)) {
            return R_E_BAD_FORMAT;
        }
    }
    // The helper creates the Keys chain when it is missing. Its result is a Win32 error number.
    return static_cast<RResult>(WriteRegistryBinary(kAccountKeysKey, valueName.GetString(), image.GetData(),
                                                    static_cast<DWORD>(image.GetSize())));
}

RResult ROrvaneDataManager::LoadAccountPassword(AccountRecord* record) {
    if (record == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    const CStringW valueName = CStringW::FromUtf8(record->guid.AsView());
    CByteArray image;
    if (const DWORD error = ReadRegistryBinary(kAccountKeysKey, valueName.GetString(), image, kMaxPasswordBytes);
        error != 0) {
        return static_cast<RResult>(error);
    }
    CStringW password;
    {
        platform::MutexLock lock(cryptoMutex);
        if (!crypto.DecryptString(image, password)) {
            return R_E_BAD_FORMAT;
        }
    }
    ToUtf8String(password, record->password);
    return R_OK;
}

RResult ROrvaneDataManager::DeleteAccountPassword(AccountRecord* record) {
    if (record == nullptr || record->guid.IsEmpty()) {
        return R_OK;
    }
    const CStringW valueName = CStringW::FromUtf8(record->guid.AsView());
    // The enciphered password is a value of Keys named after the guid: it goes with the account.
    HKEY keys = nullptr;
    DWORD result = platform::RegOpenKey(HKEY_CURRENT_USER, kAccountKeysKey, &keys);
    if (result == ERROR_SUCCESS) {
        result = platform::RegDeleteValue(keys, valueName.GetString());
        static_cast<void>(platform::RegCloseKey(keys));  // closing a handle cannot fail in a way that matters
    }
    // Entries kept as a subkey of that name go too. A guid holding a separator would name some
    // other key, and one too long for the path buffer would be cut to another key's name.
    if (valueName.Find(u'\\') < 0 && valueName.GetLength() < kRegistryPathBufferChars / 2) {
        // Such subkeys are rare leftovers; their absence is the usual case, not a failure.
        static_cast<void>(DeleteAccountKeys(valueName.GetString()));
    }
    // Nothing to delete is no failure.
    return result == ERROR_FILE_NOT_FOUND ? R_OK : static_cast<RResult>(result);
}
