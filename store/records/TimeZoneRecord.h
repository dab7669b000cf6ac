#pragma once
// One row of the TimeZones table: a VTIMEZONE met in calendar data. Offsets are hours.
// A plain value: one thread uses a record at a time; copies may go to other threads.
#include "platform/string/CString.h"

struct TimeZoneRecord {
    CStringA timeZoneID;
    CStringA olsonID;
    CStringA daylightName;
    double daylightOffsetFrom = 0.0;
    double daylightOffsetTo = 0.0;
    CStringA daylightRrule;
    CStringA daylightDTStart;
    CStringA standardName;
    double standardOffsetFrom = 0.0;
    double standardOffsetTo = 0.0;
    CStringA standardRrule;
    CStringA standardDTStart;

    // Texts empty, offsets 0.0.
    void Clear();
};
