#include "dav/caldav/RCalDAVAccount.h"

RResult RCalDAVAccount::Refresh(bool full) {
    const bool google = HostName().Find("google") >= 0;
    if (full && GetWellKnownConnection() != nullptr) {
        RResult discovered = DiscoverPrincipal();
        if (discovered == 401 && google) {
            Authorize();
            discovered = DiscoverPrincipal();
        }
        // The server could not be reached (or its certificate was refused): the next request
        // would only fail the same way and ask the user once more.
        if (IsTransportFailure(discovered)) return discovered;
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
