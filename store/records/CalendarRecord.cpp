#include "store/records/CalendarRecord.h"

void CalendarRecord::Clear() {
    *this = CalendarRecord();
}
