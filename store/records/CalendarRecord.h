#pragma once
// One row of the Calendars table. A calendar is identified by (parentAccountGuid, guid).
// A plain value: one thread uses a record at a time; copies may go to other threads.
#include <cstdint>

#include "platform/string/CString.h"

struct CalendarRecord {
    CStringA guid;
    CStringA parentAccountGuid;
    CStringA displayName;
    CStringA description;
    std::int32_t calendarOrder = -1;
    CStringA rgbValue;  // "#RRGGBBAA"
    std::int32_t enabled = 1;
    std::int32_t readOnly = 0;  // never written by the store
    CStringA subscriptionURL;
    CStringA subscriptionLastRefreshed;
    CStringA ctag;
    CStringA syncToken;
    CStringA pathURI;
    CStringA privileges;
    CStringA resourceType;
    CStringA owner;
    CStringA supportedCalendarComponentSet;
    CStringA localDirPath;
    std::int32_t reserved = 0;  // no column holds it

    // Every text empty, calendarOrder -1, enabled 1, readOnly 0, reserved 0.
    void Clear();
};
