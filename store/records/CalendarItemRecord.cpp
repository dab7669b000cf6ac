#include "store/records/CalendarItemRecord.h"

#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/CppSQLite3Table.h"

void CalendarItemRecord::Clear() {
    *this = CalendarItemRecord();
}

void CalendarItemRecord::Assign(const CalendarItemRecord& other) {
    *this = other;
}

namespace {

template <typename Row>
void ReadRow(const Row& table, CalendarItemRecord* out, ItemTexts texts) {
    if (out == nullptr) {
        return;
    }
    auto text = [&table](const char* column) { return CStringA(table.getStringField(column)); };
    const bool whole = texts == ItemTexts::Whole;
    out->guid = text("guid");
    out->parentCalendarGuid = text("parentCalendarGuid");
    out->parentAccountGuid = text("parentAccountGuid");
    out->etag = text("etag");
    out->scheduleTag = text("scheduleTag");
    out->type = text("type");
    out->serverFileName = text("serverFileName");
    out->localFileName = text("localFileName");
    out->summary = text("summary");
    out->dtStart = text("dtStart");
    out->dtStartTZ = text("dtStartTZ");
    out->dtEnd = text("dtEnd");
    out->dtEndTZ = text("dtEndTZ");
    out->whiteRabbitTimeZone = text("whiteRabbitTimeZone");
    out->dtStartOlsonTZ = text("dtStartOlsonTZ");
    out->dtEndOlsonTZ = text("dtEndOlsonTZ");
    out->dtPatternStart = text("dtPatternStart");
    out->dtPatternEnd = text("dtPatternEnd");
    if (whole) {
        out->dtStamp = text("dtStamp");
        out->dtCreated = text("dtCreated");
        out->dtLastModified = text("dtLastModified");
        out->dtAlarmTrigger = text("dtAlarmTrigger");
    }
    out->rrule = text("rrule");
    out->recurrenceID = text("recurrenceID");
    out->sequence = table.getIntField("sequence");
    out->exDates = text("exDates");
    if (whole) {
        out->location = text("location");
        out->description = text("description");
        out->url = text("url");
    }
    out->status = text("status");
    out->transparency = text("transparency");
    if (whole) {
        out->organizer = text("organizer");
    }
    out->myPartStat = text("myPartStat");
    if (whole) {
        out->attendees = text("attendees");
        out->icsBlob = text("icsBlob");
    }
}

}  // namespace

void ReadCalendarItemRow(const CppSQLite3Table& table, CalendarItemRecord* out) { ReadRow(table, out, ItemTexts::Whole); }

void ReadCalendarItemRow(const CppSQLite3Row& row, CalendarItemRecord* out, ItemTexts texts) { ReadRow(row, out, texts); }

const char* DrawingColumns() {
    return "guid, parentCalendarGuid, parentAccountGuid, etag, scheduleTag, type, serverFileName, localFileName, "
           "summary, dtStart, dtStartTZ, dtEnd, dtEndTZ, whiteRabbitTimeZone, dtStartOlsonTZ, dtEndOlsonTZ, "
           "dtPatternStart, dtPatternEnd, rrule, recurrenceID, sequence, exDates, status, transparency, myPartStat";
}

