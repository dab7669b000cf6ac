#pragma once
// The store the month-view benchmarks draw: an account that loads without a server, its calendar
// "cal", and, when asked, the realistic store's 50,000 items in that calendar.
// Threads: one thread per store, as the store's open is.
#include <string>

#include "foundation/memory/RRef.h"
#include "store/ROrvaneDataManager.h"
#include "tools/realistic_store/RealisticStore.h"

// Opens the store in `folder` and fills it; returns the opened store.
inline RRef<ROrvaneDataManager> MakeUiBenchStore(const std::string& folder, bool withItems) {
    RRef<ROrvaneDataManager> store = RRef<ROrvaneDataManager>::Adopt(new ROrvaneDataManager);
    (void)store->Open(CStringW::FromUtf8(folder));
    AccountRecord account;
    account.Clear();
    account.guid = "__Subscriptions_GUID__";  // loads without a server
    account.description = "Calendar";
    (void)store->AddAccount(&account);
    CalendarRecord calendar;
    calendar.Clear();
    calendar.guid = "cal";
    calendar.displayName = "Work";
    calendar.calendarOrder = 0;
    calendar.rgbValue = "#1565C0FF";
    calendar.resourceType = "subscribed";
    calendar.supportedCalendarComponentSet = "VEVENT";
    (void)store->AddCalendar(account.guid, &calendar);
    if (withItems) (void)FillRealisticStore(store.get(), account.guid, "cal");
    return store;
}
