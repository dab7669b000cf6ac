#pragma once
// The Internet error numbers that callers of the HTTP layer test. The transport reports its
// failures with these numbers so that the ">= 400" and "== 12032" checks of the callers hold.
// Constants and a pure mapping: safe on any thread.
#include "platform/core/WinTypes.h"

namespace platform::http {

// An answer longer than kMaxResponseBytes (Win32 ERROR_FILE_TOO_LARGE).
constexpr DWORD ERROR_RESPONSE_TOO_LARGE = 223;
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_FORCE_RETRY = 12032;
constexpr DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr DWORD ERROR_INTERNET_SEC_CERT_REVOKED = 12170;

// The Internet error number for a libcurl result code (0 stays 0).
DWORD MapCurlError(int curlCode);

}  // namespace platform::http
