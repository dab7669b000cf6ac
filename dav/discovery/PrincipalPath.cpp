#include "dav/discovery/Discovery.h"
#include "dav/discovery/ProviderNames.h"

namespace {

CStringA WithUser(const char* prefix, const CStringA& userPart, const char* suffix) {
    CStringA path = prefix;
    if (userPart.IsEmpty()) return path;
    path += userPart;
    if (path[path.GetLength() - 1] != '/') path += '/';
    path += suffix;
    return path;
}

}  // namespace

CStringA BuildPrincipalPath(const char* host, const char* user) {
    CStringA lowerHost = host;
    lowerHost.MakeLower();
    const CStringA userName = user;
    CStringA localPart = userName;
    if (IsValidMailAddress(user)) localPart = userName.Left(userName.Find('@'));
    CStringA escaped = userName;
    escaped.Replace("@", "%40");

    if (lowerHost.Find(kYahooDomain) >= 0) {
        CStringA lower = localPart;
        return WithUser("/principals/users/", lower.MakeLower(), "");
    }
    if (lowerHost.Find(kGoogleMainDomain) >= 0) return WithUser("/calendar/dav/", escaped, "user/");
    if (lowerHost.Find(kGoogleUserContentDomain) >= 0) return WithUser("/caldav/v2/", escaped, "user/");
    if (lowerHost.Find(kAppleMeDomain) >= 0 || lowerHost.Find(kAppleMacDomain) >= 0) {
        return WithUser("/principals/users/", localPart, "");
    }
    if (lowerHost.Find(kAppleICloudDomain) >= 0) return WithUser("/principals/users/", escaped, "");
    return WithUser("/principals/users/", userName, "");
}
