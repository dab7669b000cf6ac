// Saving an item to the server: a pending move between calendars, then the upload of the
// item's whole resource (the master and every exception of its UID), built over the resource's
// text as the server last sent it so that what other clients wrote survives the edit.
#include "sync/ROrvaneCalendarItem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ical/model/RIcsEvent.h"
#include "store/ROrvaneDataManager.h"
#include "store/SeriesRows.h"
#include "sync/IcsResourceText.h"
#include "sync/RIcsResourceCalendar.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendar.h"

namespace {

bool SameRecurrence(const CStringA& a, const CStringA& b) {
    if (a.IsEmpty() || b.IsEmpty()) {
        return a.IsEmpty() && b.IsEmpty();
    }
    return RecurrenceIdDigits(a.Str()) == RecurrenceIdDigits(b.Str());
}

// "YYYYMMDD" of a day.
std::string DayDigits(const RDateTime& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
    return text;
}

// Whether a recurrence identifier falls on or after a day ("YYYYMMDD").
bool OnOrAfterDay(std::string_view recurrenceId, const std::string& day) {
    return RecurrenceIdDigits(recurrenceId).substr(0, 8) >= day;
}

// Puts `row` in place of the row with its recurrence identifier, or adds it.
void ReplaceOrAdd(std::vector<CalendarItemRecord>& rows, const CalendarItemRecord& row) {
    for (CalendarItemRecord& existing : rows) {
        if (SameRecurrence(existing.recurrenceID, row.recurrenceID)) {
            existing.Assign(row);
            return;
        }
    }
    CalendarItemRecord copy;
    copy.Assign(row);
    rows.push_back(std::move(copy));
}

// The path of a resource named `name` in the collection at `collection`.
CStringA ResourcePath(const CStringA& collection, const CStringA& name) {
    CStringA path = collection;
    if (path.IsEmpty() || path.Str().back() != '/') {
        path += "/";
    }
    return path + name;
}

}  // namespace

RResult ROrvaneCalendarItem::Save() {
    if (!calendar_ || !dataManager_) {
        return R_E_INVALID_ARGUMENT;
    }
    StampRevision();
    RResult result = R_OK;
    CStringA fileName = record_.serverFileName;
    std::optional<std::string> baseText = baseText_;
    CStringA baseUid = baseUid_.IsEmpty() ? record_.guid : baseUid_;
    std::vector<CalendarItemRecord> movedRows;
    // While a moved resource waits for its upload in the target: the calendar it came from.
    RRef<ROrvaneCalendar> movedFrom;

    // A pending move to another calendar of the account. The store follows only once the
    // server holds the edited resource in the target.
    if (!targetCalendarGuid_.IsEmpty() && std::strcmp(targetCalendarGuid_, record_.parentCalendarGuid) != 0 &&
        account_) {
        RRef<ROrvaneCalendar> target = account_->FindCalendarByGuid(targetCalendarGuid_);
        const CStringA targetPath = target ? target->GetServerPath() : CStringA();
        if (!record_.serverFileName.IsEmpty() && !targetPath.IsEmpty()) {
            if (isNew_) {
                result = SetCalendar(target.get());
            } else {
                // What the resource holds, read from the source calendar's store.
                if (!baseText) {
                    std::string text;
                    if (ReadCalendarItemFile(dataManager_.get(), fileName, record_.parentCalendarGuid,
                                             record_.parentAccountGuid, text) == R_OK) {
                        baseText = std::move(text);
                    }
                }
                (void)ReadSeriesRows(dataManager_.get(), record_.guid, record_.parentCalendarGuid,
                                     record_.parentAccountGuid, movedRows);
                result = calendar_->MoveResourceOnServer(record_.serverFileName,
                                                         ResourcePath(targetPath, record_.serverFileName),
                                                         target.get());
                if (RSucceeded(result)) {
                    movedFrom = calendar_;
                    result = SetCalendar(target.get());
                }
            }
        }
    }
    if (result != R_OK) {
        return result;
    }
    // A step that fails after the move takes the resource back, so that the server holds it
    // where the store still has it.
    auto failed = [this, &movedFrom](RResult failure) {
        if (movedFrom) {
            (void)calendar_->MoveItemOnServer(record_.serverFileName,
                                              ResourcePath(movedFrom->GetServerPath(), record_.serverFileName),
                                              movedFrom.get());
            (void)SetCalendar(movedFrom.get());
        }
        return failure;
    };

    // Every event of the resource: the stored rows of the UID with this item's own record in
    // its place, and the changes of the series waiting for the store.
    const CStringA calendarGuid = calendar_->GetGuid();
    const CStringA accountGuid = record_.parentAccountGuid;
    std::vector<CalendarItemRecord> rows;
    if (movedFrom) {
        rows = std::move(movedRows);
        for (CalendarItemRecord& row : rows) {
            row.parentCalendarGuid = calendarGuid;
        }
    } else {
        (void)ReadSeriesRows(dataManager_.get(), record_.guid, calendarGuid, accountGuid, rows);
    }
    ReplaceOrAdd(rows, record_);
    for (const CalendarItemRecord& exception : carriedExceptions_) {
        ReplaceOrAdd(rows, exception);
    }
    const std::string endDay = exceptionsEndBefore_ ? DayDigits(*exceptionsEndBefore_) : std::string();
    if (!endDay.empty()) {
        std::erase_if(rows, [&endDay](const CalendarItemRecord& row) {
            return !row.recurrenceID.IsEmpty() && OnOrAfterDay(row.recurrenceID.Str(), endDay);
        });
    }
    std::erase_if(rows, [this](const CalendarItemRecord& row) {
        return !row.recurrenceID.IsEmpty() && IsRemovedException(row.recurrenceID.Str());
    });
    const CalendarItemRecord* master = nullptr;
    for (const CalendarItemRecord& row : rows) {
        if (row.recurrenceID.IsEmpty()) {
            master = &row;
        }
    }
    CStringA scheduleTag = record_.scheduleTag;
    CStringA etag = record_.etag;
    if (IsException()) {
        if (master != nullptr) {
            // The exception travels in its master's resource, under the master's name and tags.
            fileName = master->serverFileName;
            scheduleTag = master->scheduleTag;
            etag = master->etag;
        } else {
            // No master stored: this event alone, under its own name and tags.
            std::erase_if(rows, [this](const CalendarItemRecord& row) {
                return !SameRecurrence(row.recurrenceID, record_.recurrenceID);
            });
        }
    }

    // The received text of the resource.
    if (!baseText) {
        std::string text;
        if (ReadCalendarItemFile(dataManager_.get(), fileName, calendarGuid, accountGuid, text) == R_OK) {
            baseText = std::move(text);
        }
    }
    const bool ownResource = baseUid == record_.guid;
    auto resource = MakeRef<RIcsResourceCalendar>(baseText ? SplitIcsResource(*baseText) : IcsResourceParts(),
                                                  baseUid.Str(), ownResource);
    const IcsResourceParts& base = resource->Base();
    const IcsRawEvent* masterBlock = base.FindEvent(baseUid.Str(), "");
    std::vector<const IcsRawEvent*> used;
    for (const CalendarItemRecord& row : rows) {
        RRef<ROrvaneCalendarItem> rowItem;
        ROrvaneCalendarItem* source = this;
        if (!SameRecurrence(row.recurrenceID, record_.recurrenceID)) {
            rowItem = MakeRef<ROrvaneCalendarItem>();
            rowItem->Init(dataManager_.get(), account_.get(), calendar_.get(), &row);
            source = rowItem.get();
        }
        RRef<RIcsEvent> event = RRef<RIcsEvent>::Adopt(source->BuildIcsEvent());
        if (!event) {
            return failed(R_E_OUT_OF_MEMORY);
        }
        const IcsRawEvent* replaces = base.FindEvent(baseUid.Str(), row.recurrenceID.Str());
        bool fromMaster = false;
        if (replaces == nullptr && !row.recurrenceID.IsEmpty() && masterBlock != nullptr) {
            // A new exception starts from its master's text, without the series' rules.
            replaces = masterBlock;
            fromMaster = true;
        }
        if (replaces != nullptr && !fromMaster) {
            used.push_back(replaces);
        }
        // An event stored without an end (it had a DURATION) keeps what it was written with.
        const bool writeEnd = !row.dtEnd.IsEmpty();
        if (const RResult added = resource->AddMergedEvent(event.get(), replaces, writeEnd, fromMaster);
            added != R_OK) {
            return failed(added);
        }
    }
    if (ownResource) {
        // Received events of this UID that no row stands for stay as they were, unless the
        // series no longer reaches them.
        for (const IcsRawEvent& event : base.events) {
            if (event.uid != baseUid.Str() || std::find(used.begin(), used.end(), &event) != used.end()) {
                continue;
            }
            if (!endDay.empty() && !event.recurrenceId.empty() && OnOrAfterDay(event.recurrenceId, endDay)) {
                continue;
            }
            if (!event.recurrenceId.empty() && IsRemovedException(event.recurrenceId)) {
                continue;
            }
            if (event.recurrenceId.empty() && master != nullptr) {
                continue;  // replaced by the stored master
            }
            resource->KeepEvent(&event);
        }
    }

    CStringA newEtag;
    CStringA newScheduleTag;
    result = calendar_->UploadItem(resource.get(), fileName, scheduleTag, etag, &newEtag, &newScheduleTag);
    if (!RSucceeded(result)) {
        return failed(result);
    }
    result = R_OK;
    // The file keeps exactly what the server now holds, for the next edit to start from.
    (void)dataManager_->WriteCalendarItemFile(resource->GetText(), fileName, calendarGuid, accountGuid);
    if (movedFrom) {
        // The moved resource's rows as uploaded go to the target, then leave the source.
        for (CalendarItemRecord& row : rows) {
            row.etag = newEtag;
            row.scheduleTag = newScheduleTag;
            if (dataManager_->AddCalendarItem(row.guid, row.recurrenceID, calendarGuid, accountGuid, row) ==
                R_E_ALREADY_EXISTS) {
                (void)dataManager_->UpdateCalendarItem(row.guid, row.recurrenceID, calendarGuid, accountGuid, row);
            }
        }
        (void)dataManager_->DeleteCalendarItemByServerFileName(record_.serverFileName, movedFrom->GetGuid(),
                                                               accountGuid);
    }
    // The server's new tags go to every stored row of the resource, so that the next edit's
    // precondition names the resource as it is now.
    if (!newEtag.IsEmpty() || !newScheduleTag.IsEmpty()) {
        std::vector<CalendarItemRecord> stored;
        (void)ReadSeriesRows(dataManager_.get(), record_.guid, calendarGuid, accountGuid, stored);
        for (CalendarItemRecord& row : stored) {
            row.etag = newEtag;
            row.scheduleTag = newScheduleTag;
            (void)dataManager_->UpdateCalendarItem(row.guid, row.recurrenceID, calendarGuid, accountGuid, row);
        }
        record_.etag = newEtag;
        record_.scheduleTag = newScheduleTag;
        for (CalendarItemRecord& exception : carriedExceptions_) {
            exception.etag = newEtag;
            exception.scheduleTag = newScheduleTag;
        }
    }
    if (baseText_) {
        // From now on the series has a resource of its own.
        baseText_.reset();
        baseUid_ = "";
    }
    return result;
}

RResult ROrvaneCalendarItem::SaveSplit(ROrvaneCalendarItem& earlier) {
    if (!calendar_) {
        return R_E_INVALID_ARGUMENT;
    }
    RResult result = Save();
    if (result != R_OK) {
        return result;
    }
    result = earlier.Save();
    if (result != R_OK) {
        // The earlier series still holds the later occurrences: the copy of them goes again.
        (void)calendar_->DeleteItemOnServer(record_.serverFileName);
        return result;
    }
    // Stored in the same order: the new series before the earlier one gives up its exceptions.
    result = StoreIfModified();
    const RResult stored = earlier.StoreIfModified();
    return result != R_OK ? result : stored;
}
