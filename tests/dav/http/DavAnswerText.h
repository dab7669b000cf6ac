#pragma once
// A one-resource multistatus answer as a CalDAV server writes it, and the path a connection
// points at, for tests that script a loopback peer.
#include <string>

#include "dav/http/RWebDAVConnection.h"

namespace orvane::test {

// A 207 body holding one response for `href` with the found properties `props`.
inline std::string Multistatus(const std::string& href, const std::string& props) {
    return "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
           "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + props +
           "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>";
}

inline CStringA Path(RWebDAVConnection* c) {
    CStringA path;
    c->GetServer(nullptr, nullptr, &path, nullptr);
    return path;
}

}  // namespace orvane::test
