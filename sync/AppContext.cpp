#include "sync/AppContext.h"

#include "platform/messages/ErrorReports.h"
#include "platform/threads/Mutex.h"
#include "store/StoredZoneOffsets.h"
#include "sync/ROrvaneAccountManager.h"

namespace {

struct Context {
    platform::Mutex mutex;
    RRef<ROrvaneDataManager> dataManager ORVANE_GUARDED_BY(mutex);
    RRef<ROrvaneAccountManager> accountManager ORVANE_GUARDED_BY(mutex);
};

Context& TheContext() {
    static Context* context = new Context();  // never destroyed: usable until the process ends
    return *context;
}

}  // namespace

void InstallAppContext(RRef<ROrvaneDataManager> dataManager, RRef<ROrvaneAccountManager> accountManager) {
    // Zones that only a received VTIMEZONE defines convert by the definitions this store keeps.
    InstallStoredZoneOffsetsFinder(dataManager.get());
    Context& context = TheContext();
    platform::MutexLock lock(context.mutex);
    context.dataManager = std::move(dataManager);
    context.accountManager = std::move(accountManager);
}

void ClearAppContext() {
    RRef<ROrvaneDataManager> dataManager;
    RRef<ROrvaneAccountManager> accountManager;
    {
        Context& context = TheContext();
        platform::MutexLock lock(context.mutex);
        dataManager = std::move(context.dataManager);
        accountManager = std::move(context.accountManager);
    }
    RemoveStoredZoneOffsetsFinder();
    // Released outside the lock: their destructors may reach the context.
}

RRef<ROrvaneDataManager> AppDataManager() {
    Context& context = TheContext();
    platform::MutexLock lock(context.mutex);
    return context.dataManager;
}

RRef<ROrvaneAccountManager> AppAccountManager() {
    Context& context = TheContext();
    platform::MutexLock lock(context.mutex);
    return context.accountManager;
}

void ReportSyncError(const CStringA& accountGuid, const CStringA& accountName, RResult code,
                     const CStringA& calendarName, const CStringA& eventText) {
    platform::messages::ErrorReport report;
    report.accountGuid = accountGuid.Str();
    report.accountName = CStringW::FromUtf8(accountName.Str());
    report.code = code;
    report.calendarName = CStringW::FromUtf8(calendarName.Str());
    report.eventText = CStringW::FromUtf8(eventText.Str());
    platform::messages::SubmitErrorReport(std::move(report));
}
