#pragma once
// Expands a rule from a start given in the stored text form and returns the occurrences in
// the same form, so that sequences can be checked against hand-worked dates.
#include "foundation/memory/RRef.h"
#include "ical/recurrence/RIcsRecurrence.h"

#include <string>
#include <vector>

namespace recurrence_test {

using Rule = RRef<RIcsRecurrence>;
using Value = RRef<RIcsDateTime>;

inline Rule MakeRule(const char* rrule, const char* exDateLines = nullptr) {
    auto rule = MakeRef<RIcsRecurrence>();
    rule->Parse(rrule);
    if (exDateLines != nullptr) {
        rule->SetExDatesFromLines(exDateLines);
    }
    return rule;
}

inline Value MakeValue(const char* storeText) {
    auto value = MakeRef<RIcsDateTime>();
    value->SetFromDbText(storeText, nullptr);
    return value;
}

// At most `limit` occurrences after `start`; a shorter list means the series ended.
inline std::vector<std::string> Steps(RIcsRecurrence& rule, const char* start, int limit,
                                      const RIcsDateTime* lowerBound = nullptr) {
    std::vector<std::string> out;
    Value current = MakeValue(start);
    for (int i = 0; i < limit; ++i) {
        Value next = Value::Adopt(rule.GetNextOccurrence(current.get(), lowerBound));
        if (next == nullptr) {
            break;
        }
        out.emplace_back(next->GetDbText());
        current = std::move(next);
    }
    return out;
}

inline std::vector<std::string> Steps(const char* rrule, const char* start, int limit) {
    Rule rule = MakeRule(rrule);
    return Steps(*rule, start, limit);
}

using Dates = std::vector<std::string>;

}  // namespace recurrence_test
