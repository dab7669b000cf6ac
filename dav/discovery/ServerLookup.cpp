#include <string>

#include "dav/discovery/Discovery.h"
#include "dav/discovery/ProviderNames.h"
#include "dav/http/CrackUrl.h"
#include "foundation/text/GuidString.h"
#include "foundation/text/PathComponents.h"
#include "platform/dns/SrvLookup.h"
#include "platform/http/InternetErrors.h"
#include "platform/http/UrlPath.h"

RResult LookupSrvRecord(const char* service, const char* domain, CStringA* host, int* port) {
    CStringA name;
    name.Format("%s._tcp.%s", service != nullptr ? service : "", domain != nullptr ? domain : "");
    platform::dns::SrvRecord record;
    const DWORD status = platform::dns::LookupSrv(name.Str(), record);
    if (status != 0) return static_cast<RResult>(status);
    if (host != nullptr) *host = CStringA(record.host);
    if (port != nullptr) *port = record.port;
    return 0;
}

RResult CrackServerUrl(const char* url, CStringA* host, CStringA* path, int* port, bool* secure) {
    platform::http::UrlParts parts;
    const DWORD error = platform::http::CrackUrl(url != nullptr ? url : "", parts);
    if (error != 0) return static_cast<RResult>(error);
    if (parts.scheme != "http" && parts.scheme != "https") return static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_URL);
    // Fields that would have to be cut name some other server: refuse them.
    if (static_cast<int>(parts.host.size()) > kCrackHostMax || static_cast<int>(parts.path.size()) > kCrackPathMax) {
        return static_cast<RResult>(platform::http::ERROR_INTERNET_INVALID_URL);
    }
    if (host != nullptr) *host = CStringA(parts.host);
    if (path != nullptr) *path = CStringA(parts.path);
    if (port != nullptr) *port = parts.port;
    if (secure != nullptr) *secure = parts.scheme == "https";
    return 0;
}

RResult MakeResourceNameFromUrl(CStringA& out, const char* url) {
    const CStringA text = url;
    if (text.Find(kGoogleMailDomain, 1) >= 0 || text.Find(kGoogleMainDomain, 1) >= 0) return NewGuidStringA(out);
    CStringA last;
    GetLastPathComponentA(text, &last);
    if (last.IsEmpty()) return NewGuidStringA(out);
    out = last;
    return 0;
}
