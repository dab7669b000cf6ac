#pragma once
// Comparing server paths as the servers write them: hrefs are compared percent-decoded (one
// server escapes '@' as %40 in its listings, another does not), so names with spaces, '&', '@'
// or non-ASCII letters match across syncs whatever escaping each answer used.
#include "platform/string/CString.h"

// `text` with every %XX (two hexadecimal digits) replaced by its byte; a '%' not followed by two
// hexadecimal digits stays as it is.
CStringA DecodePercent(const char* text);

// The path of an href: an absolute URL loses its scheme and host, and any query is cut.
CStringA HrefPath(const char* href);

// Whether two hrefs name the same collection or resource: equal after HrefPath and
// DecodePercent, ignoring one trailing '/'.
bool SameServerPath(const char* a, const char* b);
// What SameServerPath compares of an href, for comparing many hrefs with one.
CStringA ServerPathKey(const char* href);

// Whether `href` names the collection `collection` itself or one of its members (a resource or
// collection directly inside it), compared as SameServerPath does.
bool IsInCollection(const char* href, const char* collection);

// The last path component of an href (no query), as the server wrote it.
CStringA LastHrefComponent(const char* href);

// The key under which a resource of a calendar is looked up: its last component, decoded.
CStringA ResourceKey(const char* href);
