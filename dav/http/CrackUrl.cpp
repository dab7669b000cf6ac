#include "dav/http/CrackUrl.h"

#include "platform/http/UrlPath.h"

namespace {

void Store(CStringA* out, const std::string& value, int max) {
    if (out == nullptr) return;
    *out = static_cast<int>(value.size()) <= max ? CStringA(value) : CStringA();
}

}  // namespace

RResult CrackUrl(const char* url, CStringA* path, CStringA* host, CStringA* scheme, int* port) {
    platform::http::UrlParts parts;
    platform::http::CrackUrl(url != nullptr ? url : "", parts);
    Store(path, parts.path == "/" && parts.host.empty() ? std::string() : parts.path, kCrackPathMax);
    Store(host, parts.host, kCrackHostMax);
    Store(scheme, parts.scheme, kCrackSchemeMax);
    if (port != nullptr) *port = parts.port;
    return 0;
}
