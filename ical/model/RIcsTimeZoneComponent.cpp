#include "ical/model/RIcsTimeZoneComponent.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "ical/model/RIcsFieldLimits.h"
#include "ical/parser/RIcsLexer.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"

RResult RIcsTimeZoneComponent::ParseProperty(std::string_view name, RIcsComponent* target) {
    RIcsUtcOffset* offset = nullptr;
    if (SameName(name, "TZOFFSETFROM")) {
        offset = &offsetFrom_;
    } else if (SameName(name, "TZOFFSETTO")) {
        offset = &offsetTo_;
    } else if (!SameName(name, "TZNAME")) {
        return RIcsComponent::ParseProperty(name, target);
    }
    const RResult result = ReadPlainValue();
    if (result != R_OK) {
        return result;
    }
    if (offset != nullptr) {
        // Only the offset forms ([+-]HHMM or [+-]HHMMSS) are read; other text would be written
        // back as another offset, so the property is dropped.
        const std::string_view text = ValueCut(ics_limits::kShortValue);
        const bool signed_ = !text.empty() && (text[0] == '+' || text[0] == '-');
        const bool digits =
            text.size() > 1 && std::all_of(text.begin() + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (signed_ && digits && (text.size() == 5 || text.size() == 7)) {
            ParseUtcOffset(offset, text);
        }
    } else {
        AssignCut(tzName_, lexer_->Value(), ics_limits::kTzName);
    }
    return R_OK;
}

RIcsUtcOffset RIcsTimeZoneComponent::OffsetFromHours(double hours) {
    RIcsUtcOffset offset;
    // Offsets beyond a day are not offsets; they and non-numbers give zero.
    if (!std::isfinite(hours) || std::fabs(hours) > 24.0) {
        return offset;
    }
    const double wholeHours = std::trunc(hours);
    const double minutes = (hours - wholeHours) * 60.0;
    const double wholeMinutes = std::trunc(minutes);
    const double seconds = (minutes - wholeMinutes) * 60.0;
    offset.hours = static_cast<std::int16_t>(wholeHours);
    offset.minutes = static_cast<std::int16_t>(wholeMinutes);
    offset.seconds = static_cast<std::int16_t>(std::trunc(seconds));
    return offset;
}

RResult RIcsTimeZoneComponent::Set(const char* name, const char* tzname, double offsetFromHours,
                                   double offsetToHours, const char* rrule, const char* dtstart) {
    AssignCut(name_, name != nullptr ? name : "", ics_limits::kName);
    AssignCut(tzName_, tzname != nullptr ? tzname : "", ics_limits::kTzName);
    offsetFrom_ = OffsetFromHours(offsetFromHours);
    offsetTo_ = OffsetFromHours(offsetToHours);
    // The store keeps empty texts for a rule or start that is absent; they make no value.
    SetRecurrence(nullptr);
    if (rrule != nullptr && rrule[0] != '\0') {
        auto* rule = new (std::nothrow) RIcsRecurrence();
        if (rule == nullptr) {
            return R_E_OUT_OF_MEMORY;
        }
        rule->Parse(rrule);
        SetRecurrence(rule);
        rule->Release();
    }
    SetDtStart(nullptr);
    if (dtstart != nullptr && dtstart[0] != '\0') {
        auto* start = new (std::nothrow) RIcsDateTime();
        if (start == nullptr) {
            return R_E_OUT_OF_MEMORY;
        }
        start->SetFromDbText(dtstart, nullptr);
        SetDtStart(start);
        start->Release();
    }
    return R_OK;
}
