#pragma once
// The principal with the refresh sequence that an account's worker runs.
// Threads: as RCalDAVPrincipal, one thread at a time.
#include "foundation/ResultCodes.h"

#include "dav/caldav/RCalDAVPrincipal.h"

class RCalDAVAccount : public RCalDAVPrincipal {
public:
    // Discovery (when `full`), the principal's properties (signing in on a Google 401), the
    // principal URL, and the calendar home's listing. The first failure is returned.
    virtual RResult Refresh(bool full);
};
