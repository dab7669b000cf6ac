#include "dav/caldav/RCalDAVAccount.h"

RResult RCalDAVAccount::Refresh(bool full) {
    const bool google = HostName().Find("google") >= 0;
    if (full && GetWellKnownConnection() != nullptr) {
        RResult discovered = DiscoverPrincipal();
        if (discovered == 401 && google) {
            Authorize();
            discovered = DiscoverPrincipal();
        }
        // Only a server without the well-known service (a 3xx or 4xx answer) leaves the stored
        // principal to be asked. A server error, a transport failure or an answer that is no
        // usable multistatus ends the refresh: the principal and home guessed without discovery
        // may name another collection, whose listing would not show the user's calendars.
        if (!RSucceeded(discovered) && !(discovered >= 300 && discovered < 500)) return discovered;
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
