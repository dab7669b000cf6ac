// Opening a stored item of the calendar as an item object.
#include "sync/ROrvaneCalendar.h"

#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendarItem.h"

namespace {

RResult OpenRow(ROrvaneCalendar& calendar, const CalendarItemRecord& row, RRef<ROrvaneCalendarItem>* item) {
    RRef<ROrvaneDataManager> store = calendar.GetDataManager();
    RRef<ROrvaneAccount> account = calendar.GetAccount();
    auto opened = MakeRef<ROrvaneCalendarItem>();
    const RResult result = opened->Init(store.get(), account.get(), &calendar, &row);
    if (result == 0) *item = std::move(opened);
    return result;
}

}  // namespace

RResult ROrvaneCalendar::OpenItemByUid(const char* uid, const char* recurrenceId, RRef<ROrvaneCalendarItem>* item) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store || item == nullptr) return R_E_INVALID_ARGUMENT;
    const CalendarRecord record = GetRecord();
    CalendarItemRecord row;
    const RResult found = store->FindCalendarItem(uid, recurrenceId, record.guid, record.parentAccountGuid, &row);
    return found != 0 ? found : OpenRow(*this, row, item);
}

RResult ROrvaneCalendar::OpenItemByServerFileName(const char* name, RRef<ROrvaneCalendarItem>* item) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store || item == nullptr) return R_E_INVALID_ARGUMENT;
    const CalendarRecord record = GetRecord();
    CalendarItemRecord row;
    const RResult found = store->FindCalendarItemByServerFileName(name, record.guid, record.parentAccountGuid, &row);
    return found != 0 ? found : OpenRow(*this, row, item);
}
