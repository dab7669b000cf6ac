#include "dav/caldav/RCalDAVAccount.h"

RResult RCalDAVAccount::Refresh(bool full) {
    const bool google = HostName().Find("google") >= 0;
    if (full && GetWellKnownConnection() != nullptr) {
        if (DiscoverPrincipal() == 401 && google) {
            Authorize();
            DiscoverPrincipal();
        }
    }
    RResult result = LoadProperties();
    if (result == 401) {
        if (!google) return 401;
        const RResult signedIn = Authorize();
        if (signedIn != 0) return signedIn;
        result = LoadProperties();
    }
    if (!RSucceeded(result)) return result;
    ApplyPrincipalUrl();
    result = LoadProperties();
    if (!RSucceeded(result)) return result;
    return LoadCalendarHome(full);
}
