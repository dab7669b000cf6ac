#pragma once
// Capacities of the iCalendar model's fixed fields, in characters (the terminator not counted),
// and the one rule for text that does not fit: it is cut at the last whole UTF-8 character.
// Safe to share: constants and plain functions.
#include <cstddef>
#include <string>
#include <string_view>

namespace ics_limits {

constexpr std::size_t kName = 63;               // component and property names, X-property names
constexpr std::size_t kDateTimeParameter = 127;  // parameter names and values inside date-time properties
constexpr std::size_t kProdId = 63;
// As long as the TZID a date-time may carry, so that every zone an event names can be found.
constexpr std::size_t kZoneTzid = kDateTimeParameter;
constexpr std::size_t kTzName = 63;
constexpr std::size_t kRecurrenceId = 127;
constexpr std::size_t kStatus = 31;
constexpr std::size_t kTransp = 31;
constexpr std::size_t kAttendeeParameter = 127;
constexpr std::size_t kAttendeeAddress = 511;
constexpr std::size_t kShortValue = 127;  // date-time, UTC offset, VERSION and SEQUENCE values
constexpr std::size_t kExDate = 639;
constexpr std::size_t kRRule = 511;
constexpr std::size_t kAttendeeValue = 2047;
constexpr std::size_t kStoredAttendeeLine = 2559;

}  // namespace ics_limits

// CutToLimit for a text longer than maxChars.
std::string_view CutLongText(std::string_view text, std::size_t maxChars);
// The longest prefix of text with at most maxChars bytes that does not split a UTF-8 sequence.
inline std::string_view CutToLimit(std::string_view text, std::size_t maxChars) {
    return text.size() <= maxChars ? text : CutLongText(text, maxChars);
}
// Replaces target with text cut to maxChars.
void AssignCut(std::string& target, std::string_view text, std::size_t maxChars);
