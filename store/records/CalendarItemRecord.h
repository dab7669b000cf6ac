#pragma once
// One row of the CalendarItems table: an event or to-do, or one changed occurrence (exception)
// of a repeating event. Texts hold UTF-8; summary, location and description keep their
// iCalendar TEXT escaping. A master row has an empty recurrenceID; its exception rows share
// its guid and carry one.
// A plain value: one thread uses a record at a time; copies may go to other threads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <vector>

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

    // Records made one by one with new come from blocks shared by many (store/records/RecordSlab.h):
    // a range query makes thousands at once, each too large for the allocator's fast paths.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* record, std::size_t size) noexcept;
    static void operator delete(void* record, const std::nothrow_t&) noexcept;
    static void operator delete(void*, void*) noexcept {}

    void Clear();
    void Assign(const CalendarItemRecord& other);
};

// Starts loading into the processor's cache the record itself, or the texts it points to (once
// the record itself is there), for a reader that reaches it shortly; changes nothing.
enum class ItemPrefetch { Record, Texts };
void PrefetchCalendarItem(const CalendarItemRecord& record, ItemPrefetch part);

// Which fields of a row a reader wants: all of them, or those a calendar grid draws and sorts by
// (every field but the stamps, alarm, location, description, URL, organizer, attendees and the
// item's text, which the event dialog reads afresh).
enum class ItemTexts { Whole, ForDrawing };

// Copies the table's current row into `out`, column by name; NULL texts become "", a NULL
// sequence 0; with ForDrawing, the fields left out stay as they were. Columns the row lacks
// raise the access layer's exception.
void ReadCalendarItemRow(const CppSQLite3Table& table, CalendarItemRecord* out);
void ReadCalendarItemRow(const CppSQLite3Row& row, CalendarItemRecord* out, ItemTexts texts = ItemTexts::Whole);
// The columns a whole record is read from: its text columns, then "sequence".
std::span<const char* const> CalendarItemColumns();
// The columns a ForDrawing read needs, for a select list.
const char* DrawingColumns();

// Rows shared between the store and its readers; a shared record is never changed.
using SharedItemList = std::vector<std::shared_ptr<const CalendarItemRecord>>;
