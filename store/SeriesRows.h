#pragma once
// Reading one item whole: every row of a guid (the master and its exceptions) and the item's
// file, the text as the server sent it. Used when an item is saved, so that the resource sent
// back holds all of its events and keeps what other clients wrote.
// Threads: any thread (the store serialises its statements).
#include <string>
#include <vector>

#include "foundation/ResultCodes.h"
#include "store/records/CalendarItemRecord.h"

class ROrvaneDataManager;

// The rows of `guid` in the calendar, the master (empty recurrenceID) first, then the
// exceptions in recurrence-identifier order. 0 (also with no rows), or R_E_INVALID_ARGUMENT.
// Raises the access layer's exception when the select fails.
RResult ReadSeriesRows(ROrvaneDataManager* store, const char* guid, const char* calendarGuid,
                       const char* accountGuid, std::vector<CalendarItemRecord>& out);

// The text of the item file `fileName` of the calendar: 0; STG_E_PATHNOTFOUND when the
// calendar, a safe path or the file is missing; the platform's error number when it cannot be
// read. Files larger than 64 MiB are refused (R_E_BAD_FORMAT).
RResult ReadCalendarItemFile(ROrvaneDataManager* store, const char* fileName, const char* calendarGuid,
                             const char* accountGuid, std::string& out);
