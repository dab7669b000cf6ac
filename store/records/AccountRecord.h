#pragma once
// One row of the Accounts table, with the account's password beside it. The password has no
// column: it is kept enciphered in the settings hive.
// A plain value: one thread uses a record at a time; copies may go to other threads.
#include <cstdint>

#include "platform/string/CString.h"

struct AccountRecord {
    CStringA guid;
    CStringA description;
    CStringA username;
    CStringA password;  // plain text, in memory only
    std::int32_t refreshInterval = 0;  // minutes
    CStringA address;
    std::int32_t showInSeparateWindow = 0;
    std::int32_t enabled = 1;
    CStringA localDirPath;
    CStringA OAuthAuthenticationGrant;

    // Every text empty, refreshInterval 0, showInSeparateWindow 0, enabled 1.
    void Clear();
};
