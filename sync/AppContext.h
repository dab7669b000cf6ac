#pragma once
// What the application gives the synchronisation layer: the data manager and the account
// manager. Timer procedures and the end of a refresh reach them here, so sync/ never includes a
// user-interface header; failures go to the error-report sink that the application installs in
// platform/messages. Installed by the application at start-up and cleared before it releases
// them; while installed, the zone conversions also read the VTIMEZONE definitions kept in that
// data manager. May be used from any thread.
#include "foundation/ResultCodes.h"

#include "foundation/memory/RRef.h"
#include "platform/string/CString.h"
#include "store/ROrvaneDataManager.h"

class ROrvaneAccountManager;

void InstallAppContext(RRef<ROrvaneDataManager> dataManager, RRef<ROrvaneAccountManager> accountManager);
void ClearAppContext();
RRef<ROrvaneDataManager> AppDataManager();
RRef<ROrvaneAccountManager> AppAccountManager();
// Hands a failure to the installed report sink and returns at once.
void ReportSyncError(const CStringA& accountGuid, const CStringA& accountName, RResult code,
                     const CStringA& calendarName = CStringA(), const CStringA& eventText = CStringA());
