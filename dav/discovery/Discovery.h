#pragma once
// The free functions of server discovery: mail-address syntax, principal paths by provider,
// SRV lookups, server URLs and the local name of a calendar.
#include "foundation/ResultCodes.h"

#include "platform/string/CString.h"

// The syntax check of a mail address (local part, quoted strings, domain with a dot).
bool IsValidMailAddress(const char* text);

// The principal path for a user on a host, by the host's provider.
CStringA BuildPrincipalPath(const char* host, const char* user);

// One SRV query for "<service>._tcp.<domain>": 0 with the first record's host and port, or the
// DNS status number (9003 when the name does not exist).
RResult LookupSrvRecord(const char* service, const char* domain, CStringA* host, int* port);

// Splits a server URL: host (up to 63 characters), path (up to 255; "/" when the URL names
// none), the URL's port or the scheme's default, and whether the scheme is https. 0, or
// ERROR_INTERNET_INVALID_URL (12005) for anything that is not such a URL.
RResult CrackServerUrl(const char* url, CStringA* host, CStringA* path, int* port, bool* secure);

// The local name of a calendar: a fresh GUID for Google addresses, else the URL's last path
// segment, else a fresh GUID.
RResult MakeResourceNameFromUrl(CStringA& out, const char* url);
