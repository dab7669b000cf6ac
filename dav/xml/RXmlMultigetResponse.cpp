#include <cstring>

#include "dav/xml/DavNamespaces.h"
#include "dav/xml/MultistatusStream.h"
#include "dav/xml/RXmlResponse.h"

namespace {

// Every propstat is read; the calendar (or address) data is the record's payload.
struct MultigetFields {
    static CStringA* ExtraField(std::string_view local, std::string_view ns, ResponseRecord& record) {
        const bool data = (local == "calendar-data" && ns == kCalDavNamespace) || (local == "address-data" && ns == kCardDavNamespace);
        return data ? &record.data : nullptr;
    }
    static bool PropstatDone(const ResponseRecord&) { return false; }
    static void NotePropstat(ResponseRecord&, int) {}
};

}  // namespace

RResult RXmlMultigetResponse::Parse(const char* xml) {
    const size_t length = xml != nullptr ? std::strlen(xml) : 0;
    if (length == 0) return 0;
    // Appends only when the whole answer was read.
    return ParseResourceStream<ResponseRecord, MultigetFields>(xml, length, records_);
}

int RXmlMultigetResponse::GetCount() { return static_cast<int>(records_.size()); }

RResult RXmlMultigetResponse::GetAt(int index, CStringA* href, CStringA* scheduleTag, CStringA* etag, CStringA* data) {
    if (index < 0 || index >= GetCount()) return R_E_INVALID_ARGUMENT;
    const auto& r = records_[static_cast<size_t>(index)];
    if (href != nullptr) *href = r.href;
    if (scheduleTag != nullptr) *scheduleTag = r.scheduleTag;
    if (etag != nullptr) *etag = r.etag;
    if (data != nullptr) *data = r.data;
    return 0;
}
