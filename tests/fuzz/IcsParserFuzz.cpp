// libFuzzer target: any bytes through the iCalendar parser, the writer and the stored-line
// readers. A crash, an overrun, a leak, a result code outside the parser's table, or a written
// text that does not read back to the same text is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "foundation/memory/RRef.h"
#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"
#include "ical/recurrence/RIcsRecurrence.h"
#include "ical/value/RIcsDateTime.h"

namespace {

bool IsTableResult(RResult result) {
    return result == R_OK || result == R_E_BAD_FORMAT || result == R_E_END_OF_TEXT || result == R_E_BUFFER_TOO_SMALL;
}

// Steps a parsed rule from the event's start: every step must end, move forward and stay bounded.
void StepRule(RIcsEvent* event) {
    RIcsRecurrence* rule = event->GetRecurrence();
    RIcsDateTime* start = event->GetDtStart();
    if (rule == nullptr || start == nullptr) {
        return;
    }
    auto current = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*start));
    for (int i = 0; i < 20 && current; ++i) {
        auto next = RRef<RIcsDateTime>::Adopt(rule->GetNextOccurrence(current.get(), nullptr));
        if (next && RIcsDateTime::Compare(*next, *current) <= 0 && next->dateOnly == current->dateOnly) {
            std::abort();  // a step that does not move forward
        }
        current = std::move(next);
    }
    // The rule's own UNTIL comes back borrowed; any other answer is a new value of ours.
    RIcsDateTime* last = rule->GetLastOccurrence(start);
    const auto ownedLast = RRef<RIcsDateTime>::Adopt(last != rule->until ? last : nullptr);
}

void WriteBack(RIcsCalendar* calendar) {
    calendar->GetText();
    for (RListNode* node = calendar->GetEventList().head; node != nullptr; node = node->next) {
        auto* event = static_cast<RIcsEvent*>(node->payload);
        StepRule(event);
        // What the store keeps must read back.
        auto copy = MakeRef<RIcsEvent>();
        copy->SetExDatesFromLines(event->GetExDateLines());
        copy->SetAttendeesFromLines(event->GetAttendeeLines());
    }
}

// What the writer wrote reads back to a model that writes the same text again.
void CheckWrittenTextIsStable(RIcsCalendar* calendar) {
    const char* first = calendar->GetText();
    if (first == nullptr) {
        return;
    }
    const std::string written(first);
    auto reread = MakeRef<RIcsCalendar>();
    if (reread->Parse(written.c_str()) != R_OK) {
        std::abort();  // the program's own text must always parse
    }
    const char* second = reread->GetText();
    if (second == nullptr || written != second) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    auto calendar = MakeRef<RIcsCalendar>();
    const RResult result = calendar->Parse(text.c_str());
    if (!IsTableResult(result)) {
        std::abort();
    }
    WriteBack(calendar.get());
    if (result == R_OK) {
        CheckWrittenTextIsStable(calendar.get());
    }
    calendar.reset();

    // The same bytes as stored lines and as an attendee value.
    auto event = MakeRef<RIcsEvent>();
    event->SetExDatesFromLines(text.c_str());
    event->SetAttendeesFromLines(text.c_str());
    event->GetAttendeeLines();
    auto attendee = MakeRef<RIcsAttendee>();
    attendee->Parse(text.c_str());
    attendee->GetText();
    return 0;
}
