#pragma once
// Conversions of many item times in one pass (the occurrences of a drawn month): the answers
// of ItemTimeToUtc and ConvertItemTimeToZone, with each TZID resolved once per converter and
// each local time converted once, since a month repeats the same times of the same zones.
// A converter does not see stored zones that change after it resolved them: make one per pass.
// One thread: its owner's.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "foundation/ResultCodes.h"
#include "foundation/datetime/RDateTime.h"
#include "ical/timezone/ZoneRules.h"
#include "ical/value/RIcsDateTime.h"
#include "platform/core/WinTypes.h"
#include "platform/string/CString.h"

class RItemTimeConverter {
public:
    explicit RItemTimeConverter(const CStringW& targetZoneKey);

    // As ItemTimeToUtc: a floating time gives its own fields; STG_E_PATHNOTFOUND for a zone that
    // cannot be found; 0 with `utc` untouched for a time its zone cannot convert.
    RResult ToUtc(const RIcsDateTime& time, SYSTEMTIME* utc);
    // The date and time ConvertItemTimeToZone gives for the target zone: the time itself when it
    // is floating, its zone or the target cannot be found, or it cannot be converted.
    RDateTime ToTarget(const RIcsDateTime& time);
    // Both at once: ToUtc's result and `utc` as ToUtc leaves them, and ToTarget's answer.
    RResult ToUtcAndTarget(const RIcsDateTime& time, SYSTEMTIME* utc, RDateTime* shown);

private:
    // What one local time of one zone converts to.
    struct Answer {
        bool converted = false;  // LocalToUtc succeeded
        SYSTEMTIME utc{};
        bool shownKnown = false;  // `shown` was worked out
        bool shownConverted = false;
        SYSTEMTIME shown{};
    };
    struct Zone {
        std::shared_ptr<const RZoneRules> rules;  // null: the TZID names no zone
        std::unordered_map<std::uint64_t, Answer> answers;
    };
    Zone& ZoneOf(const char* tzid);
    // The UTC time into `utc` (as ToUtc) and, when `shown` is given, the target's time.
    RResult Convert(const RIcsDateTime& time, SYSTEMTIME* utc, RDateTime* shown);
    Answer& AnswerFor(Zone& zone, const SYSTEMTIME& local);

    CStringW targetKey_;
    bool targetResolved_ = false;
    std::shared_ptr<const RZoneRules> target_;
    std::unordered_map<std::string, Zone> zones_;
    std::size_t answerCount_ = 0;
};
