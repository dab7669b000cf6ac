#pragma once
// One RRULE with the EXDATE values that apply to it. Steps a series one occurrence at a
// time on wall-clock fields; only a UTC UNTIL is compared as an instant, through the zone of the
// occurrences. Every forward scan is bounded, so a rule that cannot move forward ends its
// series instead of looping.
// Project headers first: <unistd.h>, which <atomic> pulls in, defines R_OK as a macro.
#include "foundation/ResultCodes.h"
#include "foundation/memory/RHeapBuffer.h"
#include "foundation/memory/RList.h"
#include "ical/recurrence/ExDateIndex.h"
#include "ical/recurrence/RIcsRuleList.h"
#include "ical/value/RIcsDateTime.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class RZoneRules;

// The FREQ text of a rule, kept as long as it is written. One thread only, like its rule.
class RIcsRuleText {
public:
    operator const char*() const { return text_.c_str(); }
    void Assign(const char* text, std::size_t maxChars);

private:
    std::string text_;
};

// One thread only: stepping keeps state (latest occurrence, generated count) in the rule, so a
// rule serves one expansion at a time; a caller that shares one takes its owner's lock.
class RIcsRecurrence : public RRecycled {
public:
    static constexpr int kFreqSize = 128;
    static constexpr int kPartTextMax = 127;  // longer part names and values are cut
    // No occurrence is produced beyond this year; it bounds every forward scan.
    static constexpr int kLastYear = 9999;
    // GetLastOccurrence gives up (null: no known end) after this many steps.
    static constexpr int kMaxLastOccurrenceSteps = 100000;

    RIcsRecurrence();
    RIcsRecurrence(const RIcsRecurrence&) = delete;
    RIcsRecurrence& operator=(const RIcsRecurrence&) = delete;
    virtual ~RIcsRecurrence();

    // The RRULE text (FREQ=...;...), built on first use; null when FREQ is empty.
    virtual const char* GetText();

    std::int32_t AddRef();
    std::int32_t Release();

    // Empties the EXDATE set and reads the parts of an RRULE value. R_E_END_OF_TEXT when the
    // text ends right after a delimiter (FREQ=DAILY;).
    RResult Parse(const char* rrule);
    // Parse over a value of known length, which need not be terminated.
    RResult ParseValue(std::string_view rrule);
    // One part by its exact (case-sensitive) name; unknown names are ignored.
    RResult SetPart(const char* name, const char* value);
    // A copy of one raw EXDATE value joins the set unless an equal one is there.
    RResult AddExDate(const char* value);
    // Stored EXDATE lines ("EXDATE:v" / "EXDATE;TZID=..:v", CR LF separated) into the set.
    RResult SetExDatesFromLines(const char* lines);
    // Sets UNTIL (COUNT becomes 0) and drops the cached text.
    void SetUntil(const RIcsDateTime& until);
    // True when the occurrence's compact text occurs inside any EXDATE value.
    bool IsExcluded(const RIcsDateTime* occurrence) const;

    // The occurrence after `current` (a new value owned by the caller), or null when the
    // series has ended or the rule cannot step. lowerBound may be null.
    RIcsDateTime* GetNextOccurrence(const RIcsDateTime* current, const RIcsDateTime* lowerBound);
    // The same step in place: `occurrence` becomes the occurrence after it, no value is made.
    // False, `occurrence` unchanged, when the series has ended or the rule cannot step.
    bool StepToNextOccurrence(RIcsDateTime& occurrence, const RIcsDateTime* lowerBound);
    // The rule's own UNTIL when set (not to be released by the caller); otherwise the
    // COUNT-th occurrence from `first` as a new value; null when the series has no known end.
    RIcsDateTime* GetLastOccurrence(const RIcsDateTime* first);

    // Rebuilds the cached RRULE text.
    RResult BuildText();

    std::int32_t interval = 1;
    std::int32_t count = 0;  // 0: no count
    RIcsDateTime* until = nullptr;
    // Upper case; a FREQ longer than kPartTextMax is cut.
    RIcsRuleText freq;
    // The calendar scale of the rule (RSCALE=HEBREW), as read; empty for the Gregorian default.
    // Kept and written back so that other clients step the rule in its own calendar.
    RIcsRuleText rscale;
    // Sorted ascending and followed by 0; a list is present when its first entry is not 0.
    // Each holds only the entries its part lists.
    RIcsRuleList byYearDay;
    RIcsRuleList byMonthDay;
    RIcsRuleList byMonth;
    RIcsRuleList byWeekNo;
    std::uint32_t byDayMask = 0;
    std::int32_t byDayOrdinal = 0;  // one ordinal for all listed days; negative counts from the end
    RIcsRuleList byHour;
    RIcsRuleList byMinute;
    RIcsRuleList bySecond;
    RIcsRuleList bySetPos;
    std::uint32_t wkstMask = 0;
    RList exDates;  // owned heap copies of raw EXDATE values; append only (AddTail), never unlink
    std::int32_t generatedCount = 1;
    RIcsDateTime* latest = nullptr;  // a copy of the occurrence produced last (one reference held)

private:
    static void SafeReleaseValue(RIcsDateTime*& value);
    // SetPart for a name of known length, the cached text already dropped.
    void ApplyPart(std::string_view name, const char* value);
    void DropText();
    // Makes `latest` a copy of the occurrence; false when memory runs out.
    bool ReplaceLatest(const RIcsDateTime& occurrence);
    // Moves `date` to the rule's next date-time after it; false when there is none in reach.
    bool StepForward(RDateTime& date, const RDateTime* lowerBound) const;
    bool NextYearly(RDateTime& date, const RDateTime* lowerBound) const;
    bool NextMonthly(RDateTime& date) const;
    bool NextWeekly(RDateTime& date) const;
    bool NextDaily(RDateTime& date) const;
    bool NextBySeconds(RDateTime& date, std::int64_t seconds) const;
    bool IsPastUntil(const RIcsDateTime& occurrence) const;
    // The UTC form of a zoned occurrence; false when its zone is unknown.
    bool OccurrenceInUtc(const RIcsDateTime& occurrence, RDateTime& utc) const;

    // Made on first use, so that rules without EXDATE values do not pay for it.
    ExDateIndex& Index() const;
    void FreeExDates();

    std::atomic<std::int32_t> refCount_{1};
    mutable std::unique_ptr<ExDateIndex> exDateIndex_;
    // The zone of the occurrences, for a UTC UNTIL; made on first use.
    struct UntilZone {
        std::string tzid;
        std::shared_ptr<const RZoneRules> rules;
    };
    mutable std::unique_ptr<UntilZone> untilZone_;
    RIcsDateTime stepped_;  // the candidate of the step under way
    char* cachedText_ = nullptr;
    RHeapBuffer* textBuffer_ = nullptr;
};
