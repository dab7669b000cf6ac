#pragma once
// One row of the CalendarItems table: an event or to-do, or one changed occurrence (exception)
// of a repeating event. Texts hold UTF-8; summary, location and description keep their
// iCalendar TEXT escaping. A master row has an empty recurrenceID; its exception rows share
// its guid and carry one.
// A plain value: one thread uses a record at a time; copies may go to other threads.
#include <cstdint>

#include "platform/string/CString.h"

class CppSQLite3Row;
class CppSQLite3Table;

struct CalendarItemRecord {
    CStringA guid;
    CStringA parentCalendarGuid;
    CStringA parentAccountGuid;
    CStringA etag;
    CStringA scheduleTag;
    CStringA type;  // "VEVENT", "VTODO", or empty for an item made in the program
    CStringA serverFileName;
    CStringA localFileName;
    CStringA summary;
    CStringA dtStart;
    CStringA dtStartTZ;
    CStringA dtEnd;
    CStringA dtEndTZ;
    CStringA whiteRabbitTimeZone;
    CStringA dtStartOlsonTZ;
    CStringA dtEndOlsonTZ;
    CStringA dtPatternStart;
    CStringA dtPatternEnd;
    CStringA dtStamp;
    CStringA dtCreated;
    CStringA dtLastModified;
    CStringA dtAlarmTrigger;
    CStringA rrule;
    CStringA recurrenceID;
    std::int32_t sequence = 0;
    CStringA exDates;    // EXDATE lines, each ending CR LF
    CStringA location;
    CStringA description;
    CStringA url;
    CStringA status;
    CStringA transparency;
    CStringA organizer;  // parameters, ':' and address, without the property name
    CStringA myPartStat;
    CStringA attendees;  // ATTENDEE lines, each ending CR LF
    CStringA icsBlob;
    std::int32_t reserved = 0;  // not stored

    void Clear();
    void Assign(const CalendarItemRecord& other);
};

// Copies the table's current row into `out`, column by name; NULL texts become "", a NULL
// sequence 0. Columns the row lacks raise the access layer's exception.
void ReadCalendarItemRow(const CppSQLite3Table& table, CalendarItemRecord* out);
void ReadCalendarItemRow(const CppSQLite3Row& row, CalendarItemRecord* out);
