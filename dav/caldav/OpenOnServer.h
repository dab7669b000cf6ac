#pragma once
// Opening a calendar or calendar home from the object that found it.
#include "foundation/ResultCodes.h"

#include "dav/http/RWebDAVConnection.h"
#include "platform/string/CString.h"

// Opens `target` at `path` on the server of `source`, with its credentials, bearer token and
// user agent. Returns the result of target.Open; the rest is copied even when that fails.
template <typename Target>
RResult OpenOnServerOf(RWebDAVConnection& source, const char* path, Target& target) {
    CStringA host, user, password, token;
    int port = 0;
    bool secure = false;
    source.GetServer(&host, &port, nullptr, &secure);
    source.GetCredentials(&user, &password);
    source.GetBearerToken(&token);
    const RResult result = target.Open(host, port, path, secure, user, password);
    target.SetUserAgent(source.GetUserAgent());
    target.SetBearerToken(token);
    return result;
}
