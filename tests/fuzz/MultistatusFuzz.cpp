// libFuzzer target: any bytes through the streaming multistatus readers (entity-tag listing,
// multiget answer, collection properties). A crash, an overrun, a leak, a result outside
// {0, R_E_BAD_FORMAT, R_E_OUT_OF_MEMORY}, or records left behind by a body that failed, is a
// finding.
#include "foundation/ResultCodes.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "dav/xml/MultistatusStream.h"
#include "dav/xml/RXmlResponse.h"
#include "platform/xml/XmlMessages.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsTableResult(RResult result) { return result == 0 || result == R_E_BAD_FORMAT || result == R_E_OUT_OF_MEMORY; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Parse errors would otherwise fill the trace with every mutated input.
    static const bool quiet = [] {
        multistatus_stream::RouteXmlMessagesToTrace();
        platform::xml::SetXmlMessageSink(nullptr);
        return true;
    }();
    (void)quiet;
    // The readers take NUL-terminated text, as the connection hands it over.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* xml = text.c_str();

    auto* etags = new RXmlEtagResponse();
    const RResult etagResult = etags->Parse(xml);
    Check(IsTableResult(etagResult));
    if (etagResult != 0) Check(etags->GetCount() == 0);
    for (int i = 0; i < etags->GetCount(); ++i) {
        CStringA href, scheduleTag, etag, type;
        int status = 0;
        Check(etags->GetAt(i, &href, &scheduleTag, &etag, &type, &status) == 0);
        Check(!href.IsEmpty() && (!etag.IsEmpty() || !scheduleTag.IsEmpty()));
    }
    etags->Release();

    auto* multiget = new RXmlMultigetResponse();
    const RResult first = multiget->Parse(xml);
    Check(IsTableResult(first));
    const int count = multiget->GetCount();
    if (first != 0) Check(count == 0);
    // A second parse appends exactly as many records, or none when it fails.
    const RResult second = multiget->Parse(xml);
    Check(second == first);
    Check(multiget->GetCount() == (first == 0 ? 2 * count : count));
    multiget->Release();

    auto* properties = new RXmlPropertiesResponse();
    const RResult propertyResult = properties->Parse(xml);
    Check(IsTableResult(propertyResult));
    CStringA value;
    properties->Find("getctag", nullptr, nullptr, &value);
    properties->Release();
    return 0;
}
