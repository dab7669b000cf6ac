#pragma once
// The iCalendar DATE / DATE-TIME value: wall-clock fields, the zone identifier exactly as
// written (never converted), and three text forms built once and cached.
// One thread only: the const text getters write their caches.
#include "foundation/ResultCodes.h"
#include "foundation/datetime/RDateTime.h"
#include "foundation/memory/RRecycled.h"
#include "ical/value/IcsStringSet.h"
#include "ical/value/IcsValueParsers.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class RIcsDateTime : public RRecycled {
public:
    static constexpr std::size_t kTzidSize = 128;  // at most 127 characters; longer ids are cut
    static constexpr std::size_t kDbTextSize = 32;
    // Room for ";TZID=" + the longest TZID + ":" + the date-time digits, and for the
    // digits followed by a TZID that begins with 'Z'.
    static constexpr std::size_t kIcsValueSize = 192;
    static constexpr std::size_t kCompactTextSize = 66;

    RIcsDateTime();
    RIcsDateTime(const RIcsDateTime&) = delete;
    RIcsDateTime& operator=(const RIcsDateTime&) = delete;
    virtual ~RIcsDateTime() = default;

    std::int32_t AddRef();
    // Drops one reference; the value deletes itself when none is left. Returns the count left.
    std::int32_t Release();
    std::int32_t RefCount() const;

    // From an iCalendar value such as 20201231 or 20201231T101530Z; tzid may be null.
    RResult SetFromIcs(const char* tzid, const char* text);
    // From a stored text (10, 16 or 19 characters); tzid may be null.
    RResult SetFromDbText(const char* storeText, const char* tzid);
    // Copies tzid (cut to 127 characters); null counts as empty.
    void SetTzid(const char* tzid);

    // A new value with the same fields and flags and empty caches; null when memory runs out.
    static RIcsDateTime* Clone(const RIcsDateTime& source);
    // Takes the fields and flags of `source` and empties the text caches, as Clone makes them.
    void CopyValueOf(const RIcsDateTime& source);

    // Three-way: the six date-time fields; then 1 when only the date-only flags differ
    // (whichever side is date-only); then the byte order of the TZIDs.
    static int Compare(const RIcsDateTime& a, const RIcsDateTime& b);

    // "YYYY-MM-DD", "YYYY-MM-DD HH:MM" (second 0) or "YYYY-MM-DD HH:MM:SS".
    const char* GetDbText() const;
    // The iCalendar value: [;TZID=zone]:YYYYMMDDTHHMMSS[Z] or :YYYYMMDD. The colon is chosen
    // by the first call only; the form is cached from then on.
    const char* GetIcsValue(bool withColon) const;
    // YYYYMMDD or YYYYMMDDTHHMMSS, never a zone.
    const char* GetCompactText() const;
    // The same text of any date and time, written into `out` without a cache.
    static void FormatCompactText(const RDateTime& dateTime, bool dateOnly, char (&out)[kCompactTextSize]);

    // Empties the three cached text forms; needed after changing fields of a value whose
    // text may already have been produced.
    void ClearTextCaches();

    RDateTime dateTime;
    // Terminated; the bytes after the terminator are never read, so a new value clears only the first.
    char tzid[kTzidSize];
    bool floating = true;
    bool dateOnly = false;

private:
    std::atomic<std::int32_t> refCount_{1};
    // Made on the first text asked for, so that values never written cost no room for it.
    // A form is made whole when its first byte is 0, so only the first bytes are cleared.
    struct TextCaches {
        TextCaches() { dbText[0] = icsValue[0] = compactText[0] = '\0'; }
        char dbText[kDbTextSize];
        char icsValue[kIcsValueSize];
        char compactText[kCompactTextSize];
    };
    // Null when memory runs out (the getters then give an empty text).
    TextCaches* Caches() const;
    mutable std::unique_ptr<TextCaches> caches_;
};
