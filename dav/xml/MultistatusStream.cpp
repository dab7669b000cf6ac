#include "dav/xml/MultistatusStream.h"

#include <cstring>
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
    // Found by their '>', which is much rarer than an 'r' in calendar data.
    constexpr std::string_view kName = "response";
    const size_t most = length / 128;
    if (most == 0) return 0;
    const char* const end = xml + length;
    size_t count = 0;
    for (const char* at = xml + kName.size(); at < end && count < most; ++at) {
        at = static_cast<const char*>(std::memchr(at, '>', static_cast<size_t>(end - at)));
        if (at == nullptr) break;
        if (std::memcmp(at - kName.size(), kName.data(), kName.size()) == 0) ++count;
    }
    return count;
}

void RouteXmlMessagesToTrace() {
    static std::once_flag once;
    std::call_once(once, [] { platform::xml::SetXmlMessageSink([](const char* line) { DebugTrace("XML: %s", line); }); });
}

}  // namespace multistatus_stream
