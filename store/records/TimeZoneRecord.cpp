#include "store/records/TimeZoneRecord.h"

void TimeZoneRecord::Clear() {
    *this = TimeZoneRecord();
}
