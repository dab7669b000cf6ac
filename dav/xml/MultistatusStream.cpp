#include "dav/xml/MultistatusStream.h"

#include <mutex>

#include "foundation/debug/DebugTrace.h"
#include "platform/xml/XmlMessages.h"

namespace multistatus_stream {

void TrimInPlace(std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t end = text.size();
    while (end > 0 && blank(text[end - 1])) --end;
    size_t begin = 0;
    while (begin < end && blank(text[begin])) ++begin;
    if (begin == 0 && end == text.size()) return;
    text.erase(end);
    text.erase(0, begin);
}

bool IsDav(std::string_view ns) { return ns == kDavNamespace; }

size_t EstimateResponses(const char* xml, size_t length) {
    const std::string_view text(xml, length);
    const size_t most = length / 128;
    size_t count = 0;
    for (size_t at = text.find("response>"); at != std::string_view::npos && count < most; at = text.find("response>", at + 9)) ++count;
    return count;
}

void RouteXmlMessagesToTrace() {
    static std::once_flag once;
    std::call_once(once, [] { platform::xml::SetXmlMessageSink([](const char* line) { DebugTrace("XML: %s", line); }); });
}

}  // namespace multistatus_stream
