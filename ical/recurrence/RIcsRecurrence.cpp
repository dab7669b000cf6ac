#include "ical/recurrence/RIcsRecurrence.h"

#include "ical/value/IcsStringSet.h"
#include "ical/value/IcsValueParsers.h"
#include "ical/timezone/ZoneResolver.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// At most this many excluded occurrences are skipped in one step.
constexpr int kMaxSkippedOccurrences = 100000;

bool IsDelimiter(char c) { return c == ':' || c == ';' || c == '='; }

// A part name or value, cut to at most RIcsRecurrence::kPartTextMax characters.
using PartText = char[RIcsRecurrence::kPartTextMax + 1];

// Per character: what it becomes in a part, or kEnds (the part ends) or kDropped (a blank).
constexpr char kEnds = '\0';
constexpr char kDropped = '\x01';
constexpr auto kRead = [] {
    std::array<char, 256> read{};
    for (int c = 0; c < 256; ++c) {
        read[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    read[' '] = read['\t'] = kDropped;
    read[':'] = read[';'] = read['='] = kEnds;
    return read;
}();
// Characters a part keeps as they are: no letter to raise, blank, delimiter or NUL.
constexpr auto kKept = [] {
    std::array<bool, 256> kept{};
    for (int c = 0; c < 256; ++c) {
        kept[c] = kRead[c] == static_cast<char>(c) && c != '\0';
    }
    kept['\x01'] = true;
    return kept;
}();

// A part written as ReadPartText would read it (upper case, no blanks, within the limit), viewed
// in the text and passed over; empty, the position unchanged, for any other part.
std::string_view PlainPart(const char*& position, const char* end) {
    const char* at = position;
    const char* const limit = end - at > RIcsRecurrence::kPartTextMax ? at + RIcsRecurrence::kPartTextMax : end;
    while (at != limit && kKept[static_cast<unsigned char>(*at)]) {
        ++at;
    }
    if (at != end && kRead[static_cast<unsigned char>(*at)] != kEnds) {
        return {};
    }
    const std::string_view part(position, static_cast<std::size_t>(at - position));
    position = at;
    return part;
}

// Reads up to the next delimiter: names and values compare without case, so letters are read in
// upper case, and blanks around list items are dropped (BYDAY=MO, TU). A text longer than
// kPartTextMax is cut to that many characters and, when it is a list, to its last whole entry,
// so that no entry is cut in half. Gives the length of the text in `out`.
std::size_t ReadPartText(const char*& position, const char* end, PartText& out) {
    // Most parts are written in upper case without blanks: copied as they are, up to the limit.
    const char* at = position;  // a local, which writes to `out` cannot change
    const char* const limit = end - at > RIcsRecurrence::kPartTextMax ? at + RIcsRecurrence::kPartTextMax : end;
    char* kept = out;
    while (at != limit && kKept[static_cast<unsigned char>(*at)]) {
        *kept++ = *at++;
    }
    if (at == end || kRead[static_cast<unsigned char>(*at)] == kEnds) {
        const auto length = static_cast<std::size_t>(kept - out);
        out[length] = '\0';
        position = at;
        return length;
    }
    at = position;  // a letter to raise, a blank or a text over the limit: read again in full
    std::size_t length = 0;  // blanks not counted
    for (; at != end; ++at) {
        const char c = kRead[static_cast<unsigned char>(*at)];
        if (static_cast<unsigned char>(c) <= static_cast<unsigned char>(kDropped)) [[unlikely]] {
            if (c == kEnds) {
                break;
            }
            if (*at == ' ' || *at == '\t') {
                continue;
            }
        }
        // Past the limit the last slot takes the surplus; it is overwritten by the terminator.
        out[length < RIcsRecurrence::kPartTextMax ? length : RIcsRecurrence::kPartTextMax] = c;
        ++length;
    }
    if (length > RIcsRecurrence::kPartTextMax) {
        length = RIcsRecurrence::kPartTextMax;
        for (std::size_t i = length; i > 0; --i) {
            if (out[i - 1] == ',') {
                length = i - 1;
                break;
            }
        }
    }
    out[length] = '\0';
    position = at;
    return length;
}

// Reads an integer list of at most `max` values into a rule list, replacing what an earlier
// part of the same name left there; zero entries (invalid in a rule) are dropped.
void ReadList(const char* value, RIcsRuleList& list, int max) {
    constexpr int kLongestList = 366;  // BYYEARDAY and BYSETPOS
    std::int32_t values[kLongestList];
    const int read = ReadIntList(value, values, std::min(max, kLongestList));
    list.Assign(values, static_cast<std::size_t>(read));
}

}  // namespace

void RIcsRuleText::Assign(const char* text, std::size_t maxChars) { text_.assign(text, strnlen(text, maxChars)); }

RIcsRecurrence::RIcsRecurrence() { exDates.compare = CompareSetStrings; }

ExDateIndex& RIcsRecurrence::Index() const {
    if (!exDateIndex_) {
        exDateIndex_ = std::make_unique<ExDateIndex>();
    }
    exDateIndex_->Sync(exDates);
    return *exDateIndex_;
}

void RIcsRecurrence::FreeExDates() {
    if (exDateIndex_) {
        exDateIndex_->Reset();
    }
    for (RListNode* node = exDates.head; node != nullptr; node = node->next) {
        std::free(node->payload);
    }
    FreeListNodes(&exDates);
    exDates.compare = CompareSetStrings;
}

RIcsRecurrence::~RIcsRecurrence() {
    FreeExDates();
    SafeReleaseValue(until);
    SafeReleaseValue(latest);
    DropText();
}

void RIcsRecurrence::SafeReleaseValue(RIcsDateTime*& value) {
    if (value != nullptr) {
        value->Release();
        value = nullptr;
    }
}

std::int32_t RIcsRecurrence::AddRef() { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }

std::int32_t RIcsRecurrence::Release() {
    // Only the holder of the last reference can see 1, and no other thread can add to a count
    // it holds no reference to: the last release needs no locked read-modify-write.
    if (refCount_.load(std::memory_order_acquire) == 1) {
        delete this;
        return 0;
    }
    const std::int32_t left = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left > 0) {
        return left;
    }
    delete this;
    return 0;
}

RResult RIcsRecurrence::Parse(const char* rrule) {
    return ParseValue(rrule != nullptr ? std::string_view(rrule) : std::string_view());
}

RResult RIcsRecurrence::ParseValue(std::string_view rrule) {
    FreeExDates();
    DropText();
    // Empty parts (a trailing ';' as real clients write it) are ignored. A NUL ends the text.
    const char* at = rrule.data();
    const char* const end = at + rrule.size();
    PartText name;
    PartText value;
    while (at != end && *at != '\0') {
        std::string_view partName = PlainPart(at, end);  // most names need no copy
        if (partName.empty()) {
            partName = std::string_view(name, ReadPartText(at, end, name));
        }
        value[0] = '\0';
        if (at != end && *at == '=') {
            ++at;
            ReadPartText(at, end, value);
        }
        if (!partName.empty() && value[0] != '\0') {
            ApplyPart(partName, value);
        }
        if (at != end && *at != '\0') {
            ++at;  // ';', ':' or a stray '=' after a value
        }
    }
    return 0;
}

RResult RIcsRecurrence::SetPart(const char* name, const char* value) {
    if (name == nullptr || value == nullptr) {
        return 0;
    }
    DropText();
    ApplyPart(name, value);
    return 0;
}

void RIcsRecurrence::ApplyPart(std::string_view part, const char* value) {
    if (part == "FREQ") {
        freq.Assign(value, kPartTextMax);
    } else if (part == "RSCALE") {
        rscale.Assign(value, kPartTextMax);
    } else if (part == "COUNT") {
        ParseIntList(value, &count, 1);
    } else if (part == "INTERVAL") {
        ParseIntList(value, &interval, 1);
    } else if (part == "BYMONTH") {
        ReadList(value, byMonth, 12);
    } else if (part == "BYDAY") {
        byDayOrdinal = 0;
        ParseWeekdays(&byDayOrdinal, value, &byDayMask);
    } else if (part == "BYHOUR") {
        ReadList(value, byHour, 24);
    } else if (part == "BYMINUTE") {
        ReadList(value, byMinute, 60);
    } else if (part == "BYSECOND") {
        ReadList(value, bySecond, 60);
    } else if (part == "BYYEARDAY") {
        ReadList(value, byYearDay, 366);
    } else if (part == "BYMONTHDAY") {
        ReadList(value, byMonthDay, 31);
    } else if (part == "BYWEEKNO") {
        ReadList(value, byWeekNo, 52);
    } else if (part == "BYSETPOS") {
        ReadList(value, bySetPos, 366);
    } else if (part == "WKST") {
        ParseWeekdays(nullptr, value, &wkstMask);
    } else if (part == "UNTIL") {
        const std::size_t length = strnlen(value, RIcsDateTime::kTzidSize);
        RDateTime parsed;
        if (!ReadIcsDateTimeText(value, &parsed)) {
            return;  // no date: the rule stays unbounded (a garbled end would come back as another)
        }
        RIcsDateTime* value_ = new (std::nothrow) RIcsDateTime;
        if (value_ == nullptr) {
            return;
        }
        value_->dateOnly = !(length > 8 && value[8] == 'T');
        value_->dateTime = parsed;
        // A UTC end stays UTC: it is an instant, and is written back as one.
        if (!value_->dateOnly && value[length - 1] == 'Z') {
            value_->SetTzid("Z");
        }
        SafeReleaseValue(until);
        until = value_;
    }
}

RResult RIcsRecurrence::AddExDate(const char* value) {
    if (value == nullptr) {
        return 0;
    }
    // The index keeps the set unique without a walk of the whole list per value.
    if (Index().HasRaw(value)) {
        return 0;
    }
    char* copy = strdup(value);
    if (copy == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    const RResult result = exDates.AddTail(copy);
    if (result != 0) {
        std::free(copy);
    }
    return result;
}

RResult RIcsRecurrence::SetExDatesFromLines(const char* lines) {
    const char* at = lines != nullptr ? lines : "";
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; };
    while (true) {
        while (*at != '\0' && (isSpace(*at) || IsDelimiter(*at))) {
            ++at;
        }
        if (*at == '\0') {
            return 0;
        }
        while (*at != '\0' && !IsDelimiter(*at)) {  // the property name
            ++at;
        }
        if (*at != '\0') {
            ++at;
        }
        // The rest of the line, unfolding a line break followed by a space.
        std::string value;
        while (*at != '\0') {
            if ((*at == '\r' || *at == '\n') && at[1] == ' ') {
                at += 2;
                continue;
            }
            if (*at == '\r' || *at == '\n') {
                break;
            }
            value.push_back(*at++);
        }
        if (!value.empty()) {
            if (const RResult result = AddExDate(value.c_str()); result != 0) {
                return result;
            }
        }
    }
}

void RIcsRecurrence::SetUntil(const RIcsDateTime& value) {
    if (until != nullptr) {
        until->dateTime = value.dateTime;
        until->ClearTextCaches();
    } else {
        until = RIcsDateTime::Clone(value);
    }
    count = 0;
    DropText();
}

bool RIcsRecurrence::IsExcluded(const RIcsDateTime* occurrence) const {
    if (occurrence == nullptr || exDates.head == nullptr) {
        return false;
    }
    // A look-up in the index, so that skipping a long run of excluded occurrences stays linear.
    char compact[RIcsDateTime::kCompactTextSize];
    RIcsDateTime::FormatCompactText(occurrence->dateTime, occurrence->dateOnly, compact);
    return Index().Names(compact, occurrence->dateOnly);
}

bool RIcsRecurrence::OccurrenceInUtc(const RIcsDateTime& occurrence, RDateTime& utc) const {
    if (occurrence.tzid[0] == 'Z' && occurrence.tzid[1] == '\0') {
        utc = occurrence.dateTime;
        return true;
    }
    // The occurrence's zone is looked up once per rule, not once per step.
    if (!untilZone_ || untilZone_->tzid != occurrence.tzid) {
        untilZone_ = std::make_unique<UntilZone>();
        untilZone_->tzid = occurrence.tzid;
        untilZone_->rules = ResolveZoneRules(CStringW::FromUtf8(occurrence.tzid));
    }
    if (!untilZone_->rules) {
        return false;  // a zone the program does not know: wall-clock comparison
    }
    const RDateTime& d = occurrence.dateTime;
    if (d.year < 1601 || d.year > 30827 || d.second < 0) {
        return false;
    }
    SYSTEMTIME local{static_cast<WORD>(d.year), d.month, 0, d.day, d.hour, d.minute, static_cast<WORD>(d.second), 0};
    SYSTEMTIME converted{};
    if (!untilZone_->rules->LocalToUtc(local, converted)) {
        return false;
    }
    utc.FromSystemTime(&converted);
    return true;
}

bool RIcsRecurrence::IsPastUntil(const RIcsDateTime& occurrence) const {
    if (until == nullptr) {
        return false;
    }
    // A UTC end is an instant: a zoned occurrence is compared as the instant it names.
    if (std::strcmp(until->tzid, "Z") == 0 && !until->dateOnly && !occurrence.dateOnly && occurrence.tzid[0] != '\0') {
        RDateTime utc;
        if (OccurrenceInUtc(occurrence, utc)) {
            return CompareDateTime(utc, until->dateTime) > 0;
        }
    }
    // UNTIL is inclusive; a date-only UNTIL takes in the whole of its day.
    if (until->dateOnly && !occurrence.dateOnly) {
        RDateTime day = occurrence.dateTime;
        day.hour = day.minute = 0;
        day.second = 0;
        return CompareDateTime(day, until->dateTime) > 0;
    }
    return CompareDateTime(occurrence.dateTime, until->dateTime) > 0;
}

bool RIcsRecurrence::ReplaceLatest(const RIcsDateTime& occurrence) {
    // The rule's own copy is rewritten while nobody else holds it.
    if (latest != nullptr && latest->RefCount() == 1) {
        latest->CopyValueOf(occurrence);
        return true;
    }
    RIcsDateTime* copy = RIcsDateTime::Clone(occurrence);
    SafeReleaseValue(latest);
    latest = copy;
    return copy != nullptr;
}

bool RIcsRecurrence::StepToNextOccurrence(RIcsDateTime& occurrence, const RIcsDateTime* lowerBound) {
    const RIcsDateTime* current = &occurrence;
    for (int skipped = 0; skipped < kMaxSkippedOccurrences; ++skipped) {
        if (IsPastUntil(*current)) {
            return false;
        }
        // Stepping from before the occurrence produced last starts a new expansion.
        if (latest != nullptr && CompareDateTime(current->dateTime, latest->dateTime) < 0) {
            generatedCount = 1;
        }
        if (count > 0 && generatedCount >= count) {
            return false;
        }
        stepped_.CopyValueOf(*current);
        if (!StepForward(stepped_.dateTime, lowerBound != nullptr ? &lowerBound->dateTime : nullptr) ||
            IsPastUntil(stepped_)) {
            return false;
        }
        if (!ReplaceLatest(stepped_)) {
            return false;
        }
        ++generatedCount;
        if (!IsExcluded(&stepped_)) {
            occurrence.CopyValueOf(stepped_);
            return true;
        }
        // An excluded occurrence still counts toward COUNT; step on from it.
        current = latest;
    }
    return false;
}

RIcsDateTime* RIcsRecurrence::GetNextOccurrence(const RIcsDateTime* current, const RIcsDateTime* lowerBound) {
    if (current == nullptr) {
        return nullptr;
    }
    RIcsDateTime* next = RIcsDateTime::Clone(*current);
    if (next != nullptr && !StepToNextOccurrence(*next, lowerBound)) {
        next->Release();
        next = nullptr;
    }
    return next;
}

RIcsDateTime* RIcsRecurrence::GetLastOccurrence(const RIcsDateTime* first) {
    if (until != nullptr) {
        return until;
    }
    if (count <= 0 || first == nullptr) {
        return nullptr;
    }
    RIcsDateTime* previous = RIcsDateTime::Clone(*first);
    if (count == 1 || previous == nullptr) {
        return previous;
    }
    // A fresh expansion from the first occurrence, whatever was stepped before.
    SafeReleaseValue(latest);
    generatedCount = 1;
    for (int calls = 0; calls < count - 1; ++calls) {
        if (calls == kMaxLastOccurrenceSteps) {
            previous->Release();  // too long to walk: report no known end
            return nullptr;
        }
        RIcsDateTime* next = GetNextOccurrence(previous, nullptr);
        if (next == nullptr) {
            break;
        }
        previous->Release();
        previous = next;
        if (generatedCount >= count) {
            break;
        }
    }
    return previous;
}
