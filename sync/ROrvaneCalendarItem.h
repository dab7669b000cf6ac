#pragma once
// The editable object over one stored event (a CalendarItems row): the event dialog reads and
// changes an item through it, the month view keeps one per drawn occurrence. It converts the
// row's stored forms (escaped UTF-8 text, stored date-time texts) to what the user interface
// needs and back, records whether anything changed, stores the row, uploads the event and makes
// the changes to repeating series (an exception for one occurrence, a split, an end).
//
// Threads: UI thread only; the account, calendar and store it holds are shared objects.
#include "foundation/ResultCodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RRef.h"
#include "foundation/memory/RefCounted.h"
#include "ical/model/RIcsAttendee.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/string/CString.h"
#include "store/records/CalendarItemRecord.h"

class ROrvaneAccount;
class ROrvaneCalendar;
class ROrvaneDataManager;
class RIcsEvent;

// Where the month view drew an item.
struct RItemRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

class ROrvaneCalendarItem : public RRefCounted {
public:
    ROrvaneCalendarItem();
    ~ROrvaneCalendarItem() override;

    virtual RResult CreateNew(ROrvaneDataManager* dataManager, ROrvaneAccount* account, ROrvaneCalendar* calendar);
    // Holds each non-null object given (replacing the one held); a non-null record is copied.
    virtual RResult Init(ROrvaneDataManager* dataManager, ROrvaneAccount* account, ROrvaneCalendar* calendar,
                         const CalendarItemRecord* record);
    // STG_E_PATHNOTFOUND when the account is null or does not hold the record's calendar.
    virtual RResult InitFromRecord(ROrvaneDataManager* dataManager, ROrvaneAccount* account,
                                   const CalendarItemRecord& record);
    virtual RResult SetCalendar(ROrvaneCalendar* calendar);
    virtual bool IsNew() const { return isNew_; }
    virtual bool IsModified() const { return modified_; }
    virtual RResult SetTargetCalendar(const char* guid);
    virtual RResult StoreIfModified();
    virtual RResult Save();
    // A new event (count 1, the caller's) built from the record; null when out of memory.
    virtual RIcsEvent* BuildIcsEvent();
    virtual CStringA GetGuid() const { return record_.guid; }
    virtual CStringA GetServerFileName() const { return record_.serverFileName; }
    virtual ROrvaneCalendar* GetCalendar() const { return calendar_.get(); }
    virtual ROrvaneAccount* GetAccount() const { return account_.get(); }
    virtual double GetDurationDays();
    virtual bool IsAllDay();

    virtual CStringA GetETag() const { return record_.etag; }
    virtual void SetETag(const char* etag);
    virtual CStringA GetScheduleTag() const { return record_.scheduleTag; }
    virtual void SetScheduleTag(const char* scheduleTag);
    virtual CStringW GetSummary() const { return IcsTextToWide(record_.summary); }
    virtual void SetSummary(const CStringW& summary);
    virtual CStringW GetLocation() const { return IcsTextToWide(record_.location); }
    virtual void SetLocation(const CStringW& location);
    virtual CStringW GetDescription() const { return IcsTextToWide(record_.description); }
    virtual void SetDescription(const CStringW& description);
    virtual CStringA GetURL() const { return record_.url; }
    virtual void SetURL(const char* url);
    virtual std::int32_t GetSequence() const { return record_.sequence; }
    virtual void SetSequence(std::int32_t sequence);

    // The cached start and end (built on first use; the item keeps them). Null when out of memory.
    virtual RIcsDateTime* GetDTStart();
    virtual void SetDTStart(const RIcsDateTime* value);
    virtual RIcsDateTime* GetDTEnd();
    virtual void SetDTEnd(const RIcsDateTime* value);

    virtual CStringA GetDTStartOlsonTZ() const { return record_.dtStartOlsonTZ; }
    virtual CStringA GetDTEndOlsonTZ() const { return record_.dtEndOlsonTZ; }
    virtual CStringA GetWhiteRabbitTimeZone() const { return record_.whiteRabbitTimeZone; }
    virtual bool IsRecurring() const { return !record_.rrule.IsEmpty(); }
    virtual CStringA GetRRule() const { return record_.rrule; }
    // Ignored on an exception item.
    virtual void SetRRule(const char* rrule);
    // The parsed rule with the item's exception dates; null when the item does not repeat.
    virtual RIcsRecurrence* GetRecurrence();
    virtual bool IsException() const { return !record_.recurrenceID.IsEmpty(); }
    virtual CStringA GetRecurrenceID() const { return record_.recurrenceID; }
    // The master of an exception (count 1, the caller's), or null.
    virtual ROrvaneCalendarItem* GetMasterItem();
    // A new item (count 1) for one changed occurrence of this series, or null.
    virtual ROrvaneCalendarItem* CreateOccurrenceException(const RIcsDateTime& occurrence);
    // Ends this series before `from` and returns its continuation from `from` on as a new
    // series (count 1), or null when this item does not repeat.
    virtual ROrvaneCalendarItem* SplitSeries(const RIcsDateTime& from);
    // Saves and stores this continuation made by `earlier`->SplitSeries together with the
    // shortened `earlier`: this new resource is created first, then `earlier` is shortened;
    // when that fails this one is removed again. So the server and the store hold every
    // occurrence after any failed step. The first failure is returned.
    virtual RResult SaveSplit(ROrvaneCalendarItem& earlier);
    // Ends the series before `day` (no occurrence on or after it).
    virtual void EndSeriesBefore(const RIcsDateTime& day);
    virtual void AddExDate(const RIcsDateTime* value);
    // The occurrence a recurrence identifier of this series names, in the form of the series'
    // start (date, floating, zoned or UTC); null when the item does not repeat.
    RRef<RIcsDateTime> OccurrenceOf(const CStringA& recurrenceId);
    // Removes one changed occurrence from the series: its exception goes and its occurrence is
    // excluded, both with the next save (one upload) and store.
    virtual void RemoveException(const CStringA& recurrenceId);

    virtual RIcsDateTime* GetDTStamp();
    virtual RIcsDateTime* GetDTCreated();
    virtual RIcsDateTime* GetDTLastModified();

    virtual RIcsDateTime* GetOccurrenceStart();
    virtual RIcsDateTime* SetOccurrenceStart(const RDateTime* value);
    virtual RIcsDateTime* GetOccurrenceEnd();
    virtual RIcsDateTime* SetOccurrenceEnd(const RDateTime* value);
    virtual const std::uint8_t* GetOccurrenceSortKey() const { return occurrenceSortKey_; }
    virtual void SetOccurrenceSortKey(const std::uint8_t key[16]);

    virtual int GetAttendeeCount();
    virtual RIcsAttendee* GetAttendeeAt(int index);

    virtual const RItemRect& GetHitRect() const { return hitRect_; }
    virtual void SetHitRect(const RItemRect& rect);

    // The whole record (read-only).
    const CalendarItemRecord& Record() const { return record_; }
    ROrvaneDataManager* GetDataManager() const { return dataManager_.get(); }

    // Stored text to UTF-16: the iCalendar TEXT escapes \n \N (line break, CR LF), \t (TAB),
    // \, \; and \\ are undone; other backslash pairs stay as they are.
    static CStringW IcsTextToWide(const CStringA& stored);
    // UTF-16 to stored text: backslash, ';' and ',' are escaped, every line break (CR LF, lone
    // CR, lone LF, U+2028, U+2029) becomes \n and TAB becomes \t, so no text typed by a user can
    // end or break a property line.
    static CStringA WideToIcsText(const CStringW& text);
    // The stored text as iCalendar TEXT carries it to a server or an item file: the stored \t
    // becomes the TAB itself (TEXT has no \t escape); every other pair stays as it is.
    static CStringA StoredTextToIcs(const CStringA& stored);
    // The current UTC time as a stored text (seconds left out when 0).
    static CStringA FormatUtcNow();
    // The start of the next hour of local time.
    static RDateTime GetNextFullHour();

private:
    friend class ItemSaveRun;

    // Rebuilds a cache from a stored text (or, for an item without an end, from the start).
    RIcsDateTime* CachedValue(RRef<RIcsDateTime>& cache, const CStringA& text, const char* tzid);
    void SetStoredDate(RRef<RIcsDateTime>& cache, const RIcsDateTime& value, CStringA& dbText, CStringA& tzText,
                       CStringA& olsonText);
    void ParseAttendees();
    void SetText(CStringA& field, const CStringA& value);
    // The rule's text with UNTIL at the last moment before `day`, in the form the series' start
    // needs (date, floating local time or UTC instant); empty when the item does not repeat.
    CStringA RuleEndingBefore(const RIcsDateTime& day);
    // Makes the event a new revision for an upload: DTSTAMP (and LAST-MODIFIED when it has one)
    // now, and a higher SEQUENCE after a change of its times or rule.
    void StampRevision();
    // Whether a recurrence identifier names an exception removed by RemoveException.
    bool IsRemovedException(std::string_view recurrenceId) const;

    bool isNew_ = false;
    RRef<ROrvaneDataManager> dataManager_;
    RRef<ROrvaneAccount> account_;
    RRef<ROrvaneCalendar> calendar_;
    bool modified_ = false;
    // The start, end, rule or excluded dates changed since the last upload.
    bool scheduleChanged_ = false;
    CalendarItemRecord record_;
    RRef<RIcsDateTime> start_;
    RRef<RIcsDateTime> end_;
    RRef<RIcsDateTime> stamp_;
    RRef<RIcsDateTime> created_;
    RRef<RIcsDateTime> lastModified_;
    RRef<RIcsDateTime> occurrenceStart_;
    RRef<RIcsDateTime> occurrenceEnd_;
    std::uint8_t occurrenceSortKey_[16] = {};
    RRef<RIcsRecurrence> recurrence_;
    CStringA targetCalendarGuid_;
    std::vector<RRef<RIcsAttendee>> attendees_;  // sorted by CN, equal names in insertion order
    RItemRect hitRect_;

    // Series changes waiting for the next store and save:
    // the exceptions on or after this day no longer belong to this series (split or end);
    std::optional<RDateTime> exceptionsEndBefore_;
    // for a series split off another: the exception rows it took over (already re-keyed), and
    // the resource and UID whose text it continues, so that properties of other clients stay.
    std::vector<CalendarItemRecord> carriedExceptions_;
    // the exceptions removed from the series (by recurrence identifier);
    std::vector<CStringA> removedExceptions_;
    std::optional<std::string> baseText_;
    CStringA baseUid_;
};
