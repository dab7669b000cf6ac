// Uploads, single fetches, deletes, moves, the one path from iCalendar text to stored items, and
// the import of a file from disk.
#include "sync/ROrvaneCalendar.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "foundation/files/FileNames.h"
#include "foundation/text/GuidString.h"
#include "foundation/text/PathComponents.h"
#include "foundation/text/Utf8Conversion.h"
#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/model/RIcsTimeZoneComponent.h"
#include "ical/model/RIcsToDo.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/core/WinTypes.h"
#include "platform/http/UrlPath.h"
#include "sync/CalendarOperation.h"
#include "sync/HrefNames.h"
#include "sync/PlatformZoneDefinition.h"
#include "sync/ROrvaneAccount.h"

namespace {

constexpr long long kMaxImportBytes = 64LL * 1024 * 1024;
constexpr RResult kErrorGenFailure = 31;

const char* Text(const char* value) { return value != nullptr ? value : ""; }
bool HasText(const char* value) { return value != nullptr && *value != '\0'; }

// The href of a resource of the collection at `collection`, encoded for a request body.
CStringA ResourceHref(const CStringA& collection, const char* name) {
    std::string path = collection.Str();
    if (path.empty() || path.back() != '/') path += '/';
    path += DecodePercent(name).Str();
    return CStringA(platform::http::EncodeUrlPath(path));
}

// The first component (event, else to-do) of a parsed calendar.
RIcsComponent* FirstItem(RIcsCalendar& calendar) {
    if (calendar.GetEventCount() > 0) return calendar.GetEventAt(0);
    if (calendar.GetToDoCount() > 0) return calendar.GetToDoAt(0);
    return nullptr;
}

// Gives every event and to-do without a UID a fresh one.
RResult EnsureUids(RIcsCalendar& calendar) {
    auto fill = [](RIcsComponent* item) -> RResult {
        if (item == nullptr || HasText(item->GetUid())) return 0;
        CStringA uid;
        if (const RResult made = NewGuidStringA(uid); made != 0) return made;
        return item->SetUid(uid);
    };
    for (int i = 0; i < calendar.GetEventCount(); ++i) {
        if (const RResult r = fill(calendar.GetEventAt(i)); r != 0) return r;
    }
    for (int i = 0; i < calendar.GetToDoCount(); ++i) {
        if (const RResult r = fill(calendar.GetToDoAt(i)); r != 0) return r;
    }
    return 0;
}

// Whether written calendar text holds something to send.
bool HoldsItems(const char* text) {
    return text != nullptr && (std::strstr(text, "BEGIN:VEVENT") != nullptr || std::strstr(text, "BEGIN:VTODO") != nullptr);
}

// The to-do components of calendar text as they were read, in text order, with CR LF line ends:
// the writer renders no to-do, so an imported to-do is sent as its file gave it. Only those that
// are children of a VCALENDAR, as the parser lists them.
std::vector<std::string> ToDoBlocks(const std::string& text) {
    std::vector<std::string> blocks;
    std::vector<std::string> open;  // the components being read, outermost first
    bool inToDo = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string upper = line;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.rfind("BEGIN:", 0) == 0) {
            const std::string name = upper.substr(6);
            if (!inToDo && name == "VTODO" && !open.empty() && open.back() == "VCALENDAR") {
                inToDo = true;
                blocks.emplace_back();
            }
            open.push_back(name);
        }
        if (inToDo) blocks.back().append(line).append("\r\n");
        if (upper.rfind("END:", 0) == 0 && !open.empty() && open.back() == upper.substr(4)) {
            open.pop_back();
            if (inToDo && upper == "END:VTODO" && (open.empty() || open.back() == "VCALENDAR")) inToDo = false;
        }
    }
    if (inToDo) blocks.pop_back();  // cut short: the parser refuses such text anyway
    return blocks;
}

// Whether a to-do's text names its UID itself.
bool HasUidLine(const std::string& block) {
    for (std::size_t at = 0; at + 4 < block.size();) {
        if (::strncasecmp(block.c_str() + at, "UID", 3) == 0 && (block[at + 3] == ':' || block[at + 3] == ';')) {
            return true;
        }
        const std::size_t end = block.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return false;
}

// One resource of an import: its events and zones as the writer renders them, followed by its
// to-dos as they were read.
class ImportedResource : public RIcsCalendar {
public:
    void AddToDoText(const std::string& block, const char* uid) {
        if (HasUidLine(block)) {
            toDoText_ += block;
            return;
        }
        // The to-do was given a UID of its own for the import: its text carries it too.
        const std::size_t firstLineEnd = block.find('\n') + 1;
        toDoText_ += block.substr(0, firstLineEnd) + "UID:" + Text(uid) + "\r\n" + block.substr(firstLineEnd);
    }
    const char* GetText() override {
        const char* written = RIcsCalendar::GetText();
        if (toDoText_.empty() || written == nullptr) return written;
        static constexpr char kEnd[] = "END:VCALENDAR\r\n";
        withToDos_ = written;
        const std::size_t end = withToDos_.rfind(kEnd);
        withToDos_.insert(end == std::string::npos ? withToDos_.size() : end, toDoText_);
        return withToDos_.c_str();
    }

private:
    std::string toDoText_;
    std::string withToDos_;
};

// A file error in the Windows numbers that the error texts know.
RResult FileErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return static_cast<RResult>(ERROR_FILE_NOT_FOUND);
        case EACCES:
        case EPERM:
            return static_cast<RResult>(ERROR_ACCESS_DENIED);
        default:
            return kErrorGenFailure;
    }
}

}  // namespace

CStringA ROrvaneCalendar::ServerFileNameForUid(const char* uid) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    const CalendarRecord record = GetRecord();
    if (store) {
        CalendarItemRecord row;
        if (store->FindCalendarItem(Text(uid), "", record.guid, record.parentAccountGuid, &row) == 0 &&
            !row.serverFileName.IsEmpty()) {
            return row.serverFileName;
        }
    }
    CStringA name;
    SanitizeFileNameA(CStringA(Text(uid)), &name);
    return name + ".ics";
}

void ROrvaneCalendar::BuildVTimeZone(const char* tzid, RIcsCalendar* calendar) {
    if (calendar == nullptr || !HasText(tzid)) return;
    RRef<ROrvaneDataManager> store = GetDataManager();
    auto daylight = MakeRef<RIcsTimeZoneComponent>();
    auto standard = MakeRef<RIcsTimeZoneComponent>();
    CStringA zoneId = tzid;
    TimeZoneRecord stored;
    bool found = false;
    if (store) {
        found = store->FindTimeZoneByOlsonID(tzid, &stored) == 0;
        if (!found) {
            TimeZoneRecord key;
            key.timeZoneID = tzid;
            found = store->FindTimeZone(key, &stored) == 0;
        }
    }
    if (found) {
        daylight->Set("DAYLIGHT", stored.daylightName, stored.daylightOffsetFrom, stored.daylightOffsetTo,
                      stored.daylightRrule, stored.daylightDTStart);
        standard->Set("STANDARD", stored.standardName, stored.standardOffsetFrom, stored.standardOffsetTo,
                      stored.standardRrule, stored.standardDTStart);
        zoneId = stored.timeZoneID;
    } else {
        // Not met in calendar data: the platform's definition (by Windows key or Olson id), with
        // yearly rules that other clients expand.
        if (RRef<RIcsTimeZone> zone = BuildPlatformVTimeZone(tzid)) calendar->AddTimeZone(zone.get());
        return;
    }
    auto zone = MakeRef<RIcsTimeZone>();
    zone->Set(zoneId, daylight.get(), standard.get());
    calendar->AddTimeZone(zone.get());
}

void ROrvaneCalendar::AddMissingTimeZones(RIcsCalendar* calendar) {
    if (calendar == nullptr) return;
    // Copied first: adding zones must not disturb the set being walked.
    std::vector<std::string> ids;
    for (const std::string* id : calendar->GetTimeZoneIds()) ids.push_back(*id);
    for (const std::string& id : ids) {
        if (id.empty() || id == "Z") continue;
        CStringW olson;
        CStringA wanted = id.c_str();
        if (MapZoneKeyToOlsonId(CStringW::FromUtf8(id), olson) == 0 && !olson.IsEmpty()) wanted = olson.ToUtf8();
        RIcsTimeZone* present = nullptr;
        if (calendar->FindTimeZone(wanted, &present) == 0) continue;
        if (wanted != id.c_str() && calendar->FindTimeZone(id.c_str(), &present) == 0) continue;
        if (wanted == id.c_str()) {
            BuildVTimeZone(wanted, calendar);
            continue;
        }
        // The events name the zone by its Windows key: the definition found for its Olson id goes
        // under that key, so that every TZID they carry resolves on the server.
        auto scratch = MakeRef<RIcsCalendar>();
        BuildVTimeZone(wanted, scratch.get());
        if (RIcsTimeZone* built = scratch->GetTimeZoneAt(0)) {
            built->Set(id.c_str(), nullptr, nullptr);
            calendar->AddTimeZone(built);
        }
    }
}

RResult ROrvaneCalendar::UploadItem(RIcsCalendar* calendar, const char* fileName, const char* scheduleTag,
                                    const char* etag, CStringA* newEtag, CStringA* newScheduleTag) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return UploadLocked(calendar, fileName, scheduleTag, etag, nullptr, newEtag, newScheduleTag);
}

RResult ROrvaneCalendar::UploadLocked(RIcsCalendar* calendar, const char* fileName, const char* scheduleTag,
                                      const char* etag, CStringA* uploadedName, CStringA* newEtag,
                                      CStringA* newScheduleTag) {
    if (calendar == nullptr) return R_E_INVALID_ARGUMENT;
    if (const RResult filled = EnsureUids(*calendar); filled != 0) return filled;
    AddMissingTimeZones(calendar);
    CStringA name = Text(fileName);
    if (name.IsEmpty()) {
        if (RIcsComponent* first = FirstItem(*calendar)) name = ServerFileNameForUid(first->GetUid());
    }
    calendar->BuildText();
    const char* text = calendar->GetText();
    if (!HoldsItems(text) || name.IsEmpty()) return R_E_BAD_FORMAT;
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) return R_E_INVALID_ARGUMENT;
    if (uploadedName != nullptr) *uploadedName = name;

    CStringA putEtag, putScheduleTag;
    const RResult result = server->PutResource(text, name, scheduleTag, etag, &putEtag, &putScheduleTag);
    MarkServerChanged();
    if (result == 412) {
        FetchItemLocked(name);
        return 412;
    }
    if (!RSucceeded(result)) return result;
    // The server's new tags: the next conditional upload must name them, else it fails with 412.
    // Those of the PUT's answer belong to our text; they are asked for only when it gave no ETag
    // (a server that changed the text as it stored it gives none), and a read may then already
    // see another client's change.
    if (newEtag != nullptr || newScheduleTag != nullptr) {
        CStringA etagRead = putEtag, scheduleRead;
        if (putEtag.IsEmpty()) {
            auto held = server->Lock();
            if (server->AddMultigetHref(ResourceHref(GetServerPath(), name)) == 0 && server->FetchMultiget() == 0) {
                RXmlMultigetResponse* response = nullptr;
                if (server->GetMultigetResponse(&response) == 0 && response != nullptr && response->GetCount() > 0) {
                    response->GetAt(0, nullptr, &scheduleRead, &etagRead, nullptr);
                }
            }
        }
        if (!putScheduleTag.IsEmpty()) scheduleRead = putScheduleTag;
        if (newEtag != nullptr) *newEtag = etagRead;
        if (newScheduleTag != nullptr) *newScheduleTag = scheduleRead;
    }
    return 0;
}

RResult ROrvaneCalendar::FetchItemFromServer(const char* fileName) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return FetchItemLocked(fileName);
}

RResult ROrvaneCalendar::FetchItemLocked(const char* fileName) {
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) return R_E_INVALID_ARGUMENT;
    if (!HasText(fileName)) return R_E_INVALID_ARGUMENT;
    // Copied out under the collection's lock; stored afterwards without it.
    std::vector<ResponseRecord> records;
    {
        auto held = server->Lock();
        RResult result = server->AddMultigetHref(ResourceHref(GetServerPath(), fileName));
        if (result == 0) result = server->FetchMultiget();
        if (result != 0) return result;
        RXmlMultigetResponse* response = nullptr;
        if (server->GetMultigetResponse(&response) != 0 || response == nullptr) return 0;
        records = response->Records();
    }
    for (const ResponseRecord& record : records) {
        // A calendar without any item is no text for the rows stored from this resource.
        if (record.href.IsEmpty() || !HoldsItems(record.data)) continue;
        const RResult stored = StoreItemFromTextLocked(record.href, record.scheduleTag, record.etag, record.data, false);
        if (stored != 0) return stored;
    }
    return 0;
}

RResult ROrvaneCalendar::StoreItemFromText(const char* serverFileName, const char* scheduleTag, const char* etag,
                                           const char* text, bool upload) {
    if (!upload) return StoreItemFromTextLocked(serverFileName, scheduleTag, etag, text, false);
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return StoreItemFromTextLocked(serverFileName, scheduleTag, etag, text, true);
}

RResult ROrvaneCalendar::StoreItemFromTextLocked(const char* serverFileName, const char* scheduleTag,
                                                 const char* etag, const char* text, bool upload) {
    auto parsed = MakeRef<RIcsCalendar>();
    if (const RResult result = parsed->Parse(Text(text)); result != 0) return result;
    CStringA name = Text(serverFileName);
    CStringA storedEtag = Text(etag);
    CStringA storedScheduleTag = Text(scheduleTag);
    if (upload) {
        const RResult result = UploadLocked(parsed.get(), nullptr, nullptr, nullptr, &name, &storedEtag,
                                            &storedScheduleTag);
        if (result != 0) return result;
    }
    return StoreParsed(name, storedScheduleTag, storedEtag, text, *parsed);
}

RResult ROrvaneCalendar::StoreParsed(const char* serverFileName, const char* scheduleTag, const char* etag,
                                     const char* text, RIcsCalendar& parsed) {
    RRef<ROrvaneDataManager> store = GetDataManager();
    RRef<ROrvaneAccount> account = GetAccount();
    if (!store || !account) return R_E_INVALID_ARGUMENT;
    return StoreParsedInto(*store, *account, GetRecord(), serverFileName, scheduleTag, etag, text, parsed);
}

RResult ROrvaneCalendar::StoreParsedInto(ROrvaneDataManager& store, const ROrvaneAccount& account,
                                         const CalendarRecord& record, const char* serverFileName,
                                         const char* scheduleTag, const char* etag, const char* text,
                                         RIcsCalendar& parsed) {
    // A deleted account's rows, files and folders are not made again.
    if (account.IsDeleted()) return R_E_SYNC_CANCELLED;
    // The file first: a row never names a file that is not there.
    const RResult written = store.WriteCalendarItemFile(Text(text), LastHrefComponent(serverFileName), record.guid,
                                                        record.parentAccountGuid);
    if (written != 0) return written;
    return store.ImportIcsCalendar(record.parentAccountGuid, record.guid, serverFileName, scheduleTag, etag, &parsed);
}

RResult ROrvaneCalendar::DeleteItemOnServer(const char* fileName) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!server || !store) return R_E_INVALID_ARGUMENT;
    RResult result = server->DeleteResource(fileName);
    if (RSucceeded(result)) {
        const CalendarRecord record = GetRecord();
        result = store->DeleteCalendarItemByServerFileName(fileName, record.guid, record.parentAccountGuid);
    }
    MarkServerChanged();
    return result;
}

RResult ROrvaneCalendar::MoveItemOnServer(const char* from, const char* to, ROrvaneCalendar* target) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    RRef<ROrvaneDataManager> store = GetDataManager();
    if (!store) return R_E_INVALID_ARGUMENT;
    RResult result = MoveResourceLocked(from, to, target);
    if (!RSucceeded(result)) return result;
    const CalendarRecord record = GetRecord();
    return store->DeleteCalendarItemByServerFileName(from, record.guid, record.parentAccountGuid);
}

RResult ROrvaneCalendar::MoveResourceOnServer(const char* from, const char* to, ROrvaneCalendar* target) {
    CalendarOperation operation(*this);
    if (!operation.Held()) return R_E_CALENDAR_BUSY;
    return MoveResourceLocked(from, to, target);
}

RResult ROrvaneCalendar::MoveResourceLocked(const char* from, const char* to, ROrvaneCalendar* target) {
    RRef<RCalDAVCalendar> server = AttachedServerCalendar();
    if (!server) return R_E_INVALID_ARGUMENT;
    const RResult result = server->MoveResource(from, to);
    MarkServerChanged();
    if (RSucceeded(result) && target != nullptr && target != this) target->MarkServerChanged();
    return result;
}

RResult ROrvaneCalendar::ImportIcsFile(const CStringW& path) {
    return ImportIcsFileWithProgress(path, ImportControl{}).result;
}

ImportOutcome ROrvaneCalendar::ImportIcsFileWithProgress(const CStringW& path, const ImportControl& control) {
    ImportOutcome outcome;
    const CStringA narrowPath = path.ToUtf8();
    struct stat info {};
    if (::stat(narrowPath, &info) != 0) return outcome.Failed(FileErrorOf(errno));
    if (!S_ISREG(info.st_mode)) return outcome.Failed(kErrorGenFailure);
    if (static_cast<long long>(info.st_size) > kMaxImportBytes) return outcome.Failed(R_E_FILE_TOO_LARGE);
    std::ifstream file(narrowPath.GetString(), std::ios::binary);
    if (!file) return outcome.Failed(FileErrorOf(errno));
    std::string text;
    text.resize(static_cast<std::size_t>(info.st_size));
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return outcome.Failed(kErrorGenFailure);
    text.resize(static_cast<std::size_t>(file.gcount()));
    // iCalendar text holds no zero byte; one would cut the text short, and an item with it.
    if (text.find('\0') != std::string::npos) return outcome.Failed(R_E_BAD_FORMAT);
    // Decoded once: the rows, the item files and the uploads are all made from this one text, so
    // a file that is not UTF-8 cannot leave the store and the server holding different bytes.
    text = FileBytesToUtf8(std::move(text));

    auto parsed = MakeRef<RIcsCalendar>();
    if (const RResult result = parsed->Parse(text.c_str()); result != 0) return outcome.Failed(result);
    if (const RResult filled = EnsureUids(*parsed); filled != 0) return outcome.Failed(filled);
    ImportGroups(*parsed, ToDoBlocks(text), control, outcome);
    return outcome;
}

void ROrvaneCalendar::ImportGroups(RIcsCalendar& parsed, const std::vector<std::string>& toDoTexts,
                                   const ImportControl& control, ImportOutcome& outcome) {
    // One resource per UID: a server keeps the components of one resource under one UID.
    std::vector<std::string> order;
    std::map<std::string, RRef<ImportedResource>> groups;
    auto groupOf = [&](RIcsComponent* item) -> ImportedResource& {
        const std::string uid = Text(item->GetUid());
        auto found = groups.find(uid);
        if (found == groups.end()) {
            order.push_back(uid);
            found = groups.emplace(uid, MakeRef<ImportedResource>()).first;
        }
        return *found->second;
    };
    for (int i = 0; i < parsed.GetEventCount(); ++i) groupOf(parsed.GetEventAt(i)).AddEvent(parsed.GetEventAt(i));
    // The texts belong to the to-dos in order; should the two ever disagree, no to-do takes one.
    const bool toDoTextsFit = static_cast<int>(toDoTexts.size()) == parsed.GetToDoCount();
    for (int i = 0; i < parsed.GetToDoCount(); ++i) {
        RIcsComponent* todo = parsed.GetToDoAt(i);
        ImportedResource& group = groupOf(todo);
        RIcsComponent::AddToDoChild(static_cast<RIcsToDo*>(todo), &group);
        if (toDoTextsFit) group.AddToDoText(toDoTexts[static_cast<std::size_t>(i)], todo->GetUid());
    }
    if (order.empty()) {
        outcome.result = R_E_BAD_FORMAT;
        return;
    }

    outcome.all = static_cast<int>(order.size());
    const auto stopWanted = [&] { return control.stop != nullptr && control.stop->load(std::memory_order_acquire); };
    int done = 0;
    for (const std::string& uid : order) {
        if (stopWanted() || StopRequested()) {
            outcome.stopped = true;
            break;
        }
        // The operation lock is taken for one item at a time, so a long import lets the
        // refreshes and the user's own changes of this calendar in between its items. An import
        // that can be stopped waits for the lock as long as it takes.
        std::optional<CalendarOperation> operation;
        do {
            operation.emplace(*this);
        } while (!operation->Held() && control.stop != nullptr && !stopWanted() && !StopRequested());
        if (!operation->Held()) {
            // Stopped while waiting; or, for an import that cannot be stopped, the calendar busy.
            outcome.stopped = control.stop != nullptr;
            if (!outcome.stopped && outcome.result == 0) outcome.result = R_E_CALENDAR_BUSY;
            break;
        }
        ImportedResource& group = *groups[uid];
        // The file's own zone definitions for the zones this group refers to.
        for (int z = 0; z < parsed.GetTimeZoneCount(); ++z) {
            RIcsTimeZone* zone = parsed.GetTimeZoneAt(z);
            if (zone != nullptr && group.GetTimeZoneIds().Contains(zone->GetTzid())) group.AddTimeZone(zone);
        }
        CStringA name, etag, scheduleTag;
        RResult result = UploadLocked(&group, nullptr, nullptr, nullptr, &name, &etag, &scheduleTag);
        if (result == 0) result = StoreParsed(name, scheduleTag, etag, group.GetText(), group);
        operation.reset();
        ++done;
        if (result == 0) {
            ++outcome.arrived;
        } else if (outcome.result == 0) {
            outcome.result = result;
        }
        if (control.progress) control.progress(done, outcome.all);
    }
}
