#include "store/records/CalendarItemRecord.h"

#include <array>
#include <cstdlib>
#include <iterator>
#include <string>

#include "store/records/RecordSlab.h"
#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/CppSQLite3Table.h"

namespace {

// The sanitizers' own allocator must see every record, to report one used after it was freed.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kRecordsFromSlab = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kRecordsFromSlab = false;
#else
constexpr bool kRecordsFromSlab = true;
#endif
#else
constexpr bool kRecordsFromSlab = true;
#endif

// Never destroyed: records may outlive every other object of the program.
RecordSlab& Slab() {
    static RecordSlab* const slab = new RecordSlab(sizeof(CalendarItemRecord));
    return *slab;
}

}  // namespace

void* CalendarItemRecord::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (!kRecordsFromSlab || size != sizeof(CalendarItemRecord)) {
        return ::operator new(size, std::nothrow);
    }
    return Slab().Allocate();
}

void* CalendarItemRecord::operator new(std::size_t size) {
    void* record = operator new(size, std::nothrow);
    if (record == nullptr) {
        throw std::bad_alloc();
    }
    return record;
}

void CalendarItemRecord::operator delete(void* record, std::size_t size) noexcept {
    if (!kRecordsFromSlab || size != sizeof(CalendarItemRecord)) {
        ::operator delete(record);
        return;
    }
    Slab().Free(record);
}

void CalendarItemRecord::operator delete(void* record, const std::nothrow_t&) noexcept {
    operator delete(record, sizeof(CalendarItemRecord));
}

void CalendarItemRecord::Clear() {
    *this = CalendarItemRecord();
}

void CalendarItemRecord::Assign(const CalendarItemRecord& other) {
    *this = other;
}

namespace {

// The text columns of a row and the fields they fill; `wholeOnly` ones are left out of a
// ForDrawing read.
struct TextField {
    const char* name;
    CStringA CalendarItemRecord::*field;
    bool wholeOnly;
};
constexpr TextField kTextFields[] = {
    {"guid", &CalendarItemRecord::guid, false},
    {"parentCalendarGuid", &CalendarItemRecord::parentCalendarGuid, false},
    {"parentAccountGuid", &CalendarItemRecord::parentAccountGuid, false},
    {"etag", &CalendarItemRecord::etag, false},
    {"scheduleTag", &CalendarItemRecord::scheduleTag, false},
    {"type", &CalendarItemRecord::type, false},
    {"serverFileName", &CalendarItemRecord::serverFileName, false},
    {"localFileName", &CalendarItemRecord::localFileName, false},
    {"summary", &CalendarItemRecord::summary, false},
    {"dtStart", &CalendarItemRecord::dtStart, false},
    {"dtStartTZ", &CalendarItemRecord::dtStartTZ, false},
    {"dtEnd", &CalendarItemRecord::dtEnd, false},
    {"dtEndTZ", &CalendarItemRecord::dtEndTZ, false},
    {"whiteRabbitTimeZone", &CalendarItemRecord::whiteRabbitTimeZone, false},
    {"dtStartOlsonTZ", &CalendarItemRecord::dtStartOlsonTZ, false},
    {"dtEndOlsonTZ", &CalendarItemRecord::dtEndOlsonTZ, false},
    {"dtPatternStart", &CalendarItemRecord::dtPatternStart, false},
    {"dtPatternEnd", &CalendarItemRecord::dtPatternEnd, false},
    {"dtStamp", &CalendarItemRecord::dtStamp, true},
    {"dtCreated", &CalendarItemRecord::dtCreated, true},
    {"dtLastModified", &CalendarItemRecord::dtLastModified, true},
    {"dtAlarmTrigger", &CalendarItemRecord::dtAlarmTrigger, true},
    {"rrule", &CalendarItemRecord::rrule, false},
    {"recurrenceID", &CalendarItemRecord::recurrenceID, false},
    {"exDates", &CalendarItemRecord::exDates, false},
    {"location", &CalendarItemRecord::location, true},
    {"description", &CalendarItemRecord::description, true},
    {"url", &CalendarItemRecord::url, true},
    {"status", &CalendarItemRecord::status, false},
    {"transparency", &CalendarItemRecord::transparency, false},
    {"organizer", &CalendarItemRecord::organizer, true},
    {"myPartStat", &CalendarItemRecord::myPartStat, false},
    {"attendees", &CalendarItemRecord::attendees, true},
    {"icsBlob", &CalendarItemRecord::icsBlob, true},
};

}  // namespace

void ReadCalendarItemRow(const CppSQLite3Table& table, CalendarItemRecord* out) {
    if (out == nullptr) {
        return;
    }
    for (const TextField& field : kTextFields) {
        out->*field.field = table.getStringField(field.name);
    }
    out->sequence = table.getIntField("sequence");
}

void ReadCalendarItemRow(const CppSQLite3Row& row, CalendarItemRecord* out, ItemTexts texts) {
    if (out == nullptr) {
        return;
    }
    // Positions rather than names: a select's rows are read by the thousand.
    const std::span<const char* const> names = CalendarItemColumns();
    const int* columns = row.columnsOf(names.data(), names.size());
    const bool whole = texts == ItemTexts::Whole;
    for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
        if (whole || !kTextFields[i].wholeOnly) {
            const char* value = row.fieldValueAt(columns[i]);
            out->*kTextFields[i].field = value != nullptr ? value : "";
        }
    }
    const char* sequence = row.fieldValueAt(columns[std::size(kTextFields)]);
    out->sequence = sequence != nullptr ? std::atoi(sequence) : 0;
}

void PrefetchCalendarItem(const CalendarItemRecord& record, ItemPrefetch part) {
    if (part == ItemPrefetch::Record) {
        constexpr std::size_t kLine = 64;
        const char* bytes = reinterpret_cast<const char*>(&record);
        for (std::size_t offset = 0; offset < sizeof record; offset += kLine) {
            __builtin_prefetch(bytes + offset);
        }
        return;
    }
    for (const TextField& field : kTextFields) {
        __builtin_prefetch((record.*field.field).GetString());
    }
}

std::span<const char* const> CalendarItemColumns() {
    static const auto names = [] {
        std::array<const char*, std::size(kTextFields) + 1> all{};
        for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
            all[i] = kTextFields[i].name;
        }
        all.back() = "sequence";
        return all;
    }();
    return names;
}

const char* DrawingColumns() {
    static const std::string columns = [] {
        std::string list;
        for (const TextField& field : kTextFields) {
            if (!field.wholeOnly) {
                list += field.name;
                list += ", ";
            }
        }
        return list + "sequence";
    }();
    return columns.c_str();
}
