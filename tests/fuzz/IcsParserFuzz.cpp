// libFuzzer target: any bytes through the iCalendar parser, the writer and the stored-line
// readers. A crash, an overrun, a leak or a result code outside the parser's table is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ical/model/RIcsAttendee.h"
#include "ical/model/RIcsCalendar.h"
#include "ical/model/RIcsEvent.h"
#include "ical/model/RIcsTimeZone.h"

namespace {

bool IsTableResult(RResult result) {
    return result == R_OK || result == R_E_BAD_FORMAT || result == R_E_END_OF_TEXT || result == R_E_BUFFER_TOO_SMALL;
}

void WriteBack(RIcsCalendar* calendar) {
    calendar->GetText();
    for (RListNode* node = calendar->GetEventList().head; node != nullptr; node = node->next) {
        auto* event = static_cast<RIcsEvent*>(node->payload);
        // What the store keeps must read back.
        auto* copy = new RIcsEvent();
        copy->SetExDatesFromLines(event->GetExDateLines());
        copy->SetAttendeesFromLines(event->GetAttendeeLines());
        copy->Release();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    auto* calendar = new RIcsCalendar();
    const RResult result = calendar->Parse(text.c_str());
    if (!IsTableResult(result)) {
        std::abort();
    }
    WriteBack(calendar);
    calendar->Release();

    // The same bytes as stored lines and as an attendee value.
    auto* event = new RIcsEvent();
    event->SetExDatesFromLines(text.c_str());
    event->SetAttendeesFromLines(text.c_str());
    event->GetAttendeeLines();
    event->Release();
    auto* attendee = new RIcsAttendee();
    attendee->Parse(text.c_str());
    attendee->GetText();
    attendee->Release();
    return 0;
}
