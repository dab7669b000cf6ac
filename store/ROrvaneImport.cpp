// Conversion of parsed iCalendar components into item and time-zone rows, and the import of a
// whole parsed calendar (zones first, then events, then to-dos, each added or else updated).
#include "store/ROrvaneDataManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/debug/DebugTrace.h"
#include "foundation/debug/RDebugLog.h"
#include "foundation/memory/RRef.h"
#include "foundation/text/GuidString.h"
#include "foundation/text/PathComponents.h"
#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/timezone/ZoneTable.h"
#include "ical/value/RIcsDateTime.h"
#include "store/files/DataFolderPaths.h"
#include "store/sqlite/CppSQLite3Row.h"
#include "store/sqlite/CppSQLite3Table.h"
#include "store/sqlite/SelectRows.h"
#include "store/sqlite/SqlTextBuilders.h"
#include "store/sqlite/StoreTransaction.h"

namespace {

const char* Text(const char* text) { return text != nullptr ? text : ""; }

CStringA DbText(const RIcsDateTime* value) { return value != nullptr ? CStringA(value->GetDbText()) : CStringA(); }

// The Olson name that the alias table gives for a TZID ("Z" stays "Z"); empty when none.
// The table is built in, so each thread keeps the answers for the few zones an import meets:
// every item of a calendar names the same zones again.
CStringA OlsonIdOf(const CStringA& tzid) {
    if (tzid.IsEmpty()) {
        return CStringA();
    }
    constexpr std::size_t kRemembered = 64;
    thread_local std::unordered_map<std::string, CStringA> known;
    if (const auto found = known.find(tzid.Str()); found != known.end()) {
        return found->second;
    }
    CStringW olson;
    CStringA mapped;
    if (MapZoneKeyToOlsonId(CStringW::FromUtf8(tzid.AsView()), olson) == R_OK) {
        mapped = olson.ToUtf8();
    }
    if (known.size() >= kRemembered) {
        known.clear();
    }
    known.emplace(tzid.Str(), mapped);
    return mapped;
}

// Hours as a real, the sign of the offset applying to the whole value (-0330 is -3.5). The
// parser keeps the sign on the hours only; offsets made from hours carry it on every part.
double OffsetHours(const RIcsUtcOffset& offset) {
    const bool negative = offset.hours < 0 || offset.minutes < 0 || offset.seconds < 0;
    const double magnitude = std::abs(offset.hours) + std::abs(offset.minutes) / 60.0 + std::abs(offset.seconds) / 3600.0;
    return negative ? -magnitude : magnitude;
}

// The stored text of the series' last occurrence: its UNTIL, or its COUNT-th occurrence when
// COUNT is 2 or more; empty when the series has no known end.
CStringA SeriesEnd(const char* rruleText, const RIcsDateTime* first) {
    const auto rule = MakeRef<RIcsRecurrence>();
    if (rule->Parse(rruleText) != R_OK || (rule->until == nullptr && rule->count < 2)) {
        return CStringA();
    }
    // The rule's own UNTIL is lent; a COUNT-th occurrence is a new value given to the caller.
    RIcsDateTime* given = rule->GetLastOccurrence(first);
    const RRef<RIcsDateTime> last =
        given == rule->until ? RRef<RIcsDateTime>::Share(given) : RRef<RIcsDateTime>::Adopt(given);
    return DbText(last.get());
}

// The item rows a calendar already holds: the recurrence identifiers stored under each guid.
// It answers what AddCalendarItem's look-ups would answer, from one select for the whole import
// instead of two selects per item.
class StoredIdentities {
public:
    // Reads the rows of the given guids only (through the guid index): a sync stores one
    // resource at a time, and reading the whole calendar for each would make it quadratic.
    // `select` runs the select with its values and Adds the rows it gives.
    void Load(const char* accountGuid, const char* calendarGuid, const std::vector<std::string>& guids,
              const std::function<void(const char*, const std::vector<SqlValue>&)>& select) {
        // The guids go in groups of a fixed size (the last one filled up with repeats), so that
        // the select is compiled once and kept, not parsed again with every import's guids.
        constexpr std::size_t kPerSelect = 128;
        static const std::string sql = [] {
            std::string text = "select guid, recurrenceID from CalendarItems where parentAccountGuid=? and "
                               "parentCalendarGuid=? and guid in (?";
            for (std::size_t i = 1; i < kPerSelect; ++i) text += ",?";
            return text + ");";
        }();
        std::vector<std::string> distinct = guids;  // a guid in two groups would give its rows twice
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        std::vector<SqlValue> values;
        for (std::size_t first = 0; first < distinct.size(); first += kPerSelect) {
            values.assign({SqlValue{Text(accountGuid), 0}, SqlValue{Text(calendarGuid), 0}});
            for (std::size_t i = 0; i < kPerSelect; ++i) {
                values.push_back(SqlValue{distinct[std::min(first + i, distinct.size() - 1)].c_str(), 0});
            }
            select(sql.c_str(), values);
        }
    }
    void Add(const char* guid, const char* recurrenceID) { byGuid[guid].emplace_back(recurrenceID); }
    // A master is held when a row of its guid has no recurrence identifier; an exception when a
    // row of its guid has an identifier containing the exception's (a bare date-time matches
    // one stored with its TZID parameter).
    bool Holds(const CStringA& guid, const CStringA& recurrenceID) const {
        const auto found = byGuid.find(guid.Str());
        if (found == byGuid.end()) {
            return false;
        }
        for (const std::string& stored : found->second) {
            if (recurrenceID.IsEmpty() ? stored.empty() : stored.find(recurrenceID.Str()) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

private:
    std::unordered_map<std::string, std::vector<std::string>> byGuid;
};

void ConvertTimeZoneRule(RIcsTimeZoneComponent* part, CStringA& name, double& from, double& to, CStringA& rrule,
                         CStringA& start) {
    if (part == nullptr) {
        return;
    }
    name = Text(part->GetTzName());
    from = OffsetHours(part->GetOffsetFrom());
    to = OffsetHours(part->GetOffsetTo());
    if (RIcsRecurrence* rule = part->GetRecurrence(); rule != nullptr) {
        rrule = Text(rule->GetText());
    }
    start = DbText(part->GetDtStart());
}

// Whether two parsed zone rules give the same converted values (see ConvertTimeZoneRule),
// found without writing their start times as text.
bool SameZoneRule(const RIcsTimeZoneComponent* a, const RIcsTimeZoneComponent* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    if (std::strcmp(Text(a->GetTzName()), Text(b->GetTzName())) != 0 ||
        OffsetHours(a->GetOffsetFrom()) != OffsetHours(b->GetOffsetFrom()) ||
        OffsetHours(a->GetOffsetTo()) != OffsetHours(b->GetOffsetTo())) {
        return false;
    }
    const RIcsRecurrence* ruleA = a->GetRecurrence();
    const RIcsRecurrence* ruleB = b->GetRecurrence();
    if ((ruleA == nullptr) != (ruleB == nullptr) ||
        (ruleA != nullptr && std::strcmp(Text(a->GetRecurrence()->GetText()), Text(b->GetRecurrence()->GetText())) != 0)) {
        return false;
    }
    const RIcsDateTime* startA = a->GetDtStart();
    const RIcsDateTime* startB = b->GetDtStart();
    // Equal dates, times and date-only flags are written as the same stored text.
    return (startA == nullptr || startB == nullptr) ? startA == startB : RIcsDateTime::Compare(*startA, *startB) == 0;
}

// Whether two parsed zones convert to the same zone row.
bool SameZone(const RIcsTimeZone& a, const RIcsTimeZone& b) {
    // Resources parsed together share the zone of one text.
    if (&a == &b) {
        return true;
    }
    return std::strcmp(Text(a.GetTzid()), Text(b.GetTzid())) == 0 && SameZoneRule(a.GetDaylight(), b.GetDaylight()) &&
           SameZoneRule(a.GetStandard(), b.GetStandard());
}

// Whether two zone rows hold the same values, so that storing the second changes nothing.
bool SameZoneRow(const TimeZoneRecord& a, const TimeZoneRecord& b) {
    return a.timeZoneID == b.timeZoneID && a.olsonID == b.olsonID && a.daylightName == b.daylightName &&
           a.daylightOffsetFrom == b.daylightOffsetFrom && a.daylightOffsetTo == b.daylightOffsetTo &&
           a.daylightRrule == b.daylightRrule && a.daylightDTStart == b.daylightDTStart &&
           a.standardName == b.standardName && a.standardOffsetFrom == b.standardOffsetFrom &&
           a.standardOffsetTo == b.standardOffsetTo && a.standardRrule == b.standardRrule &&
           a.standardDTStart == b.standardDTStart;
}

}  // namespace

bool ROrvaneDataManager::StoresComponent(const RIcsComponent* component) {
    return component != nullptr && component->GetDtStart() != nullptr;
}

RResult ROrvaneDataManager::ConvertIcsEvent(const char* accountGuid, const char* calendarGuid,
                                            const char* serverFileName, const char* scheduleTag, const char* etag,
                                            RIcsComponent* component, CalendarItemRecord* out) {
    if (component == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    RIcsDateTime* start = component->GetDtStart();
    if (!StoresComponent(component)) {
        g_debugLog.Printf("*** Invalid ICS Object *** No DTSTART specified UID:%s Subject:%s\n\r",
                          Text(component->GetUid()), Text(component->GetSummary()));
        DebugTrace("*** Invalid ICS Object *** No DTSTART specified UID:%s Subject:%s\n\r",
                   Text(component->GetUid()), Text(component->GetSummary()));
        return R_OK;
    }
    if (*Text(component->GetUid()) == '\0') {
        // The item needs an identity; the component carries it too, so its text matches the row.
        CStringA guid;
        if (NewGuidStringA(guid) == R_OK) {
            component->SetUid(guid);
        }
    }
    out->guid = Text(component->GetUid());
    out->parentCalendarGuid = Text(calendarGuid);
    out->parentAccountGuid = Text(accountGuid);
    out->scheduleTag = Text(scheduleTag);
    out->etag = Text(etag);
    out->type = component->GetName();
    GetLastPathComponentA(CStringA(Text(serverFileName)), &out->serverFileName);
    out->localFileName = LocalItemFileName(out->serverFileName);
    out->summary = Text(component->GetSummary());
    out->location = Text(component->GetLocation());
    out->description = Text(component->GetDescription());
    out->url = Text(component->GetUrl());
    out->dtStamp = DbText(component->GetDtStamp());
    out->dtCreated = DbText(component->GetCreated());
    out->dtLastModified = DbText(component->GetLastModified());
    out->dtAlarmTrigger = DbText(component->GetAlarmTrigger());
    out->dtStart = DbText(start);
    out->dtStartTZ = start->tzid;
    RIcsDateTime* end = component->GetEffectiveDtEnd();
    out->dtEnd = DbText(end);
    out->dtEndTZ = end != nullptr ? end->tzid : "";
    if (RIcsRecurrence* rule = component->GetRecurrence(); rule != nullptr) {
        out->rrule = Text(rule->GetText());
    }
    out->recurrenceID = component->GetRecurrenceId();
    out->sequence = component->GetSequence();
    out->exDates = Text(component->GetExDateLines());
    out->status = component->GetStatus();
    out->transparency = component->GetTransp();
    if (RIcsOrganizer* organizer = component->GetOrganizer(); organizer != nullptr) {
        out->organizer = Text(organizer->GetText());
    }
    out->attendees = Text(component->GetAttendeeLines());
    out->icsBlob = Text(component->GetText());
    out->dtStartOlsonTZ = OlsonIdOf(out->dtStartTZ);
    out->dtEndOlsonTZ = OlsonIdOf(out->dtEndTZ);
    out->whiteRabbitTimeZone = Text(component->GetDefaultTimeZone());
    if (out->type == "VEVENT") {
        out->dtPatternStart = out->dtStart;
        out->dtPatternEnd = out->rrule.IsEmpty() ? out->dtEnd : SeriesEnd(out->rrule, start);
    }
    return R_OK;
}

RResult ROrvaneDataManager::ConvertIcsTodo(const char* accountGuid, const char* calendarGuid,
                                           const char* serverFileName, const char* scheduleTag, const char* etag,
                                           RIcsComponent* component, CalendarItemRecord* out) {
    return ConvertIcsEvent(accountGuid, calendarGuid, serverFileName, scheduleTag, etag, component, out);
}

RResult ROrvaneDataManager::ConvertIcsTimeZone(RIcsTimeZone* zone, TimeZoneRecord* out) {
    if (zone == nullptr || out == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    out->timeZoneID = zone->GetTzid();
    out->olsonID = OlsonIdOf(out->timeZoneID);
    ConvertTimeZoneRule(zone->GetDaylight(), out->daylightName, out->daylightOffsetFrom, out->daylightOffsetTo,
                        out->daylightRrule, out->daylightDTStart);
    ConvertTimeZoneRule(zone->GetStandard(), out->standardName, out->standardOffsetFrom, out->standardOffsetTo,
                        out->standardRrule, out->standardDTStart);
    return R_OK;
}

// What the imports of one transaction share: the calendar, looked up once, and the identities
// of the rows it holds under the guids of every resource being imported, read by one select.
struct ROrvaneDataManager::ImportState {
    std::vector<RIcsCalendar*> resources;
    bool calendarChecked = false;
    StoredIdentities stored;
    // The zone rows this transaction stored, by TZID: most resources carry the VTIMEZONE of
    // their zone, and storing the same row again is a look-up and an update that change nothing.
    std::unordered_map<std::string, TimeZoneRecord> zones;
    // The parsed zone each of those rows was converted from: a resource's zone that equals it
    // needs no converting.
    std::unordered_map<std::string, RRef<RIcsTimeZone>> zoneSources;
};

RResult ROrvaneDataManager::ImportIcsCalendar(const char* accountGuid, const char* calendarGuid,
                                              const char* serverFileName, const char* scheduleTag, const char* etag,
                                              RIcsCalendar* calendar) {
    if (calendar == nullptr) {
        return R_E_INVALID_ARGUMENT;
    }
    // One transaction for the whole calendar: when a statement fails, none of its rows stay and
    // the failure is returned; and the disk is waited for once, not once per row.
    StoreTransaction transaction(*this);
    ImportState state;
    state.resources.push_back(calendar);
    const RResult result =
        ImportResource(transaction, accountGuid, calendarGuid, {serverFileName, scheduleTag, etag, calendar}, state);
    if (result != R_OK && transaction.Failure() == R_OK) {
        // No statement failed: the calendar is not stored, or a child list is broken. What was
        // stored before the stop stays, as callers of the import expect; the stop is reported.
        const RResult committed = transaction.Commit();
        return committed != R_OK ? committed : result;
    }
    // A failed statement (a busy or full disk, say) undoes the whole import.
    return transaction.Commit();
}

RResult ROrvaneDataManager::ImportIcsCalendars(const char* accountGuid, const char* calendarGuid,
                                               const std::vector<IcsResource>& resources) {
    ImportState state;
    for (const IcsResource& resource : resources) {
        if (resource.calendar == nullptr) {
            return R_E_INVALID_ARGUMENT;
        }
        state.resources.push_back(resource.calendar);
    }
    StoreTransaction transaction(*this);
    for (const IcsResource& resource : resources) {
        if (const RResult result = ImportResource(transaction, accountGuid, calendarGuid, resource, state);
            result != R_OK) {
            // Nothing of the batch stays, whatever stopped it.
            transaction.Fail(result);
            break;
        }
    }
    return transaction.Commit();
}

void ROrvaneDataManager::ReleaseCachedPages(long long above) {
    platform::MutexLock lock(sqlMutex);
    if (db.cachedPageBytes() > above) {
        db.releaseCachedPages();
    }
}

RResult ROrvaneDataManager::ImportResource(StoreTransaction& transaction, const char* accountGuid,
                                           const char* calendarGuid, const IcsResource& resource, ImportState& state) {
    // A transaction that could not begin (a busy or damaged database) reads and converts nothing.
    if (const RResult failed = transaction.Failure(); failed != R_OK) {
        return failed;
    }
    RIcsCalendar* calendar = resource.calendar;
    // Each list is walked once from its head; reading child i by position would walk the list
    // from its head for every child.
    const auto forEachChild = [](const RList& list, auto&& visit) -> RResult {
        const RListNode* node = list.head;
        for (int i = 0; i < list.count; ++i, node = node->next) {
            if (node == nullptr || node->payload == nullptr) {
                return R_E_INVALID_ARGUMENT;
            }
            if (const RResult result = visit(node->payload); result != R_OK) {
                return result;
            }
        }
        return R_OK;
    };
    RResult result = forEachChild(calendar->GetTimeZoneList(), [&](void* payload) -> RResult {
        // Each child is held while it is converted.
        const auto zone = RRef<RIcsTimeZone>::Share(static_cast<RIcsTimeZone*>(payload));
        if (const auto source = state.zoneSources.find(Text(zone->GetTzid()));
            source != state.zoneSources.end() && SameZone(*source->second, *zone)) {
            return R_OK;
        }
        TimeZoneRecord record;
        record.Clear();
        RResult stored = ConvertIcsTimeZone(zone.get(), &record);
        if (stored != R_OK) {
            return stored;
        }
        const auto [kept, added] = state.zones.try_emplace(record.timeZoneID.Str(), record);
        state.zoneSources[record.timeZoneID.Str()] = zone;
        if (!added && SameZoneRow(kept->second, record)) {
            return R_OK;
        }
        kept->second = record;
        // A zone stored by an earlier sync is usually stored as it is again: the update would
        // change nothing but still be written and void the zone caches of every reader.
        TimeZoneRecord storedZone;
        if (added && FindTimeZone(record, &storedZone) == R_OK && SameZoneRow(storedZone, record)) {
            return R_OK;
        }
        return AddTimeZone(&record);
    });
    // Events, then to-dos: each stored as a new row, or over the row of the same identity, as
    // AddCalendarItem and then UpdateCalendarItem would store it. The calendar is looked up and
    // its rows' identities read once, when the first item needs them.
    StoredIdentities& stored = state.stored;
    const auto storeItem = [&](void* payload) -> RResult {
        CalendarItemRecord record;
        RResult result = ConvertIcsEvent(accountGuid, calendarGuid, resource.serverFileName, resource.scheduleTag,
                                         resource.etag,
                                         RRef<RIcsComponent>::Share(static_cast<RIcsComponent*>(payload)).get(),
                                         &record);
        if (result != R_OK || record.guid.IsEmpty()) {
            return result;  // a component without DTSTART is logged and skipped
        }
        if (!state.calendarChecked) {
            CalendarRecord owner;
            if (FindCalendar(accountGuid, Text(calendarGuid), &owner) != R_OK) {
                return STG_E_PATHNOTFOUND;
            }
            std::vector<std::string> guids;
            for (RIcsCalendar* each : state.resources) {
                for (const RList* list : {&each->GetEventList(), &each->GetToDoList()}) {
                    for (RListNode* node = list->head; node != nullptr; node = node->next) {
                        const char* uid = static_cast<RIcsComponent*>(node->payload)->GetUid();
                        if (uid != nullptr && *uid != '\0') guids.emplace_back(uid);
                    }
                }
            }
            stored.Load(accountGuid, Text(calendarGuid), guids,
                        [this, &stored](const char* sql, const std::vector<SqlValue>& values) {
                            VisitRows(sql, values, [&stored](const CppSQLite3Row& row) {
                                stored.Add(row.getStringField("guid"), row.getStringField("recurrenceID"));
                            });
                        });
            state.calendarChecked = true;
        }
        if (stored.Holds(record.guid, record.recurrenceID)) {
            return UpdateCalendarItem(record.guid, record.recurrenceID, calendarGuid, accountGuid, record);
        }
        stored.Add(record.guid, record.recurrenceID);
        return InsertCalendarItemRow(transaction, record);
    };
    if (result == R_OK) {
        result = forEachChild(calendar->GetEventList(), storeItem);
    }
    if (result == R_OK) {
        result = forEachChild(calendar->GetToDoList(), storeItem);
    }
    return result != R_OK ? result : transaction.Failure();
}
